// File search: current folder, variable lists, default specification,
// device parts and both kinds of separators.
#include <gtest/gtest.h>

#include <string.h>

#include "connection/file_search.h"
#include "tests/startup/test_dirs.h"

namespace {

struct ParseCase {
    const char *text, *dev, *dir, *name, *ext;
};

TEST(ParseFilename, SplitsIntoDeviceDirectoryNameExtension) {
    const ParseCase cases[] = {
        {"ustation.exe", "", "", "ustation", "exe"},
        {"/opt/bin/ustation.exe", "", "/opt/bin/", "ustation", "exe"},
        {"C:\\ustation\\ustation.exe", "C", "\\ustation\\", "ustation", "exe"},
        {"/opt/bin/", "", "/opt/bin/", "", ""},
        {"/opt/bin", "", "/opt/", "bin", ""},
        {"dir.d/name", "", "dir.d/", "name", ""},  // a dot before the last component is not an extension
        {"a/b.c;ignored/x.y", "", "a/", "b", "c"},
        {"X:file.txt", "X", "", "file", "txt"},
        {"[odd]dir/name.ext", "", "", "name", "ext"},  // bracket directories are not taken
    };
    for (const ParseCase &c : cases) {
        char dev[FS_PATH_MAX] = "", dir[FS_PATH_MAX] = "", name[FS_PATH_MAX] = "",
             ext[FS_PATH_MAX] = "";
        util_parseFilename(c.text, dev, dir, name, ext);
        EXPECT_STREQ(c.dev, dev) << c.text;
        EXPECT_STREQ(c.dir, dir) << c.text;
        EXPECT_STREQ(c.name, name) << c.text;
        EXPECT_STREQ(c.ext, ext) << c.text;
    }
}

TEST(BuildString, JoinsWithTheSeparator) {
    char out[FS_PATH_MAX];
    EXPECT_STREQ("MS_EXE;MS_RSRCPATH",
                 util_buildString(out, nullptr, "MS_EXE", "MS_RSRCPATH", (const char *)nullptr));
    EXPECT_STREQ("a, b", util_buildString(out, ", ", "a", "b", (const char *)nullptr));
}

class FileSearch : public ::testing::Test {
protected:
    TempDir cwd, other;
    void SetUp() override {
        mkdir((other / "bin").c_str(), 0755);
        write_file(other / "bin/ustation.exe", "x", 0755);
        write_file(other / "bin/prog.bin", "x", 0755);
    }
    std::string find(const char *spec, const char *vars, const char *dflt, int *rc) {
        ChangeDir here(cwd.path);
        char result[FS_PATH_MAX];
        *rc = util_findFile(nullptr, result, spec, vars, dflt, 0);
        return result;
    }
};

TEST_F(FileSearch, WithoutTheVariableOnlyTheCurrentFolderIsSearched) {
    EnvSetting exe("MS_EXE", nullptr);
    int rc = 0;
    find("ustation.exe", "MS_EXE", nullptr, &rc);
    EXPECT_NE(0, rc);
    write_file(cwd / "ustation.exe", "x", 0755);
    std::string found = find("ustation.exe", "MS_EXE", nullptr, &rc);
    EXPECT_EQ(0, rc);
    EXPECT_EQ(cwd / "ustation.exe", found);
}

TEST_F(FileSearch, CurrentFolderComesBeforeTheVariablesFolder) {
    std::string dir = other / "bin/";
    EnvSetting exe("MS_EXE", dir.c_str());
    int rc = 0;
    EXPECT_EQ(other / "bin/ustation.exe", find("ustation.exe", "MS_EXE", nullptr, &rc));
    EXPECT_EQ(0, rc);
    write_file(cwd / "ustation.exe", "x", 0755);
    EXPECT_EQ(cwd / "ustation.exe", find("ustation.exe", "MS_EXE", nullptr, &rc));
}

TEST_F(FileSearch, VariableHoldingAProgramPathGivesItsFolder) {
    std::string full = other / "bin/prog.bin";
    EnvSetting exe("MS_EXE", full.c_str());
    int rc = 0;
    EXPECT_EQ(other / "bin/ustation.exe", find("ustation.exe", "MS_EXE", nullptr, &rc));
    EXPECT_EQ(0, rc);
}

TEST_F(FileSearch, FolderWithoutTrailingSlashMeansItsParent) {
    std::string dir = other / "bin";
    EnvSetting exe("MS_EXE", dir.c_str());
    int rc = 0;
    std::string last = find("ustation.exe", "MS_EXE", nullptr, &rc);
    EXPECT_NE(0, rc);
    EXPECT_EQ(other / "ustation.exe", last);
}

TEST_F(FileSearch, BackslashesSeparateFoldersToo) {
    std::string dir = other.path + "\\bin\\";
    EnvSetting exe("MS_EXE", dir.c_str());
    int rc = 0;
    EXPECT_EQ(other / "bin/ustation.exe", find("ustation.exe", "MS_EXE", nullptr, &rc));
    EXPECT_EQ(0, rc);
}

TEST_F(FileSearch, ResourceSearchTakesNameAndExtensionFromTheProgramPath) {
    std::string full = other / "bin/prog.bin";
    EnvSetting exe("MS_EXE", full.c_str());
    EnvSetting path("MS_RSRCPATH", nullptr);
    int rc = 0;
    EXPECT_EQ(full, find(nullptr, "MS_EXE;MS_RSRCPATH", "ustation.rsc", &rc));
    EXPECT_EQ(0, rc);
}

TEST_F(FileSearch, UnsetVariableNameBecomesTheName) {
    EnvSetting exe("MS_EXE", nullptr);
    EnvSetting path("MS_RSRCPATH", nullptr);
    int rc = 0;
    std::string last = find(nullptr, "MS_EXE;MS_RSRCPATH", "ustation.rsc", &rc);
    EXPECT_NE(0, rc);
    EXPECT_EQ(cwd / "MS_RSRCPATH.rsc", last);
    write_file(cwd / "MS_RSRCPATH.rsc", "x");
    EXPECT_EQ(cwd / "MS_RSRCPATH.rsc", find(nullptr, "MS_EXE;MS_RSRCPATH", "ustation.rsc", &rc));
    EXPECT_EQ(0, rc);
}

TEST_F(FileSearch, DeviceWithoutVariableIsCarriedIntoThePath) {
    EnvSetting q("Q", nullptr);
    int rc = 0;
    std::string last = find("q:file.txt", nullptr, nullptr, &rc);
    EXPECT_NE(0, rc);
    EXPECT_EQ("q:" + cwd.path + "/file.txt", last);
}

TEST_F(FileSearch, DeviceNamingAVariableSearchesItsFoldersFirst) {
    std::string dir = other / "bin/";
    EnvSetting dev("NWDEV", dir.c_str());
    write_file(cwd / "prog.bin", "x");
    int rc = 0;
    EXPECT_EQ(other / "bin/prog.bin", find("nwdev:prog.bin", nullptr, nullptr, &rc));
    EXPECT_EQ(0, rc);
}

TEST(FindExecutable, NotFoundIsMinus113) {
    TempDir empty;
    ChangeDir here(empty.path);
    EnvSetting exe("MS_EXE", nullptr);
    char result[FS_PATH_MAX];
    EXPECT_EQ(-113, externProg_findExecutable(result, "ustation.exe", "MS_EXE", nullptr));
}

int fake_lookup(char *buffer, const char *name, int size) {
    if (strcmp(name, "MS_EXE") != 0) return FS_ENV_UNSET;
    snprintf(buffer, (size_t)size, "%s", "/from/lookup/");
    return 0;
}

TEST(EnvLookup, ReplacementIsUsedUntilRestored) {
    EnvSetting exe("MS_EXE", "/from/env/");
    char buf[FS_PATH_MAX];
    util_setEnvFunc(fake_lookup);
    EXPECT_EQ(0, findfile_getenv(buf, "MS_EXE", sizeof buf));
    EXPECT_STREQ("/from/lookup/", buf);
    util_setEnvFunc(nullptr);
    EXPECT_EQ(0, findfile_getenv(buf, "MS_EXE", sizeof buf));
    EXPECT_STREQ("/from/env/", buf);
    EXPECT_EQ(0, findfile_getenv(buf, "MS_EXE", 5));
    EXPECT_STREQ("/fro", buf);
    EnvSetting none("NW_SURELY_UNSET", nullptr);
    EXPECT_EQ(0x8000, findfile_getenv(buf, "NW_SURELY_UNSET", sizeof buf));
}

}  // namespace
