// Benchmark: request/reply round trips through the shared-memory queue
// (1.6 KB requests and replies, the peer answers at once) against a pipe
// ping-pong of the same sizes between two processes. Runs both unpinned and
// with both processes on one processor, and prints round trips per second,
// median and 99th percentile of each and the ratios.
//
//   bench_ipc_roundtrip [--rounds N]
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "connection/extprog.h"
#include "connection/platform/winnt_extprog.h"

extern char **environ;

namespace {

const int MESSAGE_BYTES = 1600;
const int CODE_ECHO = 10, CODE_QUIT = 13;

struct Result {
    double perSecond = 0, medianUs = 0, p99Us = 0;
    bool ok = false;
};

int64_t now() { return winNTExtProg_nowNs(); }

Result summarise(std::vector<int64_t> &lat, int64_t totalNs)
{
    Result r;
    if (lat.empty() || totalNs <= 0)
        return r;
    std::sort(lat.begin(), lat.end());
    r.perSecond = (double)lat.size() * 1e9 / (double)totalNs;
    r.medianUs = (double)lat[lat.size() / 2] / 1000.0;
    r.p99Us = (double)lat[std::min(lat.size() - 1, lat.size() * 99 / 100)] / 1000.0;
    r.ok = true;
    return r;
}

void setHeader(unsigned char *m, int32_t type, int32_t code)
{
    int32_t length = MESSAGE_BYTES - 16;
    memcpy(m, &type, 4);
    memcpy(m + 4, &length, 4);
    memcpy(m + 12, &code, 4);
}

// ---- queue peer (a separate program image: the benchmark started again) ----
int queuePeer(int32_t key)
{
    IPCPath *path = nullptr;
    if (externProg_openIPCPath(&path, &key, EXTPROG_OPEN_EXISTING) != 0)
        return 2;
    static unsigned char in[8232], out[MESSAGE_BYTES];
    memset(out, 0, sizeof out);
    setHeader(out, EXTPROG_MSG_REPLY, CODE_ECHO);
    for (;;) {
        int status = 0;
        externProg_receiveMessage(&status, in, sizeof in, EXTPROG_MSG_REQUEST, path, 1, 0, 0,
                                  nullptr, nullptr, nullptr);
        if (status != 0)
            break;
        int32_t code;
        memcpy(&code, in + 12, 4);
        memcpy(out + 20, in + 20, 4);  // a trivial answer: echo the sequence word
        if (externProg_sendMessage(out, MESSAGE_BYTES, path, nullptr, 0, nullptr) != 0)
            break;
        if (code == CODE_QUIT)
            break;
    }
    externProg_removeIPCPath(nullptr, path, 0);
    return 0;
}

Result runQueue(const char *self, int rounds, int warmup)
{
    Result bad;
    ExternProgDescr *client = nullptr;
    if (externProg_createDescriptor(&client, 0, EXTPROG_KIND_CLIENT, nullptr, 0, nullptr, nullptr) != 0)
        return bad;
    IPCPath *path = nullptr;
    int32_t key = 0;
    if (externProg_openIPCPath(&path, &key, EXTPROG_OPEN_CREATE) != 0) {
        externProg_removeDescriptor(client);
        return bad;
    }
    externProg_connectIPCToProgram(path, client, 0, 0, nullptr);
    std::string keyText = std::to_string(key);
    char *argv[] = {const_cast<char *>(self), const_cast<char *>("--queue-peer"),
                    const_cast<char *>(keyText.c_str()), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, self, nullptr, nullptr, argv, environ) != 0) {
        externProg_removeIPCPath(client, nullptr, 0);
        externProg_removeDescriptor(client);
        return bad;
    }
    static unsigned char req[MESSAGE_BYTES], rep[8232];
    memset(req, 0, sizeof req);
    std::vector<int64_t> lat;
    lat.reserve((size_t)rounds);
    bool ok = true;
    int64_t start = 0;
    for (int i = 0; i < warmup + rounds && ok; ++i) {
        if (i == warmup)
            start = now();
        setHeader(req, EXTPROG_MSG_REQUEST, CODE_ECHO);
        int32_t seq = i;
        memcpy(req + 20, &seq, 4);
        int64_t t0 = now();
        int status = externProg_sendMessage(req, MESSAGE_BYTES, path, nullptr, 0, nullptr);
        if (status == 0)
            externProg_receiveMessage(&status, rep, sizeof rep, EXTPROG_MSG_REPLY, path, 1, 60, 0,
                                      nullptr, nullptr, nullptr);
        int32_t echoed = -1;
        memcpy(&echoed, rep + 20, 4);
        if (status != 0 || echoed != seq) {
            fprintf(stderr, "queue round trip %d failed: status %d\n", i, status);
            ok = false;
        }
        if (i >= warmup)
            lat.push_back(now() - t0);
    }
    int64_t total = now() - start;
    setHeader(req, EXTPROG_MSG_REQUEST, CODE_QUIT);
    int status = externProg_sendMessage(req, MESSAGE_BYTES, path, nullptr, 0, nullptr);
    if (status == 0)
        externProg_receiveMessage(&status, rep, sizeof rep, EXTPROG_MSG_REPLY, path, 1, 10, 0,
                                  nullptr, nullptr, nullptr);
    int st = 0;
    if (status != 0)
        kill(pid, SIGKILL);
    waitpid(pid, &st, 0);
    externProg_removeIPCPath(client, nullptr, 0);
    externProg_removeDescriptor(client);
    return ok ? summarise(lat, total) : bad;
}

bool fullRead(int fd, unsigned char *buf, size_t n)
{
    size_t got = 0;
    while (got < n) {
        ssize_t r = read(fd, buf + got, n - got);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        got += (size_t)r;
    }
    return true;
}

bool fullWrite(int fd, const unsigned char *buf, size_t n)
{
    size_t put = 0;
    while (put < n) {
        ssize_t r = write(fd, buf + put, n - put);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        put += (size_t)r;
    }
    return true;
}

Result runPipe(int rounds, int warmup)
{
    Result bad;
    int toPeer[2], fromPeer[2];
    if (pipe(toPeer) != 0)
        return bad;
    if (pipe(fromPeer) != 0) {
        close(toPeer[0]);
        close(toPeer[1]);
        return bad;
    }
    pid_t pid = fork();
    if (pid == 0) {
        close(toPeer[1]);
        close(fromPeer[0]);
        static unsigned char in[MESSAGE_BYTES], out[MESSAGE_BYTES];
        while (fullRead(toPeer[0], in, MESSAGE_BYTES)) {
            memcpy(out + 20, in + 20, 4);
            if (!fullWrite(fromPeer[1], out, MESSAGE_BYTES))
                break;
        }
        _exit(0);
    }
    close(toPeer[0]);
    close(fromPeer[1]);
    static unsigned char req[MESSAGE_BYTES], rep[MESSAGE_BYTES];
    std::vector<int64_t> lat;
    lat.reserve((size_t)rounds);
    bool ok = pid > 0;
    int64_t start = 0;
    for (int i = 0; i < warmup + rounds && ok; ++i) {
        if (i == warmup)
            start = now();
        int32_t seq = i, echoed = -1;
        memcpy(req + 20, &seq, 4);
        int64_t t0 = now();
        ok = fullWrite(toPeer[1], req, MESSAGE_BYTES) && fullRead(fromPeer[0], rep, MESSAGE_BYTES);
        memcpy(&echoed, rep + 20, 4);
        ok = ok && echoed == seq;
        if (i >= warmup)
            lat.push_back(now() - t0);
    }
    int64_t total = now() - start;
    close(toPeer[1]);
    close(fromPeer[0]);
    int st = 0;
    if (pid > 0)
        waitpid(pid, &st, 0);
    return ok ? summarise(lat, total) : bad;
}

void print(const char *what, const Result &r)
{
    if (!r.ok) {
        printf("  %-6s failed\n", what);
        return;
    }
    printf("  %-6s %12.0f round trips/s   median %8.2f us   p99 %8.2f us\n", what, r.perSecond,
           r.medianUs, r.p99Us);
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc >= 3 && strcmp(argv[1], "--queue-peer") == 0)
        return queuePeer((int32_t)strtol(argv[2], nullptr, 10));
    int rounds = 20000;
    for (int i = 1; i + 1 < argc; ++i)
        if (strcmp(argv[i], "--rounds") == 0)
            rounds = std::max(100, atoi(argv[i + 1]));
    int warmup = std::max(100, rounds / 20);
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) {
        fprintf(stderr, "bench_ipc_roundtrip: cannot find own program\n");
        return 1;
    }
    self[n] = '\0';

    cpu_set_t original;
    CPU_ZERO(&original);
    sched_getaffinity(0, sizeof original, &original);
    printf("queue vs pipe, %d-byte requests and replies, %d round trips each (%d processors usable)\n",
           MESSAGE_BYTES, rounds, CPU_COUNT(&original));
    int failures = 0;
    for (int pinned = 0; pinned < 2; ++pinned) {
        if (pinned) {
            cpu_set_t one;
            CPU_ZERO(&one);
            int first = 0;
            while (first < CPU_SETSIZE && !CPU_ISSET(first, &original))
                ++first;
            CPU_SET(first, &one);
            sched_setaffinity(0, sizeof one, &one);
        }
        winNTExtProg_refreshProcessorCount();
        printf("%s:\n", pinned ? "both processes on one processor" : "unpinned");
        Result q = runQueue(self, rounds, warmup);
        Result p = runPipe(rounds, warmup);
        print("queue", q);
        print("pipe", p);
        if (q.ok && p.ok)
            printf("  ratio queue/pipe: %.2fx round trips/s, median %.2fx faster, p99 %.2fx faster\n",
                   q.perSecond / p.perSecond, p.medianUs / q.medianUs, p.p99Us / q.p99Us);
        else
            ++failures;
    }
    sched_setaffinity(0, sizeof original, &original);
    return failures ? 1 : 0;
}
