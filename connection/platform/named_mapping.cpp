// Named shared mappings on POSIX shared memory, the clock, the processor
// count and the internal timing settings of the platform layer.
#include "connection/platform/named_objects.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/sysinfo.h>
#include <unistd.h>

long winNTExtProg_lockTimeoutMs = 5000;
long winNTExtProg_msPerTimeoutSecond = 1000;
long winNTExtProg_spinNanoseconds = 50000;

static int processorState = -1;  // -1 unknown, 0 one processor, 1 several

void winNTExtProg_refreshProcessorCount(void)
{
    int usable = 0;
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0)
        usable = CPU_COUNT(&set);
    int online = get_nprocs();
    if (usable <= 0 || online < usable)
        usable = online;
    processorState = usable > 1 ? 1 : 0;
}

int winNTExtProg_multiProcessor(void)
{
    if (processorState < 0)
        winNTExtProg_refreshProcessorCount();
    return processorState;
}

int64_t winNTExtProg_nowNs(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (int64_t)ts.tv_sec * 1000000000 + ts.tv_nsec;
}

static void shmPath(char *out, const char *name)
{
    snprintf(out, NAMED_OBJECT_NAME_BYTES + 2, "/%s", name);
}

static int mapFd(NamedMapping *mapping, int fd, const char *name, size_t size)
{
    void *address = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    int err = errno;
    close(fd);
    if (address == MAP_FAILED)
        return err ? err : ENOMEM;
    mapping->address = address;
    mapping->size = size;
    snprintf(mapping->name, sizeof mapping->name, "%s", name);
    return 0;
}

int namedMapping_create(NamedMapping *mapping, const char *name, size_t size)
{
    memset(mapping, 0, sizeof *mapping);
    if (strlen(name) >= NAMED_OBJECT_NAME_BYTES)
        return ENAMETOOLONG;
    char path[NAMED_OBJECT_NAME_BYTES + 2];
    shmPath(path, name);
    int fd = shm_open(path, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return errno;
    if (ftruncate(fd, (off_t)size) != 0) {
        int err = errno;
        close(fd);
        shm_unlink(path);
        return err;
    }
    int rc = mapFd(mapping, fd, name, size);
    if (rc != 0) {
        shm_unlink(path);
        return rc;
    }
    mapping->created = 1;
    return 0;
}

int namedMapping_open(NamedMapping *mapping, const char *name, size_t size)
{
    memset(mapping, 0, sizeof *mapping);
    if (strlen(name) >= NAMED_OBJECT_NAME_BYTES)
        return ENAMETOOLONG;
    char path[NAMED_OBJECT_NAME_BYTES + 2];
    shmPath(path, name);
    int fd = shm_open(path, O_RDWR | O_CLOEXEC, 0);
    if (fd < 0)
        return errno;
    // The creator sizes the object right after creating it; give it a moment
    // rather than mapping a short object (touching beyond its end would fault).
    struct stat st;
    for (int tries = 0;; ++tries) {
        if (fstat(fd, &st) != 0) {
            int err = errno;
            close(fd);
            return err;
        }
        // Objects of another user are never used, whatever their mode.
        if (st.st_uid != geteuid()) {
            close(fd);
            return EACCES;
        }
        if ((size_t)st.st_size >= size)
            break;
        if (tries >= 200) {
            close(fd);
            return EINVAL;
        }
        usleep(500);
    }
    return mapFd(mapping, fd, name, size);
}

void namedMapping_close(NamedMapping *mapping)
{
    if (mapping->address)
        munmap(mapping->address, mapping->size);
    mapping->address = nullptr;
    mapping->size = 0;
}

void namedObject_unlink(const char *name)
{
    char path[NAMED_OBJECT_NAME_BYTES + 2];
    shmPath(path, name);
    shm_unlink(path);
}
