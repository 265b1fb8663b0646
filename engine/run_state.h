/*
 * run_state.h - the working state of one nodeweld run.
 *
 * The run set-up fills the design-file settings and allocates the per-point
 * arrays (maxverts entries each, zero-filled, indexed by record number of
 * the sorted point file); the later steps fill and read them. Nothing here
 * is freed before the run ends.
 */
#ifndef NW_ENGINE_RUN_STATE_H
#define NW_ENGINE_RUN_STATE_H

#include "geometry/point.h"

#include <cstdint>

#define MAX_PNUM 16384   /* most points one group may hold */

/* Sizes of the run in UORs, from the command line's master units. */
struct RunSizes {
    double uorPerMaster;       /* EU.UOR x EU.MU */
    double tolerance;
    double qpAxes[2];          /* questionable-point (close and unsolved) flags */
    double dirAxes[2];         /* direction flags */
    double dangleAxes[2];
    double floatAxes[2];
    double mendAxes[2];
    double multiLineAxes[2];
    double singleLineAxes[2];
    double multiPointAxes[2];
    double singlePointAxes[2];
};

struct RunState {
    /* From the environment. */
    char ptfile[16];           /* "sort_pts." + first five characters of VKR_segpid */
    int16_t dimension;         /* 2 or 3 */
    int32_t maxverts;          /* records in the point file */
    int32_t last;              /* maxverts - 1 */

    /* From the design file. */
    uint16_t grafic;           /* next free graphic group */
    uint32_t submas;           /* sub-units per master unit (EU.MU) */
    uint32_t uorsub;           /* UORs per sub-unit (EU.UOR) */
    uint32_t runGG;            /* the run's graphic-group pair: function 3, group grafic */

    RunSizes sizes;

    /* Per-point arrays. */
    NwPoint *pts;
    NwPoint *modpts;
    int32_t *offset;
    int32_t *offsetPtr;        /* only with partner checks */
    int32_t *offsetVal;        /* only with partner checks */
    uint8_t *modif;
    uint8_t *PtVal;
    uint8_t *weight;
};

#endif
