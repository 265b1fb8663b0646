/*
 * run_steps.h - the steps of a run after set-up and point input, and the
 * checks they call. Each returns 0 to go on, or the exit status of a fatal
 * condition whose message it has printed (Run::closeOnExit says whether to
 * shut the connection down first).
 */
#ifndef NW_ENGINE_RUN_STEPS_H
#define NW_ENGINE_RUN_STEPS_H

#include "dgnrequests/element_ops.h"
#include "engine/run_context.h"

/* grouping.cpp: the walk over the sorted records, groups and sub-groups;
 * calls the checks, solutions and flags below for each. */
int group_points(Run &r);

/* solutions.cpp: mended location of the current sub-group, or the
 * close-point flags in flag-only mode. */
int solve_subgroup(Run &r);

/* flags.cpp: the problem flags. */
void direction_check(Run &r);
int line_checks(Run &r);
int point_checks(Run &r);
int close_point_flags(Run &r);
int unsolved_flag(Run &r, int32_t point);
int dangle_floater_checks(Run &r);

/* level_moves.cpp: flagged features to other levels. `rec` is the
 * element just read at `position`. */
void move_linear_to_level(Run &r, int32_t position, const ReadRecord *rec, int level);
int move_point_feature(Run &r, int32_t point, int level);

/* modification.cpp: mended locations into the design file. */
int modification_pass(Run &r);

/* summary.cpp: the closing lines of a completed run. */
void print_summary(const Run &r);

/* True when an anchor of the current group lies exactly at p (x, y, and z
 * in 3D). */
bool at_anchor(const Run &r, const NwPoint &p);

/* Prints the read failure of point `point` and returns 66. */
int element_read_failed(const Run &r, int32_t point);

#endif
