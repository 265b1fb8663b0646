// Removal of named objects left behind by runs whose processes all ended
// without detaching (killed, crashed): queues whose lock shows no live
// process, queue objects without their lock, and signal events of ended
// processes. Only this user's objects are looked at.
#include "connection/platform/winnt_extprog.h"

#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "connection/platform/queue_names.h"

static const char *const SHM_DIR = "/dev/shm";

static int ownedByMe(const char *name)
{
    char path[300];
    snprintf(path, sizeof path, "%s/%s", SHM_DIR, name);
    struct stat st;
    return stat(path, &st) == 0 && st.st_uid == geteuid();
}

static int objectExists(const char *name)
{
    char path[300];
    snprintf(path, sizeof path, "%s/%s", SHM_DIR, name);
    struct stat st;
    return stat(path, &st) == 0;
}

// Whether the queue of key still has a live process (or is being set up).
static int queueLive(unsigned long key)
{
    char name[NAMED_OBJECT_NAME_BYTES];
    queueLockName(name, (int32_t)key);
    NamedLock lock;
    if (namedLock_open(&lock, name) != 0)
        return objectExists(name);  // unreadable or mid-creation: leave it
    int live = namedLock_isRemoved(&lock) ? 0 : winNTExtProg_processAlive(namedLock_creatorPid(&lock));
    int32_t *pids = namedLock_slotPids(&lock);
    for (int s = 0; s < IPC_MAX_RECEIVERS && !live && !namedLock_isRemoved(&lock); ++s)
        if (pids[s] != 0 && winNTExtProg_processAlive(pids[s]))
            live = 1;
    namedLock_close(&lock);
    return live;
}

static void removeQueue(unsigned long key)
{
    char name[NAMED_OBJECT_NAME_BYTES];
    queueSegmentName(name, (int32_t)key);
    namedObject_unlink(name);
    DIR *dir = opendir(SHM_DIR);
    if (dir) {
        char prefix[NAMED_OBJECT_NAME_BYTES];
        snprintf(prefix, sizeof prefix, "qEvnt%08lx_", key);
        size_t plen = strlen(prefix);
        while (struct dirent *de = readdir(dir))
            if (strncmp(de->d_name, prefix, plen) == 0 && ownedByMe(de->d_name))
                namedObject_unlink(de->d_name);
        closedir(dir);
    }
    queueLockName(name, (int32_t)key);
    namedObject_unlink(name);
}

enum { MAX_STALE = 256 };

static void remember(char (*names)[NAMED_OBJECT_NAME_BYTES], int *count, const char *name)
{
    size_t len = strlen(name);
    if (*count >= MAX_STALE || len >= NAMED_OBJECT_NAME_BYTES)
        return;
    memcpy(names[*count], name, len + 1);
    *count += 1;
}

void winNTExtProg_sweepStaleObjects(void)
{
    DIR *dir = opendir(SHM_DIR);
    if (!dir)
        return;
    // Collect first: removing while reading the directory may skip entries.
    unsigned long staleKeys[MAX_STALE];
    char staleNames[MAX_STALE][NAMED_OBJECT_NAME_BYTES];
    int keyCount = 0, nameCount = 0;
    while (struct dirent *de = readdir(dir)) {
        const char *n = de->d_name;
        unsigned long key = 0;
        unsigned id = 0, pid = 0;
        int which = 0;
        char tail = 0;
        char lockName[NAMED_OBJECT_NAME_BYTES];
        if (strncmp(n, "qMtex", 5) == 0 && strlen(n) == 13 && sscanf(n, "qMtex%8lx%c", &key, &tail) == 1) {
            if (ownedByMe(n) && !queueLive(key) && keyCount < MAX_STALE)
                staleKeys[keyCount++] = key;
        } else if ((strncmp(n, "qMem", 4) == 0 && strlen(n) == 12 && sscanf(n, "qMem%8lx%c", &key, &tail) == 1) ||
                   (strncmp(n, "qEvnt", 5) == 0 && sscanf(n, "qEvnt%8lx_%x%c", &key, &id, &tail) == 2)) {
            // Queue objects are created after their lock: without it they
            // are left over.
            queueLockName(lockName, (int32_t)key);
            if (ownedByMe(n) && !objectExists(lockName))
                remember(staleNames, &nameCount, n);
        } else if (n[0] == 'p' && strlen(n) == 15 && sscanf(n, "p%dEvent%8x%c", &which, &pid, &tail) == 2 &&
                   (which == 1 || which == 2)) {
            if (ownedByMe(n) && !winNTExtProg_processAlive((pid_t)pid))
                remember(staleNames, &nameCount, n);
        }
    }
    closedir(dir);
    for (int i = 0; i < keyCount; ++i)
        removeQueue(staleKeys[i]);
    for (int i = 0; i < nameCount; ++i)
        namedObject_unlink(staleNames[i]);
}
