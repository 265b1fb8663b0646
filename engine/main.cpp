/*
 * main.cpp - one run of nodeweld, step by step.
 *
 *   command line -> set-up (environment, connection, units, arrays)
 *   -> point input -> grouping with solutions, flags and level moves
 *   -> modification pass -> summary -> close.
 *
 * Each step is a function of its own; a step that fails has printed its
 * message and hands back the exit status, and says whether the connection
 * is to be shut down first. Output goes to standard output only, and
 * reaches a pipe as it is printed.
 */
#include "engine/point_input.h"
#include "engine/run_context.h"
#include "engine/run_options.h"
#include "engine/run_setup.h"
#include "engine/run_steps.h"
#include "engine/usage.h"

#include <cstdio>
#include <cstring>

/* Ends the process with a status of the run (negative ones become their
 * low byte as the process exit code). */
static int end_run(int status)
{
    std::fflush(stdout);
    return status;
}

static int fail_after_connect(const Run &r, int status)
{
    if (r.closeOnExit)
        close_connection();
    return end_run(status);
}

int main(int argc, char **argv)
{
    /* Line by line, so a driver or front end reading a pipe sees progress
     * as it happens. */
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::snprintf(taskname, sizeof taskname, "%s", argc > 0 ? argv[0] : "nodeweld");
    print_banner();

    RunOptions opts;
    init_run_options(&opts);
    int status = parse_command_line(argc, argv, &opts);
    if (status != 0)
        return end_run(status);
    status = validate_run_options(&opts);
    if (status != 0)
        return end_run(status);
    const RunOptions &run = opts; /* read-only from here on */

    static RunState state;
    status = run_setup(run, &state);
    if (status != 0)
        return end_run(status);

    static GroupState group;
    Run r;
    std::memset(&r.counters, 0, sizeof r.counters);
    r.opts = &run;
    r.st = &state;
    r.g = &group;
    r.placePair = gg_pair(2, 0); /* no graphic group until a linear element is read */
    r.closeOnExit = false;

    status = read_point_file(run, &state);
    if (status != 0) {
        r.closeOnExit = true;
        return fail_after_connect(r, status);
    }
    status = group_points(r);
    if (status != 0)
        return fail_after_connect(r, status);
    status = modification_pass(r);
    if (status != 0)
        return fail_after_connect(r, status);

    print_summary(r);
    close_connection();
    return end_run(0);
}
