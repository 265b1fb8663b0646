// Helpers of the connection tests: named objects left in /dev/shm, the test
// peer program, and bounded waits for child processes.
#ifndef NW_TESTS_CONNECTION_SHM_WATCH_H
#define NW_TESTS_CONNECTION_SHM_WATCH_H

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

// Names in /dev/shm that belong to queue key (segment, lock, events).
std::vector<std::string> queueObjects(int32_t key);
// Names in /dev/shm of the signal events formed from pid.
std::vector<std::string> signalObjects(pid_t pid);
// Permission bits of /dev/shm/name, or -1.
int shmMode(const std::string &name);
bool shmExists(const std::string &name);

std::string peerProgram();
// Starts the peer with the arguments; returns its pid (or -1).
pid_t spawnPeer(const std::vector<std::string> &args);
// Waits at most timeoutMs for pid to end; returns its exit code, -signal for
// a signal, or -1000 when it did not end in time.
int waitExit(pid_t pid, long timeoutMs);
// Milliseconds of a monotonic clock.
long long nowMs();
std::string tempPath(const char *stem);
std::string readText(const std::string &file);

#endif
