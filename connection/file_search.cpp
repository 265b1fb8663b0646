// File search over the current directory, variable lists and directory lists.
#include "connection/file_search.h"

#include <ctype.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "dgnrequests/request_exchange.h"

// ---- variable lookup ---------------------------------------------------------

static int env_lookup(char *buffer, const char *name, int size) {
    const char *v = name ? getenv(name) : nullptr;
    if (!v) return FS_ENV_UNSET;
    if (buffer && size > 0) snprintf(buffer, (size_t)size, "%s", v);
    return 0;
}

static findfile_getenv_fn getenvP = env_lookup;

int findfile_getenv(char *buffer, const char *name, int size) {
    if (buffer && size > 0) buffer[0] = '\0';
    return getenvP(buffer, name, size);
}

void util_setEnvFunc(findfile_getenv_fn lookup) { getenvP = lookup ? lookup : env_lookup; }

int bsigetenv(char *buffer, const char *name, int size) {
    unsigned char request[REQ_HEADER_BYTES + 130];
    memset(request, 0, sizeof request);
    req_put32(request + REQ_OFF_LENGTH, 130);
    req_put32(request + REQ_OFF_CODE, 134);
    if (name) snprintf((char *)request + 16, 128, "%s", name);
    req_put16(request + 144, (uint16_t)(size > 0 ? (size > 0x7FFF ? 0x7FFF : size) : 0));
    unsigned char *reply = (unsigned char *)calloc(1, REPLY_DEFAULT_CAPACITY);
    if (!reply) {
        if (buffer && size > 0) buffer[0] = '\0';
        return setstat(nullptr, 978);
    }
    int status = send_crc(request, reply, REPLY_DEFAULT_CAPACITY, 0);
    if (buffer && size > 0) {
        buffer[0] = '\0';
        if (status == 0) {
            // The value ends at its zero byte, or at the end of the reply buffer.
            size_t avail = REPLY_DEFAULT_CAPACITY - REPLY_OFF_DATA;
            const char *value = (const char *)reply + REPLY_OFF_DATA;
            size_t n = strnlen(value, avail);
            if (n > (size_t)size - 1) n = (size_t)size - 1;
            memcpy(buffer, value, n);
            buffer[n] = '\0';
        }
    }
    free(reply);
    return status;
}

// ---- specifications ------------------------------------------------------------

struct fs_parts {
    char dev[FS_PATH_MAX], dir[FS_PATH_MAX], name[FS_PATH_MAX], ext[FS_PATH_MAX];
    bool hasDev, hasDir, hasName, hasExt;
};

static bool is_dir_sep(char c) { return c == '\\' || c == '/' || c == ']'; }

static void copy_part(char *out, const char *from, size_t n) {
    if (n >= FS_PATH_MAX) n = FS_PATH_MAX - 1;
    memcpy(out, from, n);
    out[n] = '\0';
}

static void split_spec(const char *text, fs_parts *p) {
    p->hasDev = p->hasDir = p->hasName = p->hasExt = false;
    p->dev[0] = p->dir[0] = p->name[0] = p->ext[0] = '\0';
    if (!text) return;
    char s[FS_PATH_MAX];
    size_t len = strcspn(text, ";");
    copy_part(s, text, len);
    const char *rest = s;
    const char *colon = strchr(s, ':');
    if (colon) {
        if (colon > s) {
            copy_part(p->dev, s, (size_t)(colon - s));
            p->hasDev = true;
        }
        rest = colon + 1;
    }
    const char *lastSep = nullptr;
    for (const char *c = rest; *c; c++)
        if (is_dir_sep(*c)) lastSep = c;
    const char *component = rest;
    if (lastSep) {
        size_t n = (size_t)(lastSep - rest) + 1;
        copy_part(p->dir, rest, n);
        // A directory in bracket notation is not taken.
        p->hasDir = memchr(rest, '[', n) == nullptr;
        if (!p->hasDir) p->dir[0] = '\0';
        component = lastSep + 1;
    }
    const char *dot = strrchr(component, '.');
    size_t nameLen = dot ? (size_t)(dot - component) : strlen(component);
    if (nameLen > 0) {
        copy_part(p->name, component, nameLen);
        p->hasName = true;
    }
    if (dot && dot[1]) {
        copy_part(p->ext, dot + 1, strlen(dot + 1));
        p->hasExt = true;
    }
}

void util_parseFilename(const char *text, char *device, char *directory, char *name,
                        char *extension) {
    fs_parts *p = (fs_parts *)malloc(sizeof *p);
    if (!p) return;
    split_spec(text, p);
    if (device && p->hasDev) strcpy(device, p->dev);
    if (directory && p->hasDir) strcpy(directory, p->dir);
    if (name && p->hasName) strcpy(name, p->name);
    if (extension && p->hasExt) strcpy(extension, p->ext);
    free(p);
}

char *util_buildString(char *result, const char *separator, const char *first, ...) {
    if (!result) return result;
    const char *sep = separator ? separator : ";";
    size_t used = 0;
    result[0] = '\0';
    va_list ap;
    va_start(ap, first);
    for (const char *s = first; s; s = va_arg(ap, const char *)) {
        int n = snprintf(result + used, FS_PATH_MAX - used, "%s%s", used ? sep : "", s);
        if (n < 0 || (size_t)n >= FS_PATH_MAX - used) {
            used = FS_PATH_MAX - 1;
            break;
        }
        used += (size_t)n;
    }
    va_end(ap);
    return result;
}

// ---- the search --------------------------------------------------------------------

struct fs_search {
    fs_parts spec, dflt, elem, cwd;
    char *result;
};

static void append(char *out, size_t *used, const char *s) {
    int n = snprintf(out + *used, FS_PATH_MAX - *used, "%s", s);
    if (n > 0) *used += (size_t)n;
    if (*used >= FS_PATH_MAX) *used = FS_PATH_MAX - 1;
}

// Builds the candidate for one directory-list element and tests it.
static bool try_candidate(fs_search *s, const char *element) {
    split_spec(element, &s->elem);
    const fs_parts *sp = &s->spec, *el = &s->elem, *df = &s->dflt;
#define PICK(field, has) (sp->has ? sp->field : el->has ? el->field : df->has ? df->field : nullptr)
    const char *dev = PICK(dev, hasDev);
    const char *dir = PICK(dir, hasDir);
    const char *name = PICK(name, hasName);
    const char *ext = PICK(ext, hasExt);
#undef PICK
    char *out = s->result;
    size_t used = 0;
    out[0] = '\0';
    if (!name && !ext) return false;
    if (dev) {
        append(out, &used, dev);
        append(out, &used, ":");
    }
    if (dir && (dir[0] == '\\' || dir[0] == '/')) {
        append(out, &used, dir);
    } else {
        append(out, &used, s->cwd.dir);
        if (dir) append(out, &used, dir);
    }
    if (name) append(out, &used, name);
    if (ext) {
        append(out, &used, ".");
        append(out, &used, ext);
    }
    for (char *c = out; *c; c++)
        if (*c == '\\') *c = '/';
    return access(out, F_OK) == 0;
}

// Tries each element of a ';'-separated directory list in order.
static bool try_dir_list(fs_search *s, const char *list) {
    const char *p = list;
    while (p && *p) {
        size_t n = strcspn(p, ";");
        if (n > 0) {
            char element[FS_PATH_MAX];
            copy_part(element, p, n);
            if (try_candidate(s, element)) return true;
        }
        p += n;
        if (*p == ';') p++;
    }
    return false;
}

// Tries each variable of a list; a variable without a value is itself the list.
static bool try_var_list(fs_search *s, const char *vars) {
    const char *p = vars;
    while (p && *p) {
        size_t n = strcspn(p, ";");
        if (n > 0) {
            char element[FS_PATH_MAX], value[FS_PATH_MAX];
            copy_part(element, p, n);
            int st = findfile_getenv(value, element, sizeof value);
            if (try_dir_list(s, (st == 0 && value[0]) ? value : element)) return true;
        }
        p += n;
        if (*p == ';') p++;
    }
    return false;
}

int util_findFile(void *out, char *result, const char *spec, const char *variables,
                  const char *defaultSpec, int flags) {
    (void)out;
    (void)flags;
    if (!result) return 1;
    result[0] = '\0';
    fs_search *s = (fs_search *)malloc(sizeof *s);
    if (!s) return 1;
    s->result = result;

    char cwd[FS_PATH_MAX];
    if (!getcwd(cwd, sizeof cwd - 1)) cwd[0] = '\0';
    size_t len = strlen(cwd);
    if (len == 0 || (cwd[len - 1] != '/' && cwd[len - 1] != '\\')) {
        cwd[len] = '/';
        cwd[len + 1] = '\0';
    }
    split_spec(cwd, &s->cwd);
    if (!s->cwd.hasDir) s->cwd.dir[0] = '\0';
    split_spec(defaultSpec, &s->dflt);

    char vars[FS_PATH_MAX];
    snprintf(vars, sizeof vars, "%s", variables ? variables : "");
    const char *useSpec = spec;
    bool reverse = false;
    const char *colon = spec ? strchr(spec, ':') : nullptr;
    if (colon && colon > spec) {
        char var[FS_PATH_MAX];
        copy_part(var, spec, (size_t)(colon - spec));
        for (char *c = var; *c; c++) *c = (char)toupper((unsigned char)*c);
        char value[FS_PATH_MAX];
        if (findfile_getenv(value, var, sizeof value) == 0) {
            char joined[FS_PATH_MAX];
            if (vars[0])
                util_buildString(joined, nullptr, var, vars, (const char *)nullptr);
            else
                snprintf(joined, sizeof joined, "%s", var);
            snprintf(vars, sizeof vars, "%s", joined);
            useSpec = colon + 1;
            reverse = true;
        }
    }
    split_spec(useSpec, &s->spec);

    bool found;
    if (!reverse)
        found = try_candidate(s, cwd) || try_var_list(s, vars);
    else
        found = try_var_list(s, vars) || try_candidate(s, cwd);
    free(s);
    return found ? 0 : 1;
}

int externProg_findExecutable(char *result, const char *spec, const char *variables,
                              const char *defaultSpec) {
    return util_findFile(nullptr, result, spec, variables, defaultSpec, 0) == 0 ? 0 : FS_NOT_FOUND;
}
