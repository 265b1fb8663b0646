/*
 * run_program.h - runs a program of the build as a real process for tests.
 *
 * run_program() starts argv[0] (a path) with the given arguments and extra
 * environment entries, optionally in a working folder, feeds it no input,
 * and returns everything it wrote to standard output, what it wrote to
 * standard error, and its exit code (or the signal that ended it). The
 * wait is bounded: a program still running after the time limit is killed
 * and reported as such.
 */
#ifndef NW_TESTS_RUN_PROGRAM_H
#define NW_TESTS_RUN_PROGRAM_H

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

struct ProgramResult {
    std::string out;
    std::string err;
    int exitCode = -1;   /* 0..255 when it exited */
    int signal = 0;      /* the signal that ended it, else 0 */
    bool timedOut = false;
};

inline std::string nw_bin(const std::string &name)
{
    const char *dir = std::getenv("NW_BIN_DIR");
#ifdef NW_BIN_DIR
    if (dir == nullptr)
        dir = NW_BIN_DIR;
#endif
    return std::string(dir ? dir : ".") + "/" + name;
}

inline ProgramResult run_program(const std::vector<std::string> &argv,
                                 const std::vector<std::string> &env = {},
                                 const std::string &cwd = "",
                                 int timeoutSeconds = 120)
{
    ProgramResult r;
    int outPipe[2], errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0)
        return r;
    pid_t pid = fork();
    if (pid == 0) {
        int devnull = open("/dev/null", O_RDONLY);
        dup2(devnull, 0);
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        close(outPipe[0]); close(outPipe[1]);
        close(errPipe[0]); close(errPipe[1]);
        if (!cwd.empty() && chdir(cwd.c_str()) != 0)
            _exit(126);
        for (const std::string &e : env) {
            size_t eq = e.find('=');
            if (eq == std::string::npos)
                unsetenv(e.c_str());
            else
                setenv(e.substr(0, eq).c_str(), e.substr(eq + 1).c_str(), 1);
        }
        std::vector<char *> args;
        for (const std::string &a : argv)
            args.push_back(const_cast<char *>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    struct timespec start;
    clock_gettime(CLOCK_MONOTONIC, &start);
    bool outOpen = true, errOpen = true;
    while (outOpen || errOpen) {
        struct pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
        struct timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        if (now.tv_sec - start.tv_sec > timeoutSeconds) {
            kill(pid, SIGKILL);
            r.timedOut = true;
            break;
        }
        if (poll(fds, 2, 200) < 0 && errno != EINTR)
            break;
        char buf[4096];
        for (int k = 0; k < 2; k++) {
            bool &open_ = k == 0 ? outOpen : errOpen;
            if (!open_ || !(fds[k].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            ssize_t n = read(fds[k].fd, buf, sizeof buf);
            if (n > 0)
                (k == 0 ? r.out : r.err).append(buf, (size_t)n);
            else
                open_ = false;
        }
    }
    close(outPipe[0]);
    close(errPipe[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status))
        r.exitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        r.signal = WTERMSIG(status);
    return r;
}

#endif
