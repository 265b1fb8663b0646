// The engine's command line through the real program: for each command
// line, every byte nodeweld writes and the process exit code.
#include "tests/support/run_program.h"

#include <gtest/gtest.h>

namespace {

const std::string BANNER =
    "\n\nRUNNING VKR_nodeweld (version 3.1) .....\n"
    "Copyright (c) 2026 the nodeweld developers. Free to use on your own design files.\n";

const std::string SHORT_USAGE =
    "\n nodeweld is run by keying in the command line:\n\n"
    "          nodeweld [ -U ulfname ] [ -L levelout ] [ -T distance(MUs) ] [-s] [-Nm]\n"
    "                 [ -S style,weight,color,class ] [ -D d_levelout,d_size(MUs) ]\n"
    "                  [ [ -F dgnfilename ]\n"
    "                  [-ll input_level(s) ] [ -lo input_color(s) ]\n"
    "                  [ -lw input_weight(s) ] [ -ls input_style(s) ]\n"
    "                  [ -lc input_class(es) ] [ -e input_element_type(s) ] ]\n";

const std::string LONG_USAGE =
    "\n nodeweld is run by keying in the command line:\n\n"
    "                nodeweld [ -U ulfname ] [ -L levelout ] [ -T distance(MUs) ] [-R] [-s]\n"
    "                        [ -S style,weight,color,class ] [ -D d_levelout,d_size(MUs) [ -w ]]\n"
    "                        [ -F dgnfilename ] [-f flag_lev,flag_size]\n"
    "                        [ -ll input_level(s) ] [ -lo input_color(s) ]\n"
    "                         [ -lw input_weight(s) ] [ -ls input_style(s) ]\n"
    "                        [ -lc input_class(es) ] [ -e input_element_type(s) ] ]\n";

const std::string MIND_READER =
    "\nYou did not specify a tolerance value with the -T flag    \n"
    "I am not a mind reader - please resubmit and specify a tolerance value\n\n";

std::string refused(const std::string &arg)
{
    return "\n Invalid command line input - argument " + arg + "\n" + LONG_USAGE;
}

std::string order(int i, int m, int a)
{
    return "\n Mending solution order:\n  Intersection value = " + std::to_string(i) +
           "\n  Modal value = " + std::to_string(m) + "\n  Average value = " + std::to_string(a) +
           "\n\n";
}

// An accepted command line goes on to the run's set-up, which here finds
// no environment from a driver and stops before connecting.
const std::string NO_DRIVER =
    "\nEnvironment variable VKR_segpid is not set - the driver must set "
    "VKR_segpid, VKR_segdim and VKR_maxverts\n";
const int ACCEPTED = 3;

struct Case {
    const char *name;
    std::vector<std::string> args;
    std::vector<std::string> env;
    std::string out;  // what follows the banner (for an accepted line: before NO_DRIVER)
    int exitCode;     // the low byte of the run's status; 0: accepted
};

const std::string LONGNAME59(59, 'a');
const std::string LONGNAME60(60, 'a');
const std::string ARG191 = "-T" + std::string(189, '1');
const std::string ARG192 = "-T" + std::string(190, '1');

std::vector<Case> cases()
{
    return {
        {"no argument", {}, {}, "\n Invalid command line input" + SHORT_USAGE, 255},
        {"tolerance alone runs", {"-F", "a.dgn", "-T", "5"}, {}, "", 0},
        {"zero tolerance", {"-F", "a.dgn", "-T", "0"}, {}, MIND_READER, 255},
        {"negative tolerance", {"-F", "a.dgn", "-T", "-2"}, {}, MIND_READER, 255},
        {"direction flags need no tolerance", {"-F", "a.dgn", "-C", "3,2"}, {}, "", 0},
        {"-LM needs no tolerance", {"-F", "a.dgn", "-LM", "5,2"}, {},
         "\n Flag multiple line locations\n", 0},
        {"-PMM echoes both lines", {"-F", "a.dgn", "-PMM", "9,2.7"}, {},
         "\n Flag Multiple Point Locations\n\n Moving Multiple Point Features to level 9\n", 0},
        {"-LSM", {"-F", "a.dgn", "-LSM", "4,1"}, {},
         "\n Flag single line locations\n\n Moving single line features to level 4\n", 0},
        {"-PS", {"-F", "a.dgn", "-PS", "4,1"}, {}, "\n Flag Single Point Locations\n", 0},
        {"-LM level out of range is switched off", {"-F", "a.dgn", "-T", "1", "-LM", "70,2"}, {},
         "\n Level 70 of -LM is outside 1..63 - option switched off\n", 0},
        {"-f level 0 prints nothing", {"-F", "a.dgn", "-T", "1", "-f", "0,1"}, {}, "", 0},
        {"-f level -5", {"-F", "a.dgn", "-T", "1", "-f", "-5,1"}, {},
         "\nlooking for conflicting/close points during this run", 0},
        {"-O 1,1,3", {"-O", "1,1,3", "-T", "1"}, {},
         order(1, 1, 3) + "\nInvalid argument values - must be unequal and between 0 and 3\n\n", 166},
        {"-O 0,0,3", {"-O", "0,0,3", "-T", "1"}, {}, order(0, 0, 3), 0},
        {"-O 5,2,1", {"-O", "5,2,1", "-T", "1"}, {}, order(0, 2, 1), 0},
        {"-O 2,3,3 stops at once", {"-O", "2,3,3", "-Nm"}, {},
         order(2, 3, 3) + "\nInvalid argument values - must be unequal and between 0 and 3\n\n", 166},
        {"-O minus refused", {"-T", "1", "-O", "-1,2,3"}, {}, refused("-O"), 255},
        {"-NP", {"-T", "1", "-NP", "12,7,2.5"}, {},
         "\n Ignore groups of more than 12 points"
         "\n Place diagnostic circles for questionable points on level 7", 0},
        {"-NP level 0", {"-T", "1", "-NP", "3,0,1"}, {}, "\n Ignore groups of more than 3 points", 0},
        {"-S minus refused", {"-T", "1", "-S", "-0,3,7,1"}, {}, refused("-S"), 255},
        {"-L 64", {"-T", "1", "-L", "64"}, {}, "invalid level specification - 64\n", 254},
        {"-L 0", {"-L", "0"}, {}, "invalid level specification - 0\n", 254},
        {"-w consumes its value", {"-T", "1", "-w", "2"}, {}, "", 0},
        {"-w last consumes nothing", {"-T", "1", "-w"}, {}, "", 0},
        {"-XL without -LM/-LS", {"-T", "1", "-XL"}, {},
         "\ninconsistenet input - nolevchk option without -LM or -LS flags\nprocess exiting", 255},
        {"-XL with -LS", {"-XL", "-LS", "2,1"}, {}, "\n Flag single line locations\n", 0},
        {"-FR without -f", {"-F", "s.dgn", "-FR", "adj", "-T", "1"}, {},
         "\n\nYou cannot mend data from s.dgn and adjacent files - you can only flag problems using "
         "the -f flag\nTry again and use the -f flag with flaglevel,flagsize\n", 245},
        {"-FR with -f", {"-F", "s.dgn", "-FR", "adj", "-T", "1", "-f", "5,1"}, {},
         "\nlooking for conflicting/close points during this run", 0},
        {"-Nm refused", {"-F", "a.dgn", "-Nm", "-T", "1"}, {}, refused("-Nm"), 255},
        {"value missing at the end", {"-F", "a.dgn", "-T"}, {}, refused("-T"), 255},
        {"-F value missing", {"-T", "1", "-F"}, {}, refused("-F"), 255},
        {"wrong exact forms", {"-Fx", "a.dgn"}, {}, refused("-Fx"), 255},
        {"-LX", {"-T", "1", "-LX", "3"}, {}, refused("-LX"), 255},
        {"-PX", {"-T", "1", "-PX"}, {}, refused("-PX"), 255},
        {"-XY", {"-T", "1", "-XY"}, {}, refused("-XY"), 255},
        {"unknown letter", {"-T", "1", "-y"}, {}, refused("-y"), 255},
        {"lone minus", {"-T", "1", "-"}, {}, refused("-"), 255},
        {"first character not examined", {"+T", "1", "/c", "xz"}, {}, "", 0},
        {"exact forms compare the whole argument", {"+T", "1", "/F", "a.dgn"}, {}, refused("/F"), 255},
        {"-f with letters is not flag-only", {"-T", "1", "-fx", "7,2"}, {},
         "\nlooking for conflicting/close points during this run", 0},
        {"selection criteria ignored",
         {"-T", "1", "-e", "3,4", "-ll", "1-5", "-lo", "0", "-lw", "1", "-ls", "0", "-lc", "0"}, {}, "", 0},
        {"criteria value missing", {"-T", "1", "-ll"}, {}, refused("-ll"), 255},
        {"-R", {"-T", "1", "-R"}, {},
         "\n\n -R flag not supported in this version.\n"
         "           Compress file within MicroStation after running Linkfuse.\n", 0},
        {"-s -P -PF -Pf", {"-T", "1", "-s", "-P", "-PF", "3,1", "-Pf", "4,1"}, {},
         "\n Save original linework\n Fix Point Locations\n\n Flag Mended Point Locations\n"
         "\nlooking for floating points during this run", 0},
        {"-PF minus refused after its line", {"-T", "1", "-PF", "-3,1"}, {},
         "\n Flag Mended Point Locations\n" + refused("-PF"), 255},
        {"-C minus refused", {"-C", "-3,2"}, {}, refused("-C"), 255},
        {"-D minus refused", {"-T", "1", "-D", "-3,2"}, {}, refused("-D"), 255},
        {"debug echoes", {"-d", "-C", "3,2", "-D", "60,0", "-f", "7,0", "-PF", "2,1.5", "-Pf", "70,1"}, {},
         "\n Identify dirctional linework: 3 2.000000 0.000000"
         "\n Identify dangling linework: 60 1.000000 0.000000"
         "\nlooking for conflicting/close points during this run"
         "\n Identify close points: 7 1.000000"
         "\n Flag Mended Point Locations\n"
         "\n Identify mended point locationss: 2 1.500000"
         "\nlooking for floating points during this run"
         "\n Identify floating points: 70 1.000000", 0},
        {"-d takes a plain value", {"-d", "12", "-T", "1"}, {}, "", 0},
        {"-Q takes no minus value", {"-Q", "-T", "1"}, {}, "", 0},
        {"-U with VKR_dgnname", {"-U", "x.ulf", "-T", "1"}, {"VKR_dgnname=sheet.dgn"}, "", 0},
        {"-U without VKR_dgnname", {"-U", "x.ulf", "-T", "1"}, {"VKR_dgnname"}, refused("-U"), 255},
        {"-U with a minus name", {"-U", "x.ulf", "-T", "1"}, {"VKR_dgnname=-x"}, refused("-U"), 255},
        {"-U value is the driver's", {"-U", "-x", "-T", "1"}, {"VKR_dgnname=a.dgn"}, "", 0},
        {"file name of 59 characters", {"-F", LONGNAME59, "-T", "1"}, {}, "", 0},
        {"file name of 60 characters is refused", {"-F", LONGNAME60, "-T", "1"}, {}, refused("-F"), 255},
        {"-U name of 60 characters is refused", {"-U", "u", "-T", "1"}, {"VKR_dgnname=" + LONGNAME60},
         refused("-U"), 255},
        {"argument of 191 characters", {ARG191, "1"}, {}, "", 0},
        {"argument of 192 characters is refused", {ARG192, "1"}, {}, refused(ARG192), 255},
    };
}

class CommandLine : public ::testing::TestWithParam<Case> {};

TEST_P(CommandLine, PrintsAndEnds)
{
    const Case &c = GetParam();
    std::vector<std::string> argv = {nw_bin("nodeweld")};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    std::vector<std::string> env = c.env;
    env.push_back("VKR_segpid");  // unset: no driver prepared this run
    ProgramResult r = run_program(argv, env);
    if (c.exitCode == 0) {
        EXPECT_EQ(r.out, BANNER + c.out + NO_DRIVER);
        EXPECT_EQ(r.exitCode, ACCEPTED);
    } else {
        EXPECT_EQ(r.out, BANNER + c.out);
        EXPECT_EQ(r.exitCode, c.exitCode);
    }
    EXPECT_EQ(r.err, "");
}

std::string case_name(const ::testing::TestParamInfo<Case> &info)
{
    std::string n;
    for (const char *p = info.param.name; *p; p++)
        n += std::isalnum((unsigned char)*p) ? *p : '_';
    return n + "_" + std::to_string(info.index);
}

INSTANTIATE_TEST_SUITE_P(Engine, CommandLine, ::testing::ValuesIn(cases()), case_name);

} // namespace
