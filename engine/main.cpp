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
#include "dgnrequests/request_exchange.h"
#include "engine/point_input.h"
#include "engine/run_context.h"
#include "engine/run_options.h"
#include "engine/run_setup.h"
#include "engine/run_steps.h"
#include "engine/usage.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

/* Ends the process with a status of the run (negative ones become their
 * low byte as the process exit code). */
static int end_run(int status)
{
    std::fflush(stdout);
    return status;
}

/* With NW_PHASE_TIMES set, the CPU and wall time of each phase and the
 * peak memory go to standard error (for benchmarks; the run's own output
 * is unchanged). */
struct PhaseClock {
    bool on = std::getenv("NW_PHASE_TIMES") != nullptr;
    struct timespec wall0, cpu0;
    void start()
    {
        clock_gettime(CLOCK_MONOTONIC, &wall0);
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu0);
    }
    static double since(const struct timespec &t, clockid_t c)
    {
        struct timespec now;
        clock_gettime(c, &now);
        return (double)(now.tv_sec - t.tv_sec) + (now.tv_nsec - t.tv_nsec) / 1e9;
    }
    void lap(const char *phase)
    {
        if (on)
            std::fprintf(stderr, "phase %-14s wall %9.3f s  cpu %9.3f s\n", phase,
                         since(wall0, CLOCK_MONOTONIC), since(cpu0, CLOCK_PROCESS_CPUTIME_ID));
        start();
    }
    void peak_memory()
    {
        if (!on)
            return;
        FILE *f = std::fopen("/proc/self/status", "r");
        char line[256];
        while (f && std::fgets(line, sizeof line, f))
            if (std::strncmp(line, "VmHWM:", 6) == 0)
                std::fprintf(stderr, "peak memory %s", line + 6);
        if (f)
            std::fclose(f);
        std::fprintf(stderr, "requests %ld\n", exchange_requests_sent());
    }
};

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

    PhaseClock clock;
    clock.start();
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

    clock.lap("set-up");
    status = read_point_file(run, &state);
    if (status != 0) {
        r.closeOnExit = true;
        return fail_after_connect(r, status);
    }
    clock.lap("input+sort");
    status = group_points(r);
    if (status != 0)
        return fail_after_connect(r, status);
    clock.lap("group+flags");
    status = modification_pass(r);
    if (status != 0)
        return fail_after_connect(r, status);
    clock.lap("modification");

    print_summary(r);
    close_connection();
    clock.lap("close");
    clock.peak_memory();
    return end_run(0);
}
