/*
 * run_context.h - what the steps after set-up share: the options, the run
 * state, the current group, the counters kept for the summary, and the
 * placement pair carried by every element the engine places.
 *
 * Steps report a fatal condition by returning a non-zero exit status (the
 * message already printed); `closeOnExit` tells whether the connection is
 * to be shut down before the process ends with it.
 */
#ifndef NW_ENGINE_RUN_CONTEXT_H
#define NW_ENGINE_RUN_CONTEXT_H

#include "engine/run_options.h"
#include "engine/run_state.h"

#include <cstdint>

/* The group and sub-group lists of the walk (point indexes). */
struct GroupState {
    int32_t set[MAX_PNUM];
    int32_t same_set[3 * MAX_PNUM];
    int32_t same_elm;
    int32_t nearest[MAX_PNUM];
    int32_t cur_set[MAX_PNUM];
    int32_t pnum;              /* size of the group, then of the sub-group */
    int32_t groupSize;         /* size of the whole group */
    int changes;
    int32_t numpts;

    /* Direction counts of the group. */
    int dirTotal, dirFirst, dirLast;
    NwPoint dirCentre;

    /* Candidates of the current sub-group (solutions, close-point flags). */
    int32_t solset[MAX_PNUM];
    int32_t s_pnum;
    int32_t modalset[MAX_PNUM];
    NwPoint2d intPt_set[MAX_PNUM];
};

struct RunCounters {
    int pointMods, linearMods, mendFlags;
    int dangle, floater, questionable, unsolved;
    int multiPoint, adjConflicts, multiLine, singlePoint, singleLine, white, direction;
    int movedMultiLine, movedSingleLine, movedMultiPoint, movedSinglePoint;
    bool lastPointCheckHadAdjacent; /* last sub-group of the point checks held adjacent data */
};

/* Graphic-group pair: function code in the low word, group in the high. */
inline uint32_t gg_pair(uint16_t function, uint16_t group)
{
    return (uint32_t)function | ((uint32_t)group << 16);
}

struct Run {
    const RunOptions *opts;
    RunState *st;
    GroupState *g;
    RunCounters counters;
    uint32_t placePair;        /* starts as function 2, group 0 */
    bool closeOnExit;          /* set with a fatal status that shuts down first */
};

#endif
