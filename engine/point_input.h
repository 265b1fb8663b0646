/*
 * point_input.h - reading the sorted point file into the per-point arrays.
 */
#ifndef NW_ENGINE_POINT_INPUT_H
#define NW_ENGINE_POINT_INPUT_H

#include "engine/run_options.h"
#include "engine/run_state.h"

/* Reads exactly st->maxverts records from st->ptfile into pts, offset,
 * PtVal and weight, fills and sorts the element index when partner checks
 * are on, and prints the input lines. Returns 0, 5 (file cannot be opened)
 * or 7 (a record cannot be read, including a file that ends too soon);
 * the caller shuts the connection down on failure. */
int read_point_file(const RunOptions &opts, RunState *st);

#endif
