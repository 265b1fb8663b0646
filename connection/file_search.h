// Locating files by search: a file specification, the current directory, a
// list of variables whose values are directory lists, and a default
// specification. Variable values come from the process environment, or from
// a replacement lookup (the server's configuration while connected).
// Slash and backslash both separate directories; a device part ("X:") is
// carried into the path as given.
#ifndef NW_CONNECTION_FILE_SEARCH_H
#define NW_CONNECTION_FILE_SEARCH_H

// Capacity of every path, list and part buffer handled here, NUL included.
#define FS_PATH_MAX 1024

// Status of a variable lookup that found nothing.
#define FS_ENV_UNSET 0x8000
// Status of externProg_findExecutable when nothing was found.
#define FS_NOT_FOUND (-113)

typedef int (*findfile_getenv_fn)(char *buffer, const char *name, int size);

// Looks a variable up through the installed lookup (default: the environment):
// 0 with the value cut to size - 1 characters, or 0x8000 when unset.
int findfile_getenv(char *buffer, const char *name, int size);
// Installs a replacement lookup; null restores the environment lookup.
void util_setEnvFunc(findfile_getenv_fn lookup);
// The lookup through the server's configuration request (code 134).
int bsigetenv(char *buffer, const char *name, int size);

// Splits a specification into its parts. Each output (FS_PATH_MAX bytes) may
// be null and is written only for a part that is present.
void util_parseFilename(const char *text, char *device, char *directory, char *name,
                        char *extension);

// Joins the strings (up to a null one) with the separator (";" when null)
// into result (FS_PATH_MAX bytes). Returns result.
char *util_buildString(char *result, const char *separator, const char *first, ...);

// Searches for a file; 0 with its path in result (FS_PATH_MAX bytes), else
// non-zero with the last candidate tried. out must be null and flags 0.
int util_findFile(void *out, char *result, const char *spec, const char *variables,
                  const char *defaultSpec, int flags);

// 0 with the program's path in result, or -113 when not found.
int externProg_findExecutable(char *result, const char *spec, const char *variables,
                              const char *defaultSpec);

#endif
