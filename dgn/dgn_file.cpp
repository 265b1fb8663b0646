// dgn_file.cpp - loading, validating, indexing and safely saving a DGN V7 design file.
#include "dgn/dgn_file.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "dgn/dgn_element.h"
#include "dgnrequests/element_layout.h"

namespace {

// Design files address elements with a signed 32-bit position.
const size_t MAX_FILE_BYTES = 0x7FFFFFFF;

std::string where(const DgnFile *f) { return f->path.empty() ? std::string("buffer") : f->path; }

bool fail(DgnFile *f, std::string *err, const std::string &msg) {
    if (err) *err = where(f) + ": " + msg;
    const std::string path = f->path;
    *f = DgnFile();
    f->path = path;
    return false;
}

// The rest of the header values; called once the element walk succeeded.
void read_header_values(DgnFile *f) {
    const uint8_t *t = f->data.data();
    f->is3d = (t[1214] & 0x40) != 0;
    f->eu_mu = elm_load_i32m(t + 1112);
    f->eu_uor = elm_load_i32m(t + 1116);
    for (int k = 0; k < 2; ++k) {
        f->master_name[k] = static_cast<char>(t[1120 + k]);
        f->sub_name[k] = static_cast<char>(t[1122 + k]);
    }
    f->master_name[2] = f->sub_name[2] = 0;
    for (int k = 0; k < 3; ++k) f->global_origin[k] = elm_vax_to_double(t + 1240 + 8 * k);
    // The header element holds no active symbology we can rely on.
    f->has_symbology = false;
    f->symbology = DgnSymbology{1, 0, 0, 0};
}

bool walk(DgnFile *f, std::string *err) {
    const uint8_t *d = f->data.data();
    const size_t n = f->data.size();
    if (n >= 8 && memcmp(d, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) == 0)
        return fail(f, err, "a DGN V8 file (compound document); only V7 design files are supported");
    if (n < 4) return fail(f, err, "not a DGN V7 design file (only " + std::to_string(n) + " bytes)");
    if (d[0] == 0x08 && d[1] == 0x05 && d[2] == 0x17 && d[3] == 0x00)
        return fail(f, err, "a cell library, not a design file");
    if ((d[1] & 0x7F) != 9 || elm_load16(d + 2) != (DGN_TCB_SIZE - 4) / 2)
        return fail(f, err, "not a DGN V7 design file (no design file header at position 0)");
    if (n < DGN_TCB_SIZE)
        return fail(f, err, "truncated: design file header needs 1536 bytes, file has " + std::to_string(n));
    if (n > MAX_FILE_BYTES) return fail(f, err, "too large for a design file (over 2 GB)");

    // 3D files also set bits 6-7 of byte 0; the header's own flag decides.
    const bool is3d = (d[1214] & 0x40) != 0;
    f->elements.clear();
    f->elements.reserve(n / 64);
    f->max_graphic_group = 0;
    size_t pos = 0;
    std::string why;
    while (pos < n) {
        if (pos + 2 <= n && d[pos] == 0xFF && d[pos + 1] == 0xFF) {
            f->has_end_marker = true;
            break;
        }
        if (pos + 4 > n)
            return fail(f, err, "truncated: element header at position " + std::to_string(pos) + " is cut off");
        const size_t size = 4 + 2 * static_cast<size_t>(elm_load16(d + pos + 2));
        const uint16_t hw = elm_load16(d + pos);
        const int type = (hw >> 8) & 0x7F;
        if (size > n - pos)
            return fail(f, err, "truncated or corrupt: " + std::string(dgn_type_name(type)) + " (type " +
                                    std::to_string(type) + ") at position " + std::to_string(pos) + " claims " +
                                    std::to_string(size) + " bytes, only " + std::to_string(n - pos) + " remain");
        const bool deleted = (hw & 0x8000) != 0;
        // Deleted elements are skipped by every reader; only their length matters.
        if (!deleted && !dgn_element_check(d + pos, size, is3d, &why))
            return fail(f, err, "corrupt " + std::string(dgn_type_name(type)) + " (type " + std::to_string(type) +
                                    ") at position " + std::to_string(pos) + ": " + why);
        DgnElementRef r;
        r.offset = static_cast<uint32_t>(pos);
        r.size = static_cast<uint32_t>(size);
        r.type = static_cast<uint8_t>(type);
        r.level = static_cast<uint8_t>(hw & 0x3F);
        r.complex = (hw & 0x80) != 0;
        r.deleted = deleted;
        f->elements.push_back(r);
        if (dgn_type_has_display_header(type) && size >= 30) {
            const uint16_t gg = elm_load16(d + pos + 28);
            if (gg > f->max_graphic_group) f->max_graphic_group = gg;
        }
        pos += size;
    }
    f->end_offset = static_cast<uint32_t>(pos > n ? n : pos);
    read_header_values(f);
    return true;
}

}  // namespace

bool dgn_type_has_display_header(int type) {
    switch (type) {
    case 0: case 1: case 8: case 9: case 10: case 32: case 44:
    case 48: case 49: case 50: case 51: case 57:
    case 60: case 61: case 62: case 63:
        return false;
    default:
        return true;
    }
}

bool dgn_check_element(const uint8_t *bytes, size_t n, bool is3d, std::string *err) {
    if (n < 4 || n % 2 != 0 || 4 + 2 * static_cast<size_t>(elm_load16(bytes + 2)) != n) {
        if (err) *err = "element size does not match its words to follow";
        return false;
    }
    return dgn_element_check(bytes, n, is3d, err);
}

bool dgn_load_buffer(const uint8_t *bytes, size_t n, DgnFile *out, std::string *err) {
    *out = DgnFile();
    if (n > MAX_FILE_BYTES) return fail(out, err, "too large for a design file (over 2 GB)");
    out->data.assign(bytes, bytes + n);
    return walk(out, err);
}

bool dgn_load_file(const char *path, DgnFile *out, std::string *err) {
    *out = DgnFile();
    out->path = path;
    FILE *fp = fopen(path, "rb");
    if (!fp) return fail(out, err, strerror(errno));
    struct stat st;
    if (fstat(fileno(fp), &st) != 0 || !S_ISREG(st.st_mode)) {
        fclose(fp);
        return fail(out, err, "not a regular file");
    }
    if (static_cast<unsigned long long>(st.st_size) > MAX_FILE_BYTES) {
        fclose(fp);
        return fail(out, err, "too large for a design file (over 2 GB)");
    }
    out->data.resize(static_cast<size_t>(st.st_size));
    const size_t got = out->data.empty() ? 0 : fread(out->data.data(), 1, out->data.size(), fp);
    const bool bad = ferror(fp) != 0;
    fclose(fp);
    if (bad || got != out->data.size()) return fail(out, err, "read error");
    return walk(out, err);
}

int dgn_find_element(const DgnFile *f, uint32_t offset) {
    size_t lo = 0, hi = f->elements.size();
    while (lo < hi) {
        const size_t mid = lo + (hi - lo) / 2;
        if (f->elements[mid].offset < offset) lo = mid + 1;
        else hi = mid;
    }
    if (lo < f->elements.size() && f->elements[lo].offset == offset) return static_cast<int>(lo);
    return -1;
}

int dgn_component_count(const DgnFile *f, int index) {
    if (index < 0 || static_cast<size_t>(index) >= f->elements.size()) return 0;
    switch (f->elements[index].type) {
    case 2: case 7: case 12: case 14: case 18: case 19: case 24: case 27: case 34:
        break;
    default:
        return 0;
    }
    const DgnElementRef &h = f->elements[index];
    size_t i = static_cast<size_t>(index) + 1;
    while (i < f->elements.size() && f->elements[i].complex) ++i;
    const int run = static_cast<int>(i - static_cast<size_t>(index) - 1);
    // Where the header's word count ends exactly after one of those components, it decides
    // (a following complex element may itself carry the complex bit).
    if (h.type != 34 && h.type != 24 && h.type != 27 && h.size >= 38) {
        const uint64_t end = h.offset + 38 + 2ULL * elm_load16(f->data.data() + h.offset + 36);
        for (int k = 1; k <= run; ++k) {
            const DgnElementRef &c = f->elements[index + k];
            if (c.offset + c.size == end) return k;
        }
    }
    return run;
}

const uint8_t *dgn_element_bytes(const DgnFile *f, int index, uint32_t *size) {
    if (index < 0 || static_cast<size_t>(index) >= f->elements.size()) return nullptr;
    const DgnElementRef &r = f->elements[index];
    if (size) *size = r.size;
    return f->data.data() + r.offset;
}

bool dgn_overwrite_element(DgnFile *f, int index, const uint8_t *bytes, size_t n, std::string *err) {
    if (index < 0 || static_cast<size_t>(index) >= f->elements.size()) {
        if (err) *err = "no such element";
        return false;
    }
    DgnElementRef &r = f->elements[index];
    if (n != r.size) {
        if (err) *err = "new element size " + std::to_string(n) + " differs from the old " + std::to_string(r.size);
        return false;
    }
    if (!dgn_check_element(bytes, n, f->is3d, err)) return false;
    if (index == 0 && ((bytes[1] & 0x7F) != 9)) {
        if (err) *err = "the design file header must stay a type 9 element";
        return false;
    }
    memcpy(f->data.data() + r.offset, bytes, n);
    const uint16_t hw = elm_load16(bytes);
    r.type = static_cast<uint8_t>((hw >> 8) & 0x7F);
    r.level = static_cast<uint8_t>(hw & 0x3F);
    r.complex = (hw & 0x80) != 0;
    r.deleted = (hw & 0x8000) != 0;
    if (dgn_type_has_display_header(r.type) && n >= 30) {
        const uint16_t gg = elm_load16(bytes + 28);
        if (gg > f->max_graphic_group) f->max_graphic_group = gg;
    }
    if (index == 0) dgn_refresh_header(f);
    return true;
}

bool dgn_set_deleted(DgnFile *f, int index, bool deleted) {
    if (index <= 0 || static_cast<size_t>(index) >= f->elements.size()) return false;
    DgnElementRef &r = f->elements[index];
    uint8_t *p = f->data.data() + r.offset;
    if (deleted) p[1] |= 0x80;
    else p[1] &= 0x7F;
    r.deleted = deleted;
    return true;
}

bool dgn_append_element(DgnFile *f, const uint8_t *bytes, size_t n, uint32_t *offset, std::string *err) {
    if (!dgn_check_element(bytes, n, f->is3d, err)) return false;
    if (static_cast<size_t>(f->end_offset) + n + 2 > MAX_FILE_BYTES) {
        if (err) *err = "design file would exceed 2 GB";
        return false;
    }
    const uint32_t at = f->end_offset;
    f->data.insert(f->data.begin() + at, bytes, bytes + n);
    if (!f->has_end_marker) {
        // A file that ended without a marker gets one after the new element.
        const uint8_t marker[2] = {0xFF, 0xFF};
        f->data.insert(f->data.begin() + at + n, marker, marker + 2);
        f->has_end_marker = true;
    }
    const uint16_t hw = elm_load16(bytes);
    DgnElementRef r;
    r.offset = at;
    r.size = static_cast<uint32_t>(n);
    r.type = static_cast<uint8_t>((hw >> 8) & 0x7F);
    r.level = static_cast<uint8_t>(hw & 0x3F);
    r.complex = (hw & 0x80) != 0;
    r.deleted = (hw & 0x8000) != 0;
    f->elements.push_back(r);
    f->end_offset = at + static_cast<uint32_t>(n);
    if (dgn_type_has_display_header(r.type) && n >= 30) {
        const uint16_t gg = elm_load16(bytes + 28);
        if (gg > f->max_graphic_group) f->max_graphic_group = gg;
    }
    if (offset) *offset = at;
    return true;
}

void dgn_refresh_header(DgnFile *f) {
    if (f->data.size() >= DGN_TCB_SIZE) read_header_values(f);
}

bool dgn_save_file(const DgnFile *f, const char *path, std::string *err) {
    // Follow symbolic links: the real file is replaced, the link stays a link.
    std::string target = path;
    char resolved[PATH_MAX];
    if (realpath(path, resolved)) {
        target = resolved;
    } else if (errno == ENOENT) {
        // New file (or a dangling link): resolve the folder, keep the name.
        std::string dir = ".", base = target;
        const size_t slash = target.rfind('/');
        if (slash != std::string::npos) {
            dir = slash == 0 ? "/" : target.substr(0, slash);
            base = target.substr(slash + 1);
        }
        struct stat lst;
        if (lstat(path, &lst) == 0 && S_ISLNK(lst.st_mode)) {
            if (err) *err = std::string(path) + ": symbolic link to a missing file";
            return false;
        }
        if (!realpath(dir.c_str(), resolved)) {
            if (err) *err = std::string(path) + ": " + strerror(errno);
            return false;
        }
        target = std::string(resolved) + "/" + base;
    } else {
        if (err) *err = std::string(path) + ": " + strerror(errno);
        return false;
    }
    const size_t slash = target.rfind('/');
    const std::string dir = slash == 0 ? "/" : target.substr(0, slash);
    const std::string base = target.substr(slash + 1);

    mode_t mode = 0;
    struct stat st;
    const bool exists = stat(target.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) {
        if (err) *err = target + ": not a regular file";
        return false;
    }
    if (exists) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    std::string tmp = dir + "/." + base + ".XXXXXX";
    std::vector<char> name(tmp.begin(), tmp.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        if (err) *err = target + ": cannot create a temporary file in " + dir + ": " + strerror(errno);
        return false;
    }
    tmp = name.data();
    bool ok = fchmod(fd, mode) == 0;
    if (ok && exists) {
        // Keep the group where we may; failure here is not fatal.
        if (fchown(fd, static_cast<uid_t>(-1), st.st_gid) != 0) { /* keep default group */ }
    }
    const uint8_t *p = f->data.data();
    size_t left = f->data.size();
    while (ok && left > 0) {
        const ssize_t w = write(fd, p, left);
        if (w < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        p += w;
        left -= static_cast<size_t>(w);
    }
    int saved = errno;
    if (ok && fsync(fd) != 0) { ok = false; saved = errno; }
    if (close(fd) != 0 && ok) { ok = false; saved = errno; }
    if (ok && rename(tmp.c_str(), target.c_str()) != 0) { ok = false; saved = errno; }
    if (!ok) {
        unlink(tmp.c_str());
        if (err) *err = target + ": cannot write: " + strerror(saved);
        return false;
    }
    const int dfd = open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (dfd >= 0) {
        fsync(dfd);
        close(dfd);
    }
    return true;
}
