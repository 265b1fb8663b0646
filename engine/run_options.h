/*
 * run_options.h - the run options record of one nodeweld run.
 *
 * The command line is turned into one RunOptions record (options.cpp); after
 * validation every later step of the run reads it through a const reference
 * and nothing changes it again. The debug level `diag` and the program name
 * `taskname` are process-wide, as the connection code reads them too.
 */
#ifndef NW_ENGINE_RUN_OPTIONS_H
#define NW_ENGINE_RUN_OPTIONS_H

#include <cstdint>

#define NW_VERSION 3.1
#define NW_DGNNAME_MAX 59   /* longest design-file name the run accepts */
#define NW_ARG_MAX 191      /* longest command-line argument */

/* Feature-duplicate modes of -LM/-LS/-PM/-PS and their moving forms. */
enum { MODE_OFF = 0, MODE_FLAG = 1, MODE_MOVE = 2 };

/* One flag-and-move option (-LM/-LMM, -LS/-LSM, -PM/-PMM, -PS/-PSM). */
struct DupOption {
    bool given;      /* the option appeared on the command line */
    int16_t mode;    /* MODE_OFF, MODE_FLAG or MODE_MOVE */
    int16_t level;
    float size;      /* master units, a whole number */
};

struct RunOptions {
    char dgnname[NW_DGNNAME_MAX + 1]; /* "-" until -F or -U names one */
    double tolerance;                 /* master units */

    int16_t outLevel;                 /* 0: level of origin */
    bool outLevelGiven;
    bool deleteSource;                /* -s turns off; forced on without -L */
    bool writeCurves;                 /* -c */
    bool keepSymbology;               /* -S turns off */
    int16_t outStyle, outWeight, outColor, outClass;

    int16_t debugStart;               /* -d/-q/-Q start index */

    bool flagOnly;                    /* exact -f, or -NP with a maximum of 0 */
    int16_t qpLevel;                  /* questionable-point flag level; 64: no flags */
    float qpSize;
    int16_t maxGroup;                 /* -NP: ignore larger groups; 0 no limit */

    bool dirFlags;    int16_t dirLevel;    float dirSize;      /* -C  */
    bool dangleFlags; int16_t dangleLevel; float dangleSize;   /* -D  */
    bool floatFlags;  int16_t floatLevel;  double floatSize;   /* -Pf */
    bool mendFlags;   int16_t mendLevel;   double mendSize;    /* -PF */

    DupOption multiLine;              /* -LM,  -LMM */
    DupOption singleLine;             /* -LS,  -LSM */
    DupOption multiPoint;             /* -PM,  -PMM */
    DupOption singlePoint;            /* -PS,  -PSM */

    bool noLevelCheck;                /* -XL */
    bool fixedPoints;                 /* -P */
    bool weights;                     /* -w */
    bool ignoreZ;                     /* -z */

    int16_t intVal, modVal, aveVal;   /* solution order; 0 switches a pass off */

    bool partnerChecks;               /* -FR and -NL turn off */
    bool sameElement;                 /* -NS turns off */
    bool whiteFlags;                  /* -No turns off */
    int16_t existingFlagType;         /* -Nf */
    bool adjacent;                    /* -FR: adjacent-file data */
};

extern int16_t diag;                  /* debug level: 0 off, 1 (-d, -q), 2 (-Q) */
extern char taskname[256];            /* argument 0 of the program */

/* Sets every setting to its default. */
void init_run_options(RunOptions *opts);

/*
 * Scans argv[1..argc-1] into *opts, printing the echo lines of the options
 * it takes. Returns 0 when the scan accepted every argument, otherwise the
 * exit status of the run (after printing the failure message).
 */
int parse_command_line(int argc, char **argv, RunOptions *opts);

/* Checks the scanned options as a whole. Returns 0 or the exit status. */
int validate_run_options(RunOptions *opts);

#endif
