// Programs of the registry on POSIX: platform information, signal events,
// process start (posix_spawn in a new session, each argument intact), the
// watch list and waiting on it, and exit codes from waitpid.
#include "connection/platform/winnt_extprog.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include "connection/platform/queue_names.h"

extern char **environ;

ExternProgDescr *firstExtProgP = nullptr;
int haveTerminatedProgram = 0;
int externProgramSignal = 0;

int winNTExtProg_createPlatformInfo(ExternProgDescr *descriptor)
{
    if (descriptor->platformInfo)
        return 0;
    WinNTExtProgInfo *info = static_cast<WinNTExtProgInfo *>(calloc(1, sizeof *info));
    if (!info)
        return EXTPROG_STATUS_NO_MEMORY;
    descriptor->platformInfo = info;
    return 0;
}

void winNTExtProg_setupSignalEvents(ExternProgDescr *descriptor, int pid, int swap)
{
    if (winNTExtProg_createPlatformInfo(descriptor) != 0)
        return;
    WinNTExtProgInfo *info = descriptor->platformInfo;
    if (info->haveSignalEvents)
        return;
    int own = pid == 0 || pid == (int)getpid();
    int32_t namePid = own ? (int32_t)getpid() : pid;
    char p1[NAMED_OBJECT_NAME_BYTES], p2[NAMED_OBJECT_NAME_BYTES];
    signalEventName(p1, 1, namePid);
    signalEventName(p2, 2, namePid);
    NamedEvent *forP2 = swap ? &info->getEvent : &info->sendEvent;
    NamedEvent *forP1 = swap ? &info->sendEvent : &info->getEvent;
    // The names belong to the process whose id they carry: it creates them,
    // others only open what exists.
    namedEvent_open(forP2, p2, own);
    namedEvent_open(forP1, p1, own);
    if (own) {
        namedEvent_reset(forP2);
        namedEvent_reset(forP1);
        info->createdSignalEvents = 1;
        winNTExtProg_installExitHook();
    }
    info->signalPid = namePid;
    info->haveSignalEvents = 1;
}

// Path and arguments joined by single blanks, unquoted, cut at 1023
// characters. Only logged: the arguments themselves reach the program intact.
static void buildCommandLine(char *out, size_t cap, const char *path, const char *const *argv,
                             int argc)
{
    size_t used = 0;
    out[0] = '\0';
    auto append = [&](const char *text) {
        for (; *text && used + 1 < cap; ++text)
            out[used++] = *text;
        out[used] = '\0';
    };
    append(path);
    for (int i = 0; i < argc; ++i) {
        append(" ");
        append(argv[i] ? argv[i] : "");
    }
}

int winNTExtProg_startProgram(ExternProgDescr *descriptor, const char *path,
                              const char *const *argv, int argc,
                              const char *const *env, int envCount)
{
    if (winNTExtProg_createPlatformInfo(descriptor) != 0)
        return ENOMEM;
    WinNTExtProgInfo *info = descriptor->platformInfo;
    buildCommandLine(info->commandLine, sizeof info->commandLine, path, argv, argc);

    // Entries of the form name=value with a value are put into the own
    // environment, which the program inherits.
    for (int i = 0; i < envCount; ++i) {
        const char *entry = env[i];
        const char *eq = entry ? strchr(entry, '=') : nullptr;
        if (!eq || eq == entry || eq[1] == '\0')
            continue;
        char name[256];
        size_t n = (size_t)(eq - entry);
        if (n >= sizeof name)
            continue;
        memcpy(name, entry, n);
        name[n] = '\0';
        setenv(name, eq + 1, 1);
    }

    char **args = static_cast<char **>(calloc((size_t)argc + 2, sizeof(char *)));
    if (!args)
        return ENOMEM;
    args[0] = const_cast<char *>(path);
    for (int i = 0; i < argc; ++i)
        args[i + 1] = const_cast<char *>(argv[i] ? argv[i] : "");

    // Detached: a session of its own, standard streams on /dev/null (a
    // server that outlives the client must not hold the client's pipes
    // open), no descriptors inherited.
    posix_spawnattr_t attr;
    posix_spawn_file_actions_t actions;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK |
                                        POSIX_SPAWN_SETSIGDEF);
    sigset_t none, defaults;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);

    pid_t pid = 0;
    int rc = strchr(path, '/') ? posix_spawn(&pid, path, &actions, &attr, args, environ)
                               : posix_spawnp(&pid, path, &actions, &attr, args, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    free(args);
    if (rc != 0) {
        printf("Unable to start child process\n");
        fflush(stdout);
        return rc;
    }
    descriptor->state = EXTPROG_STATE_RUNNING;
    info->process = pid;
    return 0;
}

void winNTExtProg_setProcessId(ExternProgDescr *descriptor, pid_t pid)
{
    if (winNTExtProg_createPlatformInfo(descriptor) != 0)
        return;
    if (!descriptor->platformInfo->process)
        descriptor->platformInfo->foreignPid = pid;
}

int winNTExtProg_processAlive(pid_t pid)
{
    if (pid <= 0)
        return 0;
    if (kill(pid, 0) != 0 && errno == ESRCH)
        return 0;
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/stat", (int)pid);
    FILE *f = fopen(path, "r");
    if (!f)
        return errno == ENOENT ? 0 : 1;
    char buf[512];
    size_t n = fread(buf, 1, sizeof buf - 1, f);
    fclose(f);
    buf[n] = '\0';
    // The state follows the last ')' (the command name may hold one).
    const char *close = strrchr(buf, ')');
    if (!close || close[1] != ' ')
        return 1;
    char state = close[2];
    return state != 'Z' && state != 'X';
}

static int exitCodeOf(int waitStatus)
{
    if (WIFEXITED(waitStatus))
        return WEXITSTATUS(waitStatus);
    if (WIFSIGNALED(waitStatus))
        return -WTERMSIG(waitStatus);
    return 0;
}

int winNTExtProg_waitForChild(ExternProgDescr *descriptor)
{
    WinNTExtProgInfo *info = descriptor ? descriptor->platformInfo : nullptr;
    if (!info || info->process <= 0)
        return 0;
    int st = 0;
    pid_t r;
    do {
        r = waitpid(info->process, &st, 0);
    } while (r < 0 && errno == EINTR);
    return r == info->process ? exitCodeOf(st) : 0;
}

int winNTExtProg_deadProcess(WinNTWatchEntry *entry)
{
    ExternProgDescr *d = entry->descriptor;
    WinNTExtProgInfo *info = d->platformInfo;
    haveTerminatedProgram = 1;
    int code = 0;
    if (entry->kind == WATCH_PROCESS) {
        code = winNTExtProg_waitForChild(d);
        info->process = 0;
    } else {
        info->foreignPid = 0;  // exit code of a process not started here is unknown
    }
    d->state = EXTPROG_STATE_ENDED;
    d->exitStatus = code;
    if (d->onTerminate)
        d->onTerminate(d, code, 0);
    return EXTPROG_SIGNAL_PROCESS_ENDED;
}

int winNTExtProg_eventFromProcess(WinNTWatchEntry *entry)
{
    namedEvent_reset(&entry->descriptor->platformInfo->getEvent);
    externProgramSignal = 1;
    return EXTPROG_SIGNAL_EVENT;
}

int winNTExtProg_getObjectList(WinNTWatchEntry *list, int capacity, ExternProgDescr *only,
                               const NamedEvent *skip)
{
    int n = 0;
    for (ExternProgDescr *d = firstExtProgP; d && n < capacity; d = d->next) {
        WinNTExtProgInfo *info = d->platformInfo;
        if (!info)
            continue;
        if (info->process > 0 || info->foreignPid > 0) {
            WinNTWatchEntry *e = &list[n++];
            memset(e, 0, sizeof *e);
            e->kind = info->process > 0 ? WATCH_PROCESS : WATCH_FOREIGN_PROCESS;
            e->pid = info->process > 0 ? info->process : info->foreignPid;
            e->descriptor = d;
            e->handler = winNTExtProg_deadProcess;
        }
        if (n < capacity && namedEvent_isOpen(&info->getEvent) && (!only || only == d) &&
            !(skip && skip->word == info->getEvent.word)) {
            WinNTWatchEntry *e = &list[n++];
            memset(e, 0, sizeof *e);
            e->kind = WATCH_EVENT;
            e->event = &info->getEvent;
            e->descriptor = d;
            e->handler = winNTExtProg_eventFromProcess;
        }
    }
    return n;
}

static int entryFired(const WinNTWatchEntry *e)
{
    if (e->kind == WATCH_EVENT)
        return namedEvent_isSet(e->event);
    if (e->kind == WATCH_PROCESS) {
        siginfo_t info;
        memset(&info, 0, sizeof info);
        if (waitid(P_PID, (id_t)e->pid, &info, WEXITED | WNOHANG | WNOWAIT) != 0)
            return errno == ECHILD;  // not ours to wait for any more: gone
        return info.si_pid == e->pid;
    }
    return !winNTExtProg_processAlive(e->pid);
}

int winNTExtProg_waitForObjectsPolling(NamedEvent *ownEvent, WinNTWatchEntry *list, int count,
                                       long timeoutMs, WinNTWaitPoll poll, void *arg, int spin)
{
    int64_t deadline = timeoutMs < 0 ? INT64_MAX : winNTExtProg_nowNs() + (int64_t)timeoutMs * 1000000;
    int first = 1;
    for (;;) {
        if (ownEvent && namedEvent_isSet(ownEvent))
            return WAIT_OWN_EVENT;
        for (int i = 0; i < count; ++i)
            if (entryFired(&list[i]))
                return i;
        // The poll looks at other processes (costly next to a quick reply), so
        // only once the first slice has passed without an answer.
        if (poll && !first && poll(arg))
            return WAIT_POLL_STOPPED;
        int64_t left = deadline == INT64_MAX ? INT64_MAX : deadline - winNTExtProg_nowNs();
        if (left <= 0)
            return WAIT_TIMED_OUT;
        long slice = WAIT_SLICE_MS;
        if (left < (int64_t)slice * 1000000)
            slice = (long)((left + 999999) / 1000000);
        if (ownEvent) {
            // Only the first sleep spins: a reply usually follows at once.
            if (namedEvent_wait(ownEvent, slice, first ? spin : EVENT_NO_SPIN))
                return WAIT_OWN_EVENT;
        } else {
            struct timespec ts = {0, slice * 1000000L};
            nanosleep(&ts, nullptr);
        }
        first = 0;
    }
}

int winNTExtProg_waitForObjects(NamedEvent *ownEvent, WinNTWatchEntry *list, int count,
                                long timeoutMs)
{
    return winNTExtProg_waitForObjectsPolling(ownEvent, list, count, timeoutMs, nullptr, nullptr,
                                              EVENT_SPIN);
}

void winNTExtProg_killProgram(ExternProgDescr *descriptor)
{
    // The client only forgets the server; its process goes on.
    (void)descriptor;
}

void winNTExtProg_cleanupProgram(ExternProgDescr *descriptor)
{
    WinNTExtProgInfo *info = descriptor ? descriptor->platformInfo : nullptr;
    if (!info)
        return;
    if (info->createdSignalEvents) {
        char name[NAMED_OBJECT_NAME_BYTES];
        signalEventName(name, 1, info->signalPid);
        namedObject_unlink(name);
        signalEventName(name, 2, info->signalPid);
        namedObject_unlink(name);
    }
    if (namedEvent_isOpen(&info->sendEvent))
        namedEvent_close(&info->sendEvent);
    if (namedEvent_isOpen(&info->getEvent))
        namedEvent_close(&info->getEvent);
    free(info);
    descriptor->platformInfo = nullptr;
}
