/*
 * main.cpp - one run of nodeweld, step by step.
 *
 * Each step of the run is a function of its own; a step that fails has
 * already printed its message and hands back the exit status. Output goes
 * to standard output only.
 */
#include "engine/run_options.h"
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

int main(int argc, char **argv)
{
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
    (void)run;

    /* The run's later steps follow here: set-up, point input, grouping and
     * solutions, flags, the modification pass and the summary. */
    return end_run(0);
}
