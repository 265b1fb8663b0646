// dgn_file.h - a DGN V7 (IGDS) design file held in memory: load, validate, index, save.
//
// API in short
//   DgnFile f;  std::string err;
//   if (!dgn_load_file("sheet.dgn", &f, &err)) { fprintf(stderr, "%s\n", err.c_str()); ... }
//       Reads the whole file, checks every element's words-to-follow against the buffer (a
//       truncated, corrupt or V8 file is refused with a clear message in err) and builds
//       f.elements: one DgnElementRef per element in file order, keyed by byte position.
//       dgn_load_buffer() does the same on bytes already in memory (tests, fuzzing).
//   f.is3d, f.eu_mu (EU.MU, sub-units per master unit), f.eu_uor (EU.UOR, UORs per sub-unit),
//   f.master_name / f.sub_name, f.global_origin[3] (UOR), f.max_graphic_group (largest graphic
//   group used by any element), f.symbology (active level/colour/weight/style, valid only when
//   f.has_symbology): values read from the design-file header element (type 9) at load time.
//   dgn_find_element(&f, pos)       index in f.elements of the element starting at byte pos, or -1.
//   dgn_component_count(&f, i)      number of elements after i that belong to it (complex bit set),
//                                   0 for a simple element.
//   dgn_element_bytes(&f, i, &n)    pointer to element i's bytes in f.data (n = its size).
//   dgn_overwrite_element(&f, i, bytes, n)  replace element i by one of the same size.
//   dgn_set_deleted(&f, i, on)      set/clear the deleted bit (bit 15 of the header word).
//   dgn_append_element(&f, bytes, n, &pos)  add an element before the end-of-design marker
//                                   (validated first); pos receives its position.
//   dgn_refresh_header(&f)          re-read the type 9 values after the TCB bytes changed.
//   dgn_save_file(&f, path, &err)   writes f.data safely: temporary file in the target's folder,
//                                   fsync, rename over the target, folder fsync; the target's
//                                   permissions are kept and a symbolic link is followed so the
//                                   real file is replaced, never the link. On failure the target
//                                   is untouched.
// Positions are byte offsets from the start of the file (block = pos / 512, byte = pos % 512).
// Nothing after the end-of-design marker (0xFFFF) is parsed; it is kept and written back as is.
#ifndef NW_DGN_DGN_FILE_H
#define NW_DGN_DGN_FILE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Size of the design-file header element (type 9) that starts every V7 design file.
enum { DGN_TCB_SIZE = 1536, DGN_MAX_ELEMENT_BYTES = 65536 * 2 + 4 };

struct DgnElementRef {
    uint32_t offset;   // byte position in the file
    uint32_t size;     // bytes, 4 + 2 * words-to-follow
    uint8_t type;      // 0-127
    uint8_t level;     // 0-63
    bool complex;      // component of a complex element (bit 7)
    bool deleted;      // bit 15
};

struct DgnSymbology {
    int level;   // 1-63
    int color;   // 0-255
    int weight;  // 0-31
    int style;   // 0-7
};

struct DgnFile {
    std::string path;                    // as given to dgn_load_file (empty for a buffer)
    std::vector<uint8_t> data;           // every byte of the file, including any tail
    std::vector<DgnElementRef> elements; // file order = ascending offset
    uint32_t end_offset = 0;             // position of the end marker, or data.size() if none
    bool has_end_marker = false;

    // From the design-file header (type 9).
    bool is3d = false;
    int32_t eu_mu = 0;        // sub-units per master unit
    int32_t eu_uor = 0;       // UORs per sub-unit
    char master_name[3] = {0, 0, 0};
    char sub_name[3] = {0, 0, 0};
    double global_origin[3] = {0, 0, 0};  // UOR
    uint16_t max_graphic_group = 0;
    bool has_symbology = false;
    DgnSymbology symbology = {1, 0, 0, 0};
};

// Loading. On failure the DgnFile is left empty and err holds a one-line message that names
// the file (or "buffer") and, where it applies, the byte position of the fault.
bool dgn_load_file(const char *path, DgnFile *out, std::string *err);
bool dgn_load_buffer(const uint8_t *bytes, size_t n, DgnFile *out, std::string *err);

// Checks one element image (header, words-to-follow, attribute index, type-specific sizes)
// as the loader does; used before an element is appended or overwritten.
bool dgn_check_element(const uint8_t *bytes, size_t n, bool is3d, std::string *err);

int dgn_find_element(const DgnFile *f, uint32_t offset);
// Components of the complex element at index: the run of following elements with the complex
// bit set (nested components included). Walks by the bit rather than by the header's word count,
// which some writers get wrong.
int dgn_component_count(const DgnFile *f, int index);
const uint8_t *dgn_element_bytes(const DgnFile *f, int index, uint32_t *size);

bool dgn_overwrite_element(DgnFile *f, int index, const uint8_t *bytes, size_t n, std::string *err);
bool dgn_set_deleted(DgnFile *f, int index, bool deleted);
bool dgn_append_element(DgnFile *f, const uint8_t *bytes, size_t n, uint32_t *offset, std::string *err);
void dgn_refresh_header(DgnFile *f);

bool dgn_save_file(const DgnFile *f, const char *path, std::string *err);

// True for element types that carry a range and the display header (bytes 28-35).
bool dgn_type_has_display_header(int type);

#endif
