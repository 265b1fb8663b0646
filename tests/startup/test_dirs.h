// Temporary folders and files for the start-up tests.
#ifndef NW_TESTS_STARTUP_TEST_DIRS_H
#define NW_TESTS_STARTUP_TEST_DIRS_H

#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

// A fresh folder under /tmp, removed with everything in it at the end.
struct TempDir {
    std::string path;
    TempDir() {
        char tmpl[] = "/tmp/nwstartXXXXXX";
        char *p = mkdtemp(tmpl);
        path = p ? p : "";
    }
    ~TempDir() {
        if (!path.empty()) {
            std::string cmd = "rm -rf '" + path + "'";
            if (system(cmd.c_str()) != 0) fprintf(stderr, "could not remove %s\n", path.c_str());
        }
    }
    std::string operator/(const std::string &name) const { return path + "/" + name; }
};

inline void write_file(const std::string &path, const std::string &text, mode_t mode = 0644) {
    std::ofstream(path, std::ios::binary) << text;
    chmod(path.c_str(), mode);
}

inline bool copy_file(const std::string &from, const std::string &to, mode_t mode = 0644) {
    std::ifstream in(from, std::ios::binary);
    if (!in) return false;
    std::ofstream out(to, std::ios::binary);
    out << in.rdbuf();
    out.close();
    chmod(to.c_str(), mode);
    return true;
}

// Changes the current folder for the life of the object.
struct ChangeDir {
    char old[4096];
    explicit ChangeDir(const std::string &to) {
        if (!getcwd(old, sizeof old)) old[0] = '\0';
        if (chdir(to.c_str()) != 0) perror("chdir");
    }
    ~ChangeDir() {
        if (old[0] && chdir(old) != 0) perror("chdir");
    }
};

// Sets or unsets an environment variable for the life of the object.
struct EnvSetting {
    std::string name, saved;
    bool had;
    EnvSetting(const char *n, const char *value) : name(n) {
        const char *v = getenv(n);
        had = v != nullptr;
        if (v) saved = v;
        if (value)
            setenv(n, value, 1);
        else
            unsetenv(n);
    }
    ~EnvSetting() {
        if (had)
            setenv(name.c_str(), saved.c_str(), 1);
        else
            unsetenv(name.c_str());
    }
};

#endif
