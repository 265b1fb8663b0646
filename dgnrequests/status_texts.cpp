// The status message table and the routines that turn a status word into a
// line of text ("ERROR (<status>): <text>").
#include "dgnrequests/status_texts.h"

#include <cstdio>

const ErrMsg errmsgs[] = {
    {900, "Nonexistent request"},
    {901, "Invalid graphic group number"},
    {902, "Invalid graphic group code"},
    {903, "GG descriptor > 743 words"},
    {904, "Too few vertices"},
    {905, "Too many vertices"},
    {906, "ECMPLX before BCMPLX"},
    {908, "ECMPLX Illegal element code"},
    {909, "Can't find TCB variable"},
    {911, "File read"},
    {912, "File write"},
    {913, "EDFILL - 1"},
    {914, "EDFILL - 2"},
    {915, "EDFILL - 3"},
    {916, "EDFILL - 4"},
    {917, "3D file, 2D subroutine"},
    {918, "2D file, 3D subroutine"},
    {920, "Illegal terminal number"},
    {921, "Maximum attr linkage"},
    {922, "Second attr linkage"},
    {924, "MicroStation Terminated"},
    {925, "Communication"},
    {926, "Indfpi initialization"},
    {927, "Move request error"},
    {928, "dedfpi"},
    {929, "TCB mapping"},
    {930, "Radix 50 conversion"},
    {931, "Cell library open"},
    {932, "Font Library open"},
    {933, "Element off dgn plane"},
    {934, "Invalid element"},
    {936, "Scanner not loaded"},
    {938, "No cell lib attached"},
    {939, "Cell not found"},
    {940, "Cell nest > 4"},
    {941, "Invalid cell"},
    {942, "Text string too long"},
    {943, "Too many strings in node"},
    {944, "Invalid complex component"},
    {945, "Unclosed complex shape"},
    {948, "Unable to open design file"},
    {949, "Unable to open cell library"},
    {952, "Cant find or read ustation.rsc"},
    {953, "No design file open"},
    {954, "Invalid cell name"},
    {955, "Invalid cell type"},
    {956, "Cell already exists"},
    {957, "3D dgn, 2D file"},
    {958, "Scan error in bldcel"},
    {959, "Path lost to dgn file"},
    {960, "Design file disk is full"},
    {961, "Invalid ustation.rsc file"},
    {962, "No graphics handler loaded"},
    {963, "No input handler loaded"},
    {964, "Invalid output field"},
    {967, "Invalid reference file operation"},
    {970, "Reference file not used"},
    {971, "Out of reference clipping points"},
    {972, "Block operation buffer too large"},
    {973, "Shared memory not open"},
    {974, "Bad File Slot"},
    {975, "Maximum number of shared memory"},
    {976, "Attempt to delete complex element"},
    {977, "Illegal reference file operation"},
    {978, "Insufficient memory"},
    {980, "Text size exceeds maximum"},
    {981, "Bad resource file ustation.rsc"},
    {982, "Could not exec MicroStation"},
    {983, "Timed out waiting for MicroStation"},
    {984, "No fence for fence patterning"},
    {985, "Invalid pattern spacing (zero)"},
    {986, "Attempt to pattern hole"},
    {987, "Invalid type for patterning"},
    {988, "Nonplanar pattern element"},
    {989, "No elements in hilite"},
    {990, "Must initialize dynamics first"},
    {991, "No tutorial active"},
    {992, "User has dynamics off"},
    {993, "No application message queue"},
    {994, "No message queue to database server"},
    {995, "Invalid raster format"},
    {996, "Must call start_raster"},
    {998, "No asynch event pending"},
    {999, "Unexpected asynch event type"},
    {1000, "No asynch event handler"},
    {1001, "Invalid dimension specification"},
    {1002, "Bad screen number"},
    {1003, "Bad format specifiedr"},
    {1004, "Invalid input queue element"},
    {1005, "Command table not found"},
    {1006, "Invalid command table format"},
    {1007, "In asynch handler"},
    {1008, "Cell scale too large"},
    {1009, "Cell size too large"},
    {1010, "Element is not a cell header"},
    {1011, "At end of file"},
    {1012, "File is read-only"},
    {1013, "Can't write element at given position"},
    {1014, "Number of poles must be >= the order"},
    {0, nullptr},
};

static_assert(sizeof(errmsgs) / sizeof(errmsgs[0]) == ERRMSG_ROWS + 1,
              "status table: 99 rows and the end row");

const char *errmsg_text(int status)
{
    if (status == 0)
        return nullptr;
    for (const ErrMsg *row = errmsgs; row->code != 0; ++row) {
        if (row->code == status)
            return row->text;
    }
    return nullptr;
}

void get_error(char *text, const int16_t *statusWord)
{
    if (text == nullptr)
        return;
    text[0] = '\0';
    if (statusWord == nullptr || *statusWord == 0)
        return;
    const int status = *statusWord;
    const char *msg = errmsg_text(status);
    // snprintf bounds the line to the buffer whatever the text.
    std::snprintf(text, ERRMSG_TEXT_BYTES, "ERROR (%d): %s", status, msg != nullptr ? msg : "Unknown");
}

void mcsl_error(const int16_t *statusWord)
{
    char text[ERRMSG_TEXT_BYTES];
    get_error(text, statusWord);
    std::printf("%s\n", text);
}

void error(const int16_t *statusWord)
{
    mcsl_error(statusWord);
}
