/*
 * level_moves.cpp - puts flagged features on another level in place.
 *
 * Only the level changes: the element's first word is rewritten, a cell's
 * level mask follows its new level, and the components of a complex
 * element follow their header. Nothing is deleted or added.
 */
#include "engine/run_steps.h"
#include "engine/element_io.h"

#include <cstdio>

/* At the end of the design file a component walk has nothing more to
 * visit; this is its normal end, not a failed read. */
static const int STATUS_AT_END_OF_FILE = 1011;

static int write_level(int32_t position, uint16_t headerWord, int level)
{
    uint16_t word = (uint16_t)((headerWord & ~ELM_LEVEL_MASK) | (level & ELM_LEVEL_MASK));
    unsigned char bytes[2] = {(unsigned char)word, (unsigned char)(word >> 8)};
    int status = write_bytes(position, bytes, 2);
    if (status != 0)
        std::printf("\nerror moving feature to level %d", level);
    return status;
}

void move_linear_to_level(Run &r, int32_t position, const ReadRecord *rec, int level)
{
    (void)r;
    write_level(position, rec_header_word(rec), level);
}

/* The level mask of a cell header: the one bit of `level` among 64. */
static void write_cell_level_mask(int32_t position, int level)
{
    unsigned char mask[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    int bit = (level - 1) % 16, word = (level - 1) / 16;
    if (level >= 1 && level <= 64) {
        uint16_t v = (uint16_t)(1u << bit);
        mask[2 * word] = (unsigned char)v;
        mask[2 * word + 1] = (unsigned char)(v >> 8);
    }
    write_bytes(position + 44, mask, 8);
}

int move_point_feature(Run &r, int32_t point, int level)
{
    const RunState *st = r.st;
    int32_t position = st->offset[point];
    ReadRecord rec;
    if (read_element(position, &rec) != 0)
        return element_read_failed(r, point);
    int type = rec_type(&rec);
    if (diag >= 1)
        std::printf(" element of type = %d", type);
    write_level(position, rec_header_word(&rec), level);
    if (type == 2)
        write_cell_level_mask(position, level);
    if (type != 2 && type != 7 && type != 12)
        return 0;

    /* Walk the components: each element that follows with its complex bit
     * set belongs to the header. The stored size of an element is its
     * size as read less the words the server layout adds for its type. */
    int32_t thisOffset = position;
    for (;;) {
        int lastType = rec_type(&rec);
        int d = -elm_server_extra_words(lastType, st->dimension);
        int32_t nxtOffset = thisOffset + 2 * ((int32_t)rec_words_to_follow(&rec) + d) + 4;
        if (diag >= 1)
            std::printf("\nthisOffset=%ld   -   nxtOffset=%ld", (long)thisOffset, (long)nxtOffset);
        int status = read_element(nxtOffset, &rec);
        if (status == STATUS_AT_END_OF_FILE)
            break;
        if (status != 0) {
            std::printf("\nrddfpi error - at offset: %d", nxtOffset);
            return 66;
        }
        if (!rec_complex(&rec))
            break;
        write_level(nxtOffset, rec_header_word(&rec), level);
        thisOffset = nxtOffset;
    }
    return 0;
}
