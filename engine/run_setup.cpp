/*
 * run_setup.cpp - environment, connection, design-file units, derived sizes,
 * run header and working arrays of one run.
 */
#include "engine/run_setup.h"

#include "connection/startup.h"
#include "connection/tcb.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

void point_file_name(const char *segpid, char out[16])
{
    std::snprintf(out, 16, "sort_pts.%.5s", segpid ? segpid : "");
}

/* A whole decimal number without sign, fitting a signed 32-bit value. */
static bool parse_count(const char *text, int32_t *value)
{
    if (text == nullptr || *text == '\0')
        return false;
    long long v = 0;
    for (const char *c = text; *c; c++) {
        if (*c < '0' || *c > '9')
            return false;
        v = v * 10 + (*c - '0');
        if (v > INT32_MAX)
            return false;
    }
    *value = (int32_t)v;
    return true;
}

/* Reads VKR_segpid, VKR_segdim and VKR_maxverts; prints why and returns
 * RUN_STATUS_ENVIRONMENT when one is missing or unusable. */
static int read_environment(RunState *s)
{
    static const char *const names[3] = {"VKR_segpid", "VKR_segdim", "VKR_maxverts"};
    const char *values[3];
    for (int i = 0; i < 3; i++) {
        values[i] = std::getenv(names[i]);
        if (values[i] == nullptr || values[i][0] == '\0') {
            std::printf("\nEnvironment variable %s is not set - the driver must set "
                        "VKR_segpid, VKR_segdim and VKR_maxverts\n", names[i]);
            return RUN_STATUS_ENVIRONMENT;
        }
    }
    /* Its first five characters name a file in the current folder. */
    size_t five = std::strlen(values[0]) < 5 ? std::strlen(values[0]) : 5;
    if (std::memchr(values[0], '/', five) != nullptr) {
        std::printf("\nInvalid VKR_segpid value \"%s\" - its first five characters name "
                    "the point file and must not contain '/'\n", values[0]);
        return RUN_STATUS_ENVIRONMENT;
    }
    point_file_name(values[0], s->ptfile);

    if (std::strcmp(values[1], "2") == 0)
        s->dimension = 2;
    else if (std::strcmp(values[1], "3") == 0)
        s->dimension = 3;
    else {
        std::printf("\nInvalid VKR_segdim value \"%s\" - must be 2 or 3\n", values[1]);
        return RUN_STATUS_ENVIRONMENT;
    }
    if (!parse_count(values[2], &s->maxverts)) {
        std::printf("\nInvalid VKR_maxverts value \"%s\" - must be a whole number "
                    "of 0 or more\n", values[2]);
        return RUN_STATUS_ENVIRONMENT;
    }
    s->last = s->maxverts - 1;
    return 0;
}

/* Reads a TCB variable into a 16-word buffer; 0 or the read's status. */
/* A TCB value of one or two words (16- or 32-bit, little-endian). */
static int read_tcb_word(const char *name, uint32_t *value)
{
    uint16_t buffer[16];
    std::memset(buffer, 0, sizeof buffer);
    int16_t words = 16, status = 0;
    rdtcbasc(name, &words, buffer, &status);
    *value = (uint32_t)buffer[0] | ((uint32_t)buffer[1] << 16);
    return status;
}

static int read_tcb_value(const char *name, uint16_t *value)
{
    uint32_t v = 0;
    int status = read_tcb_word(name, &v);
    *value = (uint16_t)v;
    return status;
}

static void set_axes(double out[2], double s, double secondaryFactor)
{
    out[0] = s;
    out[1] = secondaryFactor * s;
}

void derive_sizes(const RunOptions &run, double u, RunSizes *z)
{
    z->uorPerMaster = u;
    z->tolerance = run.tolerance * u;
    set_axes(z->qpAxes, run.qpSize * u, 1.0);
    set_axes(z->dirAxes, run.dirSize * u, 1.0);
    double d = run.dangleSize * u;
    z->dangleAxes[0] = 0.667 * d;
    z->dangleAxes[1] = d;
    set_axes(z->floatAxes, run.floatSize * u, 0.8);
    set_axes(z->mendAxes, run.mendSize * u, 1.0);
    set_axes(z->multiLineAxes, run.multiLine.size * u, 0.33);
    set_axes(z->singleLineAxes, run.singleLine.size * u, 0.33);
    set_axes(z->multiPointAxes, run.multiPoint.size * u, 0.5);
    set_axes(z->singlePointAxes, run.singlePoint.size * u, 0.5);
}

int close_connection(void)
{
    int16_t word = 0;
    return dedfpi(&word);
}

/* One zero-filled array; prints the failure message with the array's name. */
static void *alloc_array(const char *name, int32_t count, size_t entry)
{
    size_t n = count > 0 ? (size_t)count : 1;
    void *p = std::calloc(n, entry);
    if (p == nullptr)
        std::printf("\nInsufficient memory when allocating %s(%d)\n", name, (int)count);
    return p;
}

static void free_arrays(RunState *a)
{
    std::free(a->pts);
    std::free(a->modpts);
    std::free(a->offset);
    std::free(a->offsetPtr);
    std::free(a->offsetVal);
    std::free(a->modif);
    std::free(a->PtVal);
    std::free(a->weight);
    a->pts = a->modpts = nullptr;
    a->offset = a->offsetPtr = a->offsetVal = nullptr;
    a->modif = a->PtVal = a->weight = nullptr;
}

static int allocate_arrays(const RunOptions &run, RunState *a)
{
    int32_t n = a->maxverts;
    bool ok = (a->pts = (NwPoint *)alloc_array("pts", n, sizeof(NwPoint))) &&
              (a->modpts = (NwPoint *)alloc_array("modpts", n, sizeof(NwPoint))) &&
              (a->offset = (int32_t *)alloc_array("offset", n, sizeof(int32_t))) &&
              (!run.partnerChecks ||
               ((a->offsetPtr = (int32_t *)alloc_array("offsetPtr", n, sizeof(int32_t))) &&
                (a->offsetVal = (int32_t *)alloc_array("offsetVal", n, sizeof(int32_t))))) &&
              (a->modif = (uint8_t *)alloc_array("modif", n, 1)) &&
              (a->PtVal = (uint8_t *)alloc_array("PtVal", n, 1)) &&
              (a->weight = (uint8_t *)alloc_array("weight", n, 1));
    if (!ok) {
        free_arrays(a);
        return RUN_STATUS_NO_MEMORY;
    }
    return 0;
}

int run_setup(const RunOptions &run, RunState *s)
{
    std::memset(s, 0, sizeof *s);
    int status = read_environment(s);
    if (status != 0)
        return status;

    std::printf("\nOpening dgnfilename %s\n", run.dgnname);
    std::fflush(stdout);
    int16_t zero1 = 0, zero6 = 0, zero8 = 0, openMode = 0, translation = 1, openStatus = 0;
    indfpi(&zero1, run.dgnname, &openMode, nullptr, &translation, &zero6, &openStatus, &zero8);
    if (openStatus != 0) {
        std::printf("\nError opening design file %s", run.dgnname);
        return RUN_STATUS_OPEN_FAILED;
    }
    std::printf("\n%s has been opened\n", run.dgnname);

    if ((status = read_tcb_value("GRAFIC", &s->grafic)) != 0) {
        std::printf("\n*** tcb read error %d on GRAFIC ***", status);
        return RUN_STATUS_TCB_GRAFIC;
    }
    s->runGG = 3u | ((uint32_t)s->grafic << 16);
    if (diag >= 1)
        std::printf("\n\nGRAFIC=%d\n\n", (int)s->grafic);
    /* The units are 32-bit in the TCB: a sheet with more than 65535
     * sub-units per master unit (or UORs per sub-unit) keeps its scale. */
    if ((status = read_tcb_word("EU.MU", &s->submas)) != 0) {
        std::printf("\n*** tcb read error %d ***", status);
        return RUN_STATUS_TCB_MU;
    }
    if ((status = read_tcb_word("EU.UOR", &s->uorsub)) != 0) {
        std::printf("\n*** tcb read error %d ***", status);
        return RUN_STATUS_TCB_GRAFIC;
    }
    if (diag >= 1)
        std::printf("\nuorsub=%u submas=%u", (unsigned)s->uorsub, (unsigned)s->submas);

    derive_sizes(run, (double)((uint64_t)s->uorsub * s->submas), &s->sizes);
    if (diag >= 1) {
        std::printf("\nDistance Tolerance(uors): %.2f", s->sizes.tolerance);
        std::printf("\nDangle Size(uors): %.2f", s->sizes.dangleAxes[0]);
        std::printf("\nLimit size(uors): %.2f", s->sizes.qpAxes[0]);
    }
    if (run.outLevel > 0)
        std::printf("\nInput dgnfile: %s\nOutput level: %d\nDistance(UORs): %.0f\n",
                    run.dgnname, (int)run.outLevel, s->sizes.tolerance);
    else
        std::printf("\nInput dgnfile: %s\nOutput level: level of origin\nDistance(UORs): %.0f\n",
                    run.dgnname, s->sizes.tolerance);
    if (diag >= 1)
        std::printf("\nmaxverts=%d", (int)s->maxverts);

    status = allocate_arrays(run, s);
    if (status != 0) {
        close_connection();
        return status;
    }
    return 0;
}
