/*
 * point_input.cpp - the sorted point file reader.
 *
 * The file is text: whitespace-separated signed decimal fields, each read
 * with a maximum width as scanf's "%Nd" would (a longer digit run is split
 * and its rest becomes the next field). The record layout depends on the
 * dimension and on -w:
 *     2D:  y(12) x(12) offset(8) role(1) [weight(10)]
 *     3D:  y(12) x(12) z(12) offset(8) role(1) [weight(10)]
 * Exactly maxverts records are read. A record that does not yield all its
 * fields - also one cut off by the end of the file - is a reading error:
 * the run never goes on with records it did not read.
 */
#include "engine/point_input.h"
#include "geometry/index_sort.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

/* Buffered reader over the point file. */
struct FieldReader {
    FILE *fp;
    char buf[1 << 16];
    size_t len = 0, pos = 0;
    bool eof = false;

    int peek()
    {
        if (pos == len) {
            if (eof)
                return EOF;
            len = std::fread(buf, 1, sizeof buf, fp);
            pos = 0;
            if (len == 0) {
                eof = true;
                return EOF;
            }
        }
        return (unsigned char)buf[pos];
    }
    void advance() { pos++; }

    /* Reads one field of at most `width` characters into *out; false when
     * no number can be read there. */
    bool field(int width, int64_t *out)
    {
        int c;
        while ((c = peek()) != EOF && (c == ' ' || c == '\t' || c == '\n' || c == '\r' ||
                                       c == '\v' || c == '\f'))
            advance();
        if (c == EOF)
            return false;
        int used = 0;
        bool neg = false;
        if (c == '+' || c == '-') {
            neg = c == '-';
            advance();
            used++;
        }
        int64_t v = 0;
        int digits = 0;
        while (used < width && (c = peek()) >= '0' && c <= '9') {
            if (v < ((int64_t)1 << 40))
                v = v * 10 + (c - '0');
            advance();
            used++;
            digits++;
        }
        if (digits == 0)
            return false;
        *out = neg ? -v : v;
        return true;
    }
};

} // namespace

int read_point_file(const RunOptions &opts, RunState *st)
{
    std::printf("\nReading point data\n");
    FILE *fp = std::fopen(st->ptfile, "r");
    if (fp == nullptr) {
        std::printf("\nerror opening sorted point file: %s\n", st->ptfile);
        return 5;
    }
    FieldReader *in = new FieldReader;
    in->fp = fp;
    const bool threeD = st->dimension == 3;
    const bool partners = opts.partnerChecks;
    int status = 0;
    for (int32_t i = 0; i < st->maxverts; i++) {
        int64_t y, x, z = 0, off, role, w = 0;
        bool ok = in->field(12, &y) && in->field(12, &x) && (!threeD || in->field(12, &z)) &&
                  in->field(8, &off) && in->field(1, &role) && (!opts.weights || in->field(10, &w));
        if (!ok) {
            std::printf("\nerror reading point data");
            status = 7;
            break;
        }
        st->pts[i].x = (int32_t)x;
        st->pts[i].y = (int32_t)y;
        st->pts[i].z = threeD ? (int32_t)z : 0;
        st->offset[i] = (int32_t)off;
        st->PtVal[i] = (uint8_t)role;
        st->weight[i] = (uint8_t)w;
        if (diag == 1)
            std::printf("%12d %12d %12d %8d %2d %8d\n", st->pts[i].y, st->pts[i].x, st->pts[i].z,
                        st->offset[i], (int)role, (int)w);
        if (i % 5000 == 0 && i != 0) {
            std::printf("\nInput %6d records", i);
            std::fflush(stdout); /* progress reaches a pipe at once */
        }
        if (partners) {
            st->offsetPtr[i] = i;
            st->offsetVal[i] = st->offset[i];
        }
    }
    std::fclose(fp);
    delete in;
    if (status != 0)
        return status;

    if (partners && st->maxverts > 0) {
        qsort_1(st->offsetVal, 0, st->last, st->offsetPtr);
        if (diag >= 1)
            for (int32_t j = 0; j <= st->last; j++)
                std::printf("\n  %ld : %ld @ %ld", (long)j, (long)st->offsetPtr[j], (long)st->offsetVal[j]);
    }
    std::printf("\nTotal number of records input = %d\n", st->maxverts);
    return 0;
}
