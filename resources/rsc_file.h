// Resource-file container: a small file of typed, numbered data blocks.
//
// Layout (little-endian):
//   0   8  magic "NWRSRC1\0"
//   8   4  entry count N
//   12  4  offset of the directory (from the start of the file)
//   dir    N entries of 16 bytes: type, id, data offset, data size (all u32)
//   data   the blocks, anywhere after the header
// The reader checks every count, offset and size it reads against the file's
// real size before using it, so a damaged file is refused, never over-read.
#ifndef NW_RESOURCES_RSC_FILE_H
#define NW_RESOURCES_RSC_FILE_H

#include <stddef.h>
#include <stdint.h>

#define RSC_MAGIC "NWRSRC1"
#define RSC_HEADER_SIZE 16
#define RSC_DIRENTRY_SIZE 16

// Statuses of the resource functions.
enum {
    RSC_OK = 0,
    RSC_ERR_OPEN = 1,      // the file could not be opened or created
    RSC_ERR_FORMAT = 2,    // not a resource file, or its header/directory is inconsistent
    RSC_ERR_NOTFOUND = 3,  // no resource of that type and id
    RSC_ERR_IO = 4,        // read or write failed
    RSC_ERR_MEMORY = 5,    // allocation failed
    RSC_ERR_ARG = 6        // bad argument (null pointer, too small buffer)
};

typedef struct rsc_file rsc_file;

// Opens a resource file for reading and validates its header and directory.
int rsc_open(rsc_file **file, const char *path);
void rsc_close(rsc_file *file);

// Finds the first resource of the given type and id; its size goes to *size.
int rsc_locate(rsc_file *file, uint32_t type, uint32_t id, uint32_t *size);

// Reads the resource's data into buf (capacity bytes). The whole resource must
// fit; *got receives the number of bytes copied.
int rsc_read(rsc_file *file, uint32_t type, uint32_t id, void *buf, size_t capacity,
             size_t *got);

// One resource to write.
typedef struct {
    uint32_t type;
    uint32_t id;
    const void *data;
    uint32_t size;
} rsc_entry;

// Writes a complete resource file: to a temporary file beside the target,
// flushed to disk, then renamed over the target.
int rsc_write_file(const char *path, const rsc_entry *entries, size_t count);

#endif
