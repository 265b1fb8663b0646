/*
 * summary.cpp - the closing lines of a completed run: what was modified,
 * flagged and moved, each line naming the design file.
 */
#include "engine/run_steps.h"

#include <cstdio>

static void dup_lines(const DupOption &d, int flagged, int moved, const char *identified,
                      const char *movedText, const char *name)
{
    if (d.mode == MODE_OFF)
        return;
    std::printf(identified, flagged, name, d.level);
    if (d.mode == MODE_MOVE)
        std::printf(movedText, moved, name, d.level);
}

void print_summary(const Run &r)
{
    const RunOptions &o = *r.opts;
    const RunCounters &c = r.counters;
    const char *name = o.dgnname;

    std::printf("\n\nVKR_nodeweld finishing \n");
    if (!o.flagOnly && (c.pointMods > 0 || c.linearMods > 0))
        std::printf("\n  Modified %d point elements in %s\n  Modified %d linear elements in %s\n", c.pointMods,
                    name, c.linearMods, name);
    else
        std::printf("\n No elements modified in %s\n", name);
    if (o.dangleFlags)
        std::printf("\n  Identified %d dangling points in %s\n   Placed flags on level %d\n\n", c.dangle, name,
                    o.dangleLevel);
    if (o.floatFlags)
        std::printf("\n  Identified %d floating points in %s\n\n   Placed flags on level %d", c.floater, name,
                    o.floatLevel);
    if (o.mendFlags)
        std::printf("\n  Identified %d mended point locations in %s\n\n   Placed flags on level %d", c.mendFlags,
                    name, o.mendLevel);
    if (o.flagOnly)
        std::printf("\n  Identified %d questionable points in %s\n   Placed flags on level %d\n\n",
                    c.questionable, name, o.qpLevel);
    if (!o.flagOnly && c.unsolved > 0) {
        if (o.qpLevel > 0)
            std::printf("\n  Identified %d questionable points NOT solved %s\n   Placed flags on level %d\n\n",
                        c.unsolved, name, o.qpLevel);
        else
            std::printf("\n  Found %d questionable points NOT solved %s\n   NO FLAGS placed\n\n", c.unsolved,
                        name);
    }
    if (o.multiPoint.mode != MODE_OFF) {
        std::printf("\n  Identified %d MULTIPLE POINT locations in %s\n   Placed flags on level %d\n",
                    c.multiPoint, name, o.multiPoint.level);
        if (c.lastPointCheckHadAdjacent)
            std::printf("%d of these conflicts involved dgn and reference file data\n", c.adjConflicts);
        if (o.multiPoint.mode == MODE_MOVE)
            std::printf("\n  Moved %d MULTIPLE POINT features in %s to level %d\n", c.movedMultiPoint, name,
                        o.multiPoint.level);
    }
    dup_lines(o.multiLine, c.multiLine, c.movedMultiLine,
              "\n  Identified %d MULTIPLE linear locations in %s\n   Placed flags on level %d\n",
              "\n  Moved %d MULTIPLE linear features in %s to level %d\n", name);
    dup_lines(o.singlePoint, c.singlePoint, c.movedSinglePoint,
              "\n  Identified %d SINGLETON POINT locations in %s\n   Placed flags on level %d\n",
              "\n  Moved %d SINGLETON POINT features in %s to level %d\n", name);
    dup_lines(o.singleLine, c.singleLine, c.movedSingleLine,
              "\n  Identified %d SINGLETON linear locations in %s\n   Placed flags on level %d\n",
              "\n  Moved %d SINGLETON linear features in %s to level %d\n", name);
    if (c.white > 0)
        std::printf("\n  Identified %d POTENTIAL ZERO LENGTH, CLOSED LOOP, OR DOUBLE-BACK LINES with heavy white "
                    "flags on level %d\n", c.white, o.multiLine.level);
    if (o.dirFlags)
        std::printf("\n  Identified %d inconsistent direction lines with flags on level %d\n", c.direction,
                    o.dirLevel);
}
