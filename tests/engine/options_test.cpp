// What the option scan and validation leave in the run options record.
#include "engine/run_options.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Parsed {
    RunOptions o;
    int status;
};

// Scans and validates a command line, with the echo lines swallowed.
Parsed parse(std::vector<std::string> args)
{
    args.insert(args.begin(), "nodeweld");
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(&a[0]);
    Parsed p;
    init_run_options(&p.o);
    diag = 0;
    testing::internal::CaptureStdout();
    p.status = parse_command_line((int)argv.size(), argv.data(), &p.o);
    if (p.status == 0)
        p.status = validate_run_options(&p.o);
    testing::internal::GetCapturedStdout();
    return p;
}

TEST(RunOptions, Defaults)
{
    Parsed p = parse({"-T", "5"});
    ASSERT_EQ(p.status, 0);
    EXPECT_STREQ(p.o.dgnname, "-");
    EXPECT_DOUBLE_EQ(p.o.tolerance, 5.0);
    EXPECT_TRUE(p.o.deleteSource);
    EXPECT_TRUE(p.o.keepSymbology);
    EXPECT_FALSE(p.o.flagOnly);
    EXPECT_EQ(p.o.intVal, 2);
    EXPECT_EQ(p.o.modVal, 3);
    EXPECT_EQ(p.o.aveVal, 1);
    EXPECT_TRUE(p.o.partnerChecks);
    EXPECT_TRUE(p.o.sameElement);
    EXPECT_TRUE(p.o.whiteFlags);
    EXPECT_EQ(diag, 0);
}

TEST(RunOptions, QuestionablePointLevels)
{
    struct { const char *arg, *value; int level; float size; bool flagOnly; } t[] = {
        {"-f", "0,1", 64, 1.0f, true},
        {"-f", "-5,2", 63, 2.0f, true},
        {"-f", "70,0", 63, 1.0f, true},
        {"-f", "7,-3", 7, -3.0f, true},
        {"-fx", "7,2", 7, 2.0f, false},
    };
    for (auto &c : t) {
        Parsed p = parse({"-T", "1", c.arg, c.value});
        ASSERT_EQ(p.status, 0) << c.arg << " " << c.value;
        EXPECT_EQ(p.o.qpLevel, c.level) << c.value;
        EXPECT_FLOAT_EQ(p.o.qpSize, c.size) << c.value;
        EXPECT_EQ(p.o.flagOnly, c.flagOnly) << c.arg;
    }
}

TEST(RunOptions, DigitFieldsAndSymbology)
{
    Parsed p = parse({"-T", "1", "-NP", "12,7,2.5", "-S", "0,3,7,1"});
    ASSERT_EQ(p.status, 0);
    EXPECT_EQ(p.o.maxGroup, 12);
    EXPECT_EQ(p.o.qpLevel, 7);
    EXPECT_FLOAT_EQ(p.o.qpSize, 25.0f);
    EXPECT_FALSE(p.o.flagOnly);
    EXPECT_EQ(p.o.outStyle, 0);
    EXPECT_EQ(p.o.outWeight, 3);
    EXPECT_EQ(p.o.outColor, 7);
    EXPECT_EQ(p.o.outClass, 1);
    EXPECT_FALSE(p.o.keepSymbology);

    Parsed z = parse({"-T", "1", "-NP", "0,0,0"});
    EXPECT_TRUE(z.o.flagOnly);
    EXPECT_FLOAT_EQ(z.o.qpSize, 1.0f);
}

TEST(RunOptions, FlagOptions)
{
    Parsed p = parse({"-C", "70,0", "-D", "60,-1,9", "-PF", "64,2", "-Pf", "5,2.5"});
    ASSERT_EQ(p.status, 0);
    EXPECT_TRUE(p.o.dirFlags);
    EXPECT_EQ(p.o.dirLevel, 0);
    EXPECT_FLOAT_EQ(p.o.dirSize, 1.0f);
    EXPECT_TRUE(p.o.dangleFlags);
    EXPECT_EQ(p.o.dangleLevel, 60);
    EXPECT_FLOAT_EQ(p.o.dangleSize, 1.0f);
    EXPECT_FALSE(p.o.mendFlags);
    EXPECT_TRUE(p.o.floatFlags);
    EXPECT_EQ(p.o.floatLevel, 5);
    EXPECT_DOUBLE_EQ(p.o.floatSize, 2.5);
}

TEST(RunOptions, DuplicateModes)
{
    Parsed p = parse({"-LM", "5,2.9", "-LSM", "6,3", "-PM", "0,1", "-PSM", "8,1.2"});
    ASSERT_EQ(p.status, 0);
    EXPECT_EQ(p.o.multiLine.mode, MODE_FLAG);
    EXPECT_EQ(p.o.multiLine.level, 5);
    EXPECT_FLOAT_EQ(p.o.multiLine.size, 2.0f);
    EXPECT_EQ(p.o.singleLine.mode, MODE_MOVE);
    EXPECT_EQ(p.o.multiPoint.mode, MODE_OFF);  // level 0 does not exist
    EXPECT_TRUE(p.o.multiPoint.given);
    EXPECT_EQ(p.o.singlePoint.mode, MODE_MOVE);
    EXPECT_FLOAT_EQ(p.o.singlePoint.size, 1.0f);
}

TEST(RunOptions, OutputLevelAndSaving)
{
    Parsed noLevel = parse({"-T", "1", "-s"});
    EXPECT_TRUE(noLevel.o.deleteSource);  // -s needs -L
    Parsed withLevel = parse({"-T", "1", "-s", "-L", "12"});
    EXPECT_FALSE(withLevel.o.deleteSource);
    EXPECT_EQ(withLevel.o.outLevel, 12);
    EXPECT_TRUE(withLevel.o.outLevelGiven);
}

TEST(RunOptions, RepeatedOptionsOverride)
{
    Parsed p = parse({"-T", "1", "-T", "2.5", "-F", "a.dgn", "-F", "b.dgn", "-O", "1,2,3", "-O", "3,0,1"});
    ASSERT_EQ(p.status, 0);
    EXPECT_DOUBLE_EQ(p.o.tolerance, 2.5);
    EXPECT_STREQ(p.o.dgnname, "b.dgn");
    EXPECT_EQ(p.o.intVal, 3);
    EXPECT_EQ(p.o.modVal, 0);
    EXPECT_EQ(p.o.aveVal, 1);
}

TEST(RunOptions, SwitchesAndDebug)
{
    Parsed p = parse({"-T", "1", "-c", "-NL", "-No", "-NS", "-Nf", "15", "-P", "-w", "-z", "-XL", "-LS", "3,1"});
    ASSERT_EQ(p.status, 0);
    EXPECT_TRUE(p.o.writeCurves);
    EXPECT_FALSE(p.o.partnerChecks);
    EXPECT_FALSE(p.o.whiteFlags);
    EXPECT_FALSE(p.o.sameElement);
    EXPECT_EQ(p.o.existingFlagType, 15);
    EXPECT_TRUE(p.o.fixedPoints);
    EXPECT_TRUE(p.o.weights);
    EXPECT_TRUE(p.o.ignoreZ);
    EXPECT_TRUE(p.o.noLevelCheck);

    Parsed d = parse({"-T", "1", "-d", "40"});
    EXPECT_EQ(diag, 1);
    EXPECT_EQ(d.o.debugStart, 40);
    Parsed q = parse({"-T", "1", "-d", "40", "-Q"});
    EXPECT_EQ(diag, 2);
    EXPECT_EQ(q.o.debugStart, 0);
    diag = 0;

    Parsed fr = parse({"-T", "1", "-FR", "x", "-f", "3,1"});
    ASSERT_EQ(fr.status, 0);
    EXPECT_TRUE(fr.o.adjacent);
    EXPECT_FALSE(fr.o.partnerChecks);
}

TEST(RunOptions, UlfNameComesFromTheEnvironment)
{
    setenv("VKR_dgnname", "from_env.dgn", 1);
    Parsed p = parse({"-U", "list.ulf", "-T", "1"});
    unsetenv("VKR_dgnname");
    ASSERT_EQ(p.status, 0);
    EXPECT_STREQ(p.o.dgnname, "from_env.dgn");
}

} // namespace
