/*
 * run_setup.h - the set-up of a run: environment from the driver, the
 * connection to the design-file server, the design file's units, the sizes
 * of the run in UORs and the per-point working arrays (run_state.h).
 */
#ifndef NW_ENGINE_RUN_SETUP_H
#define NW_ENGINE_RUN_SETUP_H

#include "engine/run_options.h"
#include "engine/run_state.h"

/* Exit statuses of the set-up. */
#define RUN_STATUS_ENVIRONMENT 3     /* VKR_segpid, VKR_segdim or VKR_maxverts unset or invalid */
#define RUN_STATUS_OPEN_FAILED 4     /* the design file could not be opened */
#define RUN_STATUS_TCB_MU 8          /* EU.MU could not be read */
#define RUN_STATUS_TCB_GRAFIC 9      /* GRAFIC or EU.UOR could not be read */
#define RUN_STATUS_NO_MEMORY 10      /* a working array could not be allocated */

/*
 * Reads the environment, connects to the server and opens the design file,
 * reads GRAFIC, EU.MU and EU.UOR, computes the sizes in UORs, prints the run
 * header and allocates the arrays. Returns 0, or the exit status of the run
 * after printing its message. An environment fault ends the run before any
 * connection; an allocation failure closes the connection first.
 */
int run_setup(const RunOptions &run, RunState *state);

/* Point-file name from a VKR_segpid value (at most its first five characters). */
void point_file_name(const char *segpid, char out[16]);

/* Sizes in UORs from the run options and UORs per master unit. */
void derive_sizes(const RunOptions &run, double uorPerMaster, RunSizes *sizes);

/* Closes the connection to the server (close word 0); 0 or its status. */
int close_connection(void);

#endif
