/*
 * options.cpp - turns nodeweld's command line into the run options record.
 *
 * Each argument is chosen by its second character (the first is never
 * looked at); some options then insist on an exact spelling. An option with
 * a value takes the next argument. An argument that is not accepted ends
 * the run with the long usage text and status -1. Failures here happen
 * before the design file is opened, so nothing needs closing.
 */
#include "engine/run_options.h"
#include "engine/field_readers.h"
#include "engine/usage.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

int16_t diag = 0;
char taskname[256] = "";

void init_run_options(RunOptions *o)
{
    std::memset(o, 0, sizeof *o);
    std::strcpy(o->dgnname, "-");
    o->deleteSource = true;
    o->keepSymbology = true;
    o->intVal = 2;
    o->modVal = 3;
    o->aveVal = 1;
    o->partnerChecks = true;
    o->sameElement = true;
    o->whiteFlags = true;
}

/* Outcome of handling one argument. */
enum ArgResult { ARG_ACCEPTED, ARG_REFUSED, ARG_EXIT };

struct Scan {
    int argc;
    char **argv;
    int i;              /* index of the option argument being handled */
    int exitStatus;     /* set with ARG_EXIT */
};

/* The value of the current option: the next argument, or null at the end. */
static const char *take_value(Scan *s)
{
    if (s->i + 1 >= s->argc)
        return nullptr;
    s->i++;
    return s->argv[s->i];
}

/* The next argument when there is one and it does not begin with a minus. */
static const char *take_optional_value(Scan *s)
{
    if (s->i + 1 >= s->argc || s->argv[s->i + 1][0] == '-')
        return nullptr;
    s->i++;
    return s->argv[s->i];
}

static bool in_level_range(int level) { return level >= 1 && level <= 63; }

static bool set_dgnname(RunOptions *o, const char *name)
{
    if (std::strlen(name) > NW_DGNNAME_MAX)
        return false;
    std::strcpy(o->dgnname, name);
    return true;
}

/* -LM/-LMM, -LS/-LSM, -PM/-PMM, -PS/-PSM. A level outside 1..63 would send
 * features to a level that does not exist, so such an option is switched
 * off, as -PF and -Pf switch themselves off. */
static ArgResult dup_option(Scan *s, DupOption *d, int mode, const char *flagText,
                            const char *moveText, const char *name)
{
    const char *v = take_value(s);
    if (v == nullptr)
        return ARG_REFUSED;
    int level = field_int(v, 0);
    d->given = true;
    d->level = (int16_t)level;
    d->size = (float)std::trunc(field_real(v, 1));
    if (!in_level_range(level)) {
        d->mode = MODE_OFF;
        std::printf("\n Level %d of %s is outside 1..63 - option switched off\n", level, name);
        return ARG_ACCEPTED;
    }
    d->mode = (int16_t)mode;
    std::printf("%s", flagText);
    if (mode == MODE_MOVE)
        std::printf(moveText, level);
    return ARG_ACCEPTED;
}

static ArgResult option_C(Scan *s, RunOptions *o)
{
    const char *v = take_value(s);
    if (v == nullptr || v[0] == '-')
        return ARG_REFUSED;
    int level = field_int(v, 0);
    double size = field_real(v, 1);
    double extra = field_real(v, 2);
    o->dirFlags = true;
    o->dirLevel = (int16_t)(in_level_range(level) ? level : 0);
    o->dirSize = (float)(size <= 0 ? 1.0 : size);
    if (diag >= 1)
        std::printf("\n Identify dirctional linework: %d %f %f", o->dirLevel, (double)o->dirSize, extra);
    return ARG_ACCEPTED;
}

static ArgResult option_D(Scan *s, RunOptions *o)
{
    const char *v = take_value(s);
    if (v == nullptr || v[0] == '-')
        return ARG_REFUSED;
    int level = field_int(v, 0);
    double size = field_real(v, 1);
    double extra = field_real(v, 2); /* read and not used */
    o->dangleFlags = true;
    o->dangleLevel = (int16_t)(in_level_range(level) ? level : 0);
    o->dangleSize = (float)(size <= 0 ? 1.0 : size);
    if (diag >= 1)
        std::printf("\n Identify dangling linework: %d %f %f", o->dangleLevel, (double)o->dangleSize, extra);
    return ARG_ACCEPTED;
}

static ArgResult option_F(Scan *s, RunOptions *o, const char *arg)
{
    if (std::strcmp(arg, "-F") == 0) {
        const char *v = take_value(s);
        if (v == nullptr || !set_dgnname(o, v))
            return ARG_REFUSED;
        return ARG_ACCEPTED;
    }
    if (std::strcmp(arg, "-FR") == 0) {
        if (take_value(s) == nullptr)
            return ARG_REFUSED;
        o->adjacent = true;
        o->partnerChecks = false;
        return ARG_ACCEPTED;
    }
    return ARG_REFUSED;
}

static ArgResult option_f(Scan *s, RunOptions *o, const char *arg)
{
    const char *v = take_value(s);
    if (v == nullptr)
        return ARG_REFUSED;
    int level = field_int(v, 0);
    double size = field_real(v, 1);
    if (level < 0 || level > 63)
        level = 63;
    else if (level == 0)
        level = 64;
    if (size == 0)
        size = 1.0;
    o->qpLevel = (int16_t)level;
    o->qpSize = (float)size;
    if (std::strcmp(arg, "-f") == 0)
        o->flagOnly = true;
    if (level != 64)
        std::printf("\nlooking for conflicting/close points during this run");
    if (diag >= 1)
        std::printf("\n Identify close points: %d %f", o->qpLevel, (double)o->qpSize);
    return ARG_ACCEPTED;
}

static ArgResult option_L(Scan *s, RunOptions *o, const char *arg)
{
    if (std::strcmp(arg, "-L") == 0) {
        const char *v = take_value(s);
        if (v == nullptr)
            return ARG_REFUSED;
        int level = field_int(v, 0);
        if (!in_level_range(level)) {
            std::printf("invalid level specification - %d\n", level);
            s->exitStatus = -2;
            return ARG_EXIT;
        }
        o->outLevel = (int16_t)level;
        o->outLevelGiven = true;
        return ARG_ACCEPTED;
    }
    if (std::strcmp(arg, "-LM") == 0 || std::strcmp(arg, "-LMM") == 0)
        return dup_option(s, &o->multiLine, arg[3] ? MODE_MOVE : MODE_FLAG,
                          "\n Flag multiple line locations\n",
                          "\n Moving multiple line features to level %d\n", arg);
    if (std::strcmp(arg, "-LS") == 0 || std::strcmp(arg, "-LSM") == 0)
        return dup_option(s, &o->singleLine, arg[3] ? MODE_MOVE : MODE_FLAG,
                          "\n Flag single line locations\n",
                          "\n Moving single line features to level %d\n", arg);
    return ARG_REFUSED;
}

static ArgResult option_N(Scan *s, RunOptions *o, const char *arg)
{
    switch (arg[2]) {
    case 'P': {
        const char *v = take_value(s);
        if (v == nullptr)
            return ARG_REFUSED;
        int max = field_digits(v, 0);
        int level = field_digits(v, 1);
        int size = field_digits(v, 2);
        o->maxGroup = (int16_t)max;
        if (max == 0)
            o->flagOnly = true;
        o->qpLevel = (int16_t)level;
        o->qpSize = size == 0 ? 1.0f : (float)size;
        std::printf("\n Ignore groups of more than %d points", o->maxGroup);
        if (o->qpLevel != 0)
            std::printf("\n Place diagnostic circles for questionable points on level %d", o->qpLevel);
        return ARG_ACCEPTED;
    }
    case 'f': {
        const char *v = take_value(s);
        if (v == nullptr)
            return ARG_REFUSED;
        o->existingFlagType = (int16_t)field_int(v, 0);
        return ARG_ACCEPTED;
    }
    case 'L':
        o->partnerChecks = false;
        return ARG_ACCEPTED;
    case 'o':
        o->whiteFlags = false;
        return ARG_ACCEPTED;
    case 'S':
        o->sameElement = false;
        return ARG_ACCEPTED;
    default:
        return ARG_REFUSED;
    }
}

static int clamp_order(int v) { return (v < 0 || v > 3) ? 0 : v; }

static ArgResult option_O(Scan *s, RunOptions *o)
{
    const char *v = take_value(s);
    if (v == nullptr || v[0] == '-')
        return ARG_REFUSED;
    o->intVal = (int16_t)clamp_order(field_int(v, 0));
    o->modVal = (int16_t)clamp_order(field_int(v, 1));
    o->aveVal = (int16_t)clamp_order(field_int(v, 2));
    std::printf("\n Mending solution order:\n  Intersection value = %d\n  Modal value = %d\n"
                "  Average value = %d\n\n", o->intVal, o->modVal, o->aveVal);
    if ((o->intVal > 0 && (o->intVal == o->modVal || o->intVal == o->aveVal)) ||
        (o->modVal > 0 && o->modVal == o->aveVal)) {
        std::printf("\nInvalid argument values - must be unequal and between 0 and 3\n\n");
        s->exitStatus = -90;
        return ARG_EXIT;
    }
    return ARG_ACCEPTED;
}

static ArgResult option_P(Scan *s, RunOptions *o, const char *arg)
{
    if (std::strcmp(arg, "-P") == 0) {
        o->fixedPoints = true;
        std::printf("\n Fix Point Locations\n");
        return ARG_ACCEPTED;
    }
    if (std::strcmp(arg, "-PF") == 0) {
        std::printf("\n Flag Mended Point Locations\n");
        const char *v = take_value(s);
        if (v == nullptr || v[0] == '-')
            return ARG_REFUSED;
        int level = field_int(v, 0);
        o->mendFlags = in_level_range(level);
        o->mendLevel = (int16_t)level;
        o->mendSize = field_real(v, 1);
        if (diag >= 1)
            std::printf("\n Identify mended point locationss: %d %f", o->mendLevel, o->mendSize);
        return ARG_ACCEPTED;
    }
    if (std::strcmp(arg, "-Pf") == 0) {
        std::printf("\nlooking for floating points during this run");
        const char *v = take_value(s);
        if (v == nullptr)
            return ARG_REFUSED;
        int level = field_int(v, 0);
        o->floatFlags = in_level_range(level);
        o->floatLevel = (int16_t)level;
        o->floatSize = field_real(v, 1);
        if (diag >= 1)
            std::printf("\n Identify floating points: %d %f", o->floatLevel, o->floatSize);
        return ARG_ACCEPTED;
    }
    if (std::strcmp(arg, "-PM") == 0 || std::strcmp(arg, "-PMM") == 0)
        return dup_option(s, &o->multiPoint, arg[3] ? MODE_MOVE : MODE_FLAG,
                          "\n Flag Multiple Point Locations\n",
                          "\n Moving Multiple Point Features to level %d\n", arg);
    if (std::strcmp(arg, "-PS") == 0 || std::strcmp(arg, "-PSM") == 0)
        return dup_option(s, &o->singlePoint, arg[3] ? MODE_MOVE : MODE_FLAG,
                          "\n Flag Single Point Locations\n",
                          "\n Moving Single Point Features to level %d\n", arg);
    return ARG_REFUSED;
}

static ArgResult option_S(Scan *s, RunOptions *o)
{
    const char *v = take_value(s);
    if (v == nullptr || v[0] == '-')
        return ARG_REFUSED;
    o->outStyle = (int16_t)field_digits(v, 0);
    o->outWeight = (int16_t)field_digits(v, 1);
    o->outColor = (int16_t)field_digits(v, 2);
    o->outClass = (int16_t)field_digits(v, 3);
    o->keepSymbology = false;
    return ARG_ACCEPTED;
}

static ArgResult option_U(Scan *s, RunOptions *o)
{
    if (take_value(s) == nullptr) /* the ULF name itself is the driver's */
        return ARG_REFUSED;
    const char *name = std::getenv("VKR_dgnname");
    if (name == nullptr || name[0] == '-' || !set_dgnname(o, name))
        return ARG_REFUSED;
    return ARG_ACCEPTED;
}

/* Options whose value is read and ignored. */
static ArgResult ignored_value(Scan *s)
{
    return take_value(s) ? ARG_ACCEPTED : ARG_REFUSED;
}

static ArgResult handle_argument(Scan *s, RunOptions *o, const char *arg)
{
    switch (arg[0] ? arg[1] : '\0') {
    case 'c': o->writeCurves = true; return ARG_ACCEPTED;
    case 'C': return option_C(s, o);
    case 'd':
    case 'q':
        diag = 1;
        if (const char *v = take_optional_value(s))
            o->debugStart = (int16_t)field_int(v, 0);
        return ARG_ACCEPTED;
    case 'Q':
        diag = 2;
        o->debugStart = 0;
        if (const char *v = take_optional_value(s))
            o->debugStart = (int16_t)field_int(v, 0);
        return ARG_ACCEPTED;
    case 'D': return option_D(s, o);
    case 'E':
    case 'e':
    case 'l':
    case 'I':
    case 'u': return ignored_value(s);
    case 'F': return option_F(s, o, arg);
    case 'f': return option_f(s, o, arg);
    case 'i':
    case 'k': return ARG_ACCEPTED;
    case 'L': return option_L(s, o, arg);
    case 'N': return option_N(s, o, arg);
    case 'O': return option_O(s, o);
    case 'P': return option_P(s, o, arg);
    case 'R':
        std::printf("\n\n -R flag not supported in this version.\n"
                    "           Compress file within MicroStation after running Linkfuse.\n");
        return ARG_ACCEPTED;
    case 's':
        o->deleteSource = false;
        std::printf("\n Save original linework");
        return ARG_ACCEPTED;
    case 'S': return option_S(s, o);
    case 'T': {
        const char *v = take_value(s);
        if (v == nullptr)
            return ARG_REFUSED;
        o->tolerance = field_real(v, 0);
        return ARG_ACCEPTED;
    }
    case 'U': return option_U(s, o);
    case 'w':
        /* The weights themselves come with the point file; a value that
         * follows is taken and ignored. */
        o->weights = true;
        take_optional_value(s);
        return ARG_ACCEPTED;
    case 'X':
        if (std::strcmp(arg, "-XL") != 0)
            return ARG_REFUSED;
        o->noLevelCheck = true;
        return ARG_ACCEPTED;
    case 'z': o->ignoreZ = true; return ARG_ACCEPTED;
    default: return ARG_REFUSED;
    }
}

int parse_command_line(int argc, char **argv, RunOptions *o)
{
    if (argc < 2) {
        std::printf("\n Invalid command line input");
        print_short_usage();
        return -1;
    }
    Scan s = {argc, argv, 1, 0};
    for (; s.i < argc; s.i++) {
        const char *option = argv[s.i];
        /* A 192-byte work buffer holds an argument of at most 191
         * characters; a longer one is refused rather than cut. */
        ArgResult r = ARG_REFUSED;
        if (std::strlen(option) <= NW_ARG_MAX) {
            char arg[NW_ARG_MAX + 1];
            std::strcpy(arg, option);
            r = handle_argument(&s, o, arg);
        }
        if (r == ARG_EXIT)
            return s.exitStatus;
        if (r == ARG_REFUSED) {
            std::printf("\n Invalid command line input - argument %s\n", option);
            print_long_usage();
            return -1;
        }
    }
    return 0;
}

int validate_run_options(RunOptions *o)
{
    if (!o->outLevelGiven)
        o->deleteSource = true;

    bool lineDup = o->multiLine.given || o->singleLine.given;
    bool anyDup = lineDup || o->multiPoint.given || o->singlePoint.given;

    if (o->tolerance <= 0 && !anyDup && !o->dirFlags) {
        std::printf("\nYou did not specify a tolerance value with the -T flag    \n"
                    "I am not a mind reader - please resubmit and specify a tolerance value\n\n");
        return -1;
    }
    if (o->adjacent && !o->flagOnly && !anyDup && !o->dirFlags) {
        std::printf("\n\nYou cannot mend data from %s and adjacent files - you can only flag "
                    "problems using the -f flag", o->dgnname);
        std::printf("\nTry again and use the -f flag with flaglevel,flagsize\n");
        return -11;
    }
    if (o->noLevelCheck && !lineDup) {
        std::printf("\ninconsistenet input - nolevchk option without -LM or -LS flags\nprocess exiting");
        return -1;
    }
    return 0;
}
