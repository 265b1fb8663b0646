// Helpers of the connection tests (see shm_watch.h).
#include "tests/connection/shm_watch.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

static std::vector<std::string> namesWithPrefixes(const std::vector<std::string> &prefixes)
{
    std::vector<std::string> out;
    DIR *dir = opendir("/dev/shm");
    if (!dir)
        return out;
    while (struct dirent *de = readdir(dir)) {
        std::string n = de->d_name;
        for (const auto &p : prefixes)
            if (n.compare(0, p.size(), p) == 0 && (n.size() == p.size() || p.back() == '_')) {
                out.push_back(n);
                break;
            }
    }
    closedir(dir);
    return out;
}

std::vector<std::string> queueObjects(int32_t key)
{
    char hex[16];
    snprintf(hex, sizeof hex, "%08lx", (unsigned long)(uint32_t)key);
    return namesWithPrefixes({std::string("qMem") + hex, std::string("qMtex") + hex,
                              std::string("qEvnt") + hex + "_"});
}

std::vector<std::string> signalObjects(pid_t pid)
{
    char hex[16];
    snprintf(hex, sizeof hex, "%08x", (unsigned)pid);
    return namesWithPrefixes({std::string("p1Event") + hex, std::string("p2Event") + hex});
}

int shmMode(const std::string &name)
{
    struct stat st;
    if (stat(("/dev/shm/" + name).c_str(), &st) != 0)
        return -1;
    return (int)(st.st_mode & 07777);
}

bool shmExists(const std::string &name)
{
    return shmMode(name) >= 0;
}

std::string peerProgram()
{
    const char *bin = getenv("NW_BIN_DIR");
    return std::string(bin ? bin : NW_BIN_DIR) + "/nw_ipc_peer";
}

pid_t spawnPeer(const std::vector<std::string> &args)
{
    std::string prog = peerProgram();
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(prog.c_str()));
    for (const auto &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, prog.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    return pid;
}

int waitExit(pid_t pid, long timeoutMs)
{
    long long end = nowMs() + timeoutMs;
    for (;;) {
        int st = 0;
        pid_t r = waitpid(pid, &st, WNOHANG);
        if (r == pid)
            return WIFEXITED(st) ? WEXITSTATUS(st) : -WTERMSIG(st);
        if (r < 0 && errno != EINTR)
            return -1001;
        if (nowMs() > end) {
            kill(pid, SIGKILL);
            waitpid(pid, &st, 0);
            return -1000;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

long long nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string tempPath(const char *stem)
{
    static int counter = 0;
    const char *dir = getenv("TMPDIR");
    std::ostringstream s;
    s << (dir ? dir : "/tmp") << "/nw_conn_" << stem << "_" << getpid() << "_" << ++counter;
    return s.str();
}

std::string readText(const std::string &file)
{
    std::ifstream in(file);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}
