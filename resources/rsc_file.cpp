// Reading and writing the resource-file container (see rsc_file.h).
#include "resources/rsc_file.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

struct rsc_file {
    FILE *fp;
    uint64_t fileSize;
    uint32_t count;
    unsigned char *directory;  // count * RSC_DIRENTRY_SIZE bytes
};

static uint32_t get_u32(const unsigned char *p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

static void put_u32(unsigned char *p, uint32_t v) {
    p[0] = (unsigned char)v;
    p[1] = (unsigned char)(v >> 8);
    p[2] = (unsigned char)(v >> 16);
    p[3] = (unsigned char)(v >> 24);
}

static int read_at(FILE *fp, uint64_t offset, void *buf, size_t n) {
    if (fseeko(fp, (off_t)offset, SEEK_SET) != 0) return RSC_ERR_IO;
    if (n > 0 && fread(buf, 1, n, fp) != n) return RSC_ERR_IO;
    return RSC_OK;
}

int rsc_open(rsc_file **file, const char *path) {
    if (!file || !path) return RSC_ERR_ARG;
    *file = nullptr;
    FILE *fp = fopen(path, "rb");
    if (!fp) return RSC_ERR_OPEN;
    int status = RSC_OK;
    unsigned char head[RSC_HEADER_SIZE];
    uint64_t fileSize = 0;
    uint32_t count = 0, dirOffset = 0;
    unsigned char *dir = nullptr;
    rsc_file *f = nullptr;

    if (fseeko(fp, 0, SEEK_END) != 0) { status = RSC_ERR_IO; goto fail; }
    {
        off_t end = ftello(fp);
        if (end < 0) { status = RSC_ERR_IO; goto fail; }
        fileSize = (uint64_t)end;
    }
    if (fileSize < RSC_HEADER_SIZE) { status = RSC_ERR_FORMAT; goto fail; }
    if ((status = read_at(fp, 0, head, sizeof head)) != RSC_OK) goto fail;
    if (memcmp(head, RSC_MAGIC, 8) != 0) { status = RSC_ERR_FORMAT; goto fail; }
    count = get_u32(head + 8);
    dirOffset = get_u32(head + 12);
    // The directory must lie inside the file after the header.
    if (dirOffset < RSC_HEADER_SIZE || dirOffset > fileSize ||
        (uint64_t)count > (fileSize - dirOffset) / RSC_DIRENTRY_SIZE) {
        status = RSC_ERR_FORMAT;
        goto fail;
    }
    if (count > 0) {
        dir = (unsigned char *)malloc((size_t)count * RSC_DIRENTRY_SIZE);
        if (!dir) { status = RSC_ERR_MEMORY; goto fail; }
        if ((status = read_at(fp, dirOffset, dir, (size_t)count * RSC_DIRENTRY_SIZE)) != RSC_OK)
            goto fail;
    }
    f = (rsc_file *)calloc(1, sizeof *f);
    if (!f) { status = RSC_ERR_MEMORY; goto fail; }
    f->fp = fp;
    f->fileSize = fileSize;
    f->count = count;
    f->directory = dir;
    *file = f;
    return RSC_OK;

fail:
    free(dir);
    fclose(fp);
    return status;
}

void rsc_close(rsc_file *file) {
    if (!file) return;
    fclose(file->fp);
    free(file->directory);
    free(file);
}

// Finds the directory entry; checks that its data lies inside the file.
static int find_entry(rsc_file *file, uint32_t type, uint32_t id, uint32_t *offset,
                      uint32_t *size) {
    for (uint32_t i = 0; i < file->count; i++) {
        const unsigned char *e = file->directory + (size_t)i * RSC_DIRENTRY_SIZE;
        if (get_u32(e) != type || get_u32(e + 4) != id) continue;
        uint32_t off = get_u32(e + 8), sz = get_u32(e + 12);
        if ((uint64_t)off > file->fileSize || (uint64_t)sz > file->fileSize - off)
            return RSC_ERR_FORMAT;
        *offset = off;
        *size = sz;
        return RSC_OK;
    }
    return RSC_ERR_NOTFOUND;
}

int rsc_locate(rsc_file *file, uint32_t type, uint32_t id, uint32_t *size) {
    if (!file || !size) return RSC_ERR_ARG;
    uint32_t off = 0;
    return find_entry(file, type, id, &off, size);
}

int rsc_read(rsc_file *file, uint32_t type, uint32_t id, void *buf, size_t capacity,
             size_t *got) {
    if (got) *got = 0;
    if (!file || (!buf && capacity > 0)) return RSC_ERR_ARG;
    uint32_t off = 0, size = 0;
    int status = find_entry(file, type, id, &off, &size);
    if (status != RSC_OK) return status;
    if (size > capacity) return RSC_ERR_ARG;
    if ((status = read_at(file->fp, off, buf, size)) != RSC_OK) return status;
    if (got) *got = size;
    return RSC_OK;
}

static int write_all(int fd, const void *data, size_t n) {
    const unsigned char *p = (const unsigned char *)data;
    while (n > 0) {
        ssize_t w = write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return RSC_ERR_IO;
        }
        p += w;
        n -= (size_t)w;
    }
    return RSC_OK;
}

int rsc_write_file(const char *path, const rsc_entry *entries, size_t count) {
    if (!path || (!entries && count > 0) || count > 0x0FFFFFFF) return RSC_ERR_ARG;
    uint64_t dataOffset = RSC_HEADER_SIZE + (uint64_t)count * RSC_DIRENTRY_SIZE;
    size_t headSize = (size_t)dataOffset;
    unsigned char *head = (unsigned char *)calloc(1, headSize);
    if (!head) return RSC_ERR_MEMORY;
    memcpy(head, RSC_MAGIC, 8);
    put_u32(head + 8, (uint32_t)count);
    put_u32(head + 12, RSC_HEADER_SIZE);
    uint64_t at = dataOffset;
    for (size_t i = 0; i < count; i++) {
        if (entries[i].size > 0 && !entries[i].data) { free(head); return RSC_ERR_ARG; }
        if (at + entries[i].size > 0xFFFFFFFFu) { free(head); return RSC_ERR_ARG; }
        unsigned char *e = head + RSC_HEADER_SIZE + i * RSC_DIRENTRY_SIZE;
        put_u32(e, entries[i].type);
        put_u32(e + 4, entries[i].id);
        put_u32(e + 8, (uint32_t)at);
        put_u32(e + 12, entries[i].size);
        at += entries[i].size;
    }

    size_t tmpLen = strlen(path) + 16;
    char *tmp = (char *)malloc(tmpLen);
    if (!tmp) { free(head); return RSC_ERR_MEMORY; }
    snprintf(tmp, tmpLen, "%s.tmpXXXXXX", path);
    int fd = mkstemp(tmp);
    if (fd < 0) { free(head); free(tmp); return RSC_ERR_OPEN; }
    int status = write_all(fd, head, headSize);
    for (size_t i = 0; status == RSC_OK && i < count; i++)
        status = write_all(fd, entries[i].data, entries[i].size);
    if (status == RSC_OK && fchmod(fd, 0644) != 0) status = RSC_ERR_IO;
    if (status == RSC_OK && fsync(fd) != 0) status = RSC_ERR_IO;
    if (close(fd) != 0 && status == RSC_OK) status = RSC_ERR_IO;
    if (status == RSC_OK && rename(tmp, path) != 0) status = RSC_ERR_IO;
    if (status != RSC_OK) unlink(tmp);
    free(tmp);
    free(head);
    return status;
}
