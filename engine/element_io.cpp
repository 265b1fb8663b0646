/*
 * element_io.cpp - the engine's calls of the element operations.
 */
#include "engine/element_io.h"

#include <cstdio>
#include <cstring>

static void split(int32_t position, uint16_t *block, uint16_t *byte)
{
    ElementBlockByte bb = {0, 0};
    elm_position_to_block(position, &bb);
    *block = bb.block;
    *byte = bb.byte;
}

int read_element(int32_t position, ReadRecord *rec)
{
    uint16_t block, byte;
    if (position <= 0)
        return 934;
    split(position, &block, &byte);
    int16_t raw = 0, status = 0;
    std::memset(rec, 0, sizeof *rec);
    return rddfpi(&block, &byte, &raw, rec, &status);
}

int write_bytes(int32_t position, const void *data, int16_t length)
{
    uint16_t block, byte;
    split(position, &block, &byte);
    int16_t status = 0;
    return wtdfpi(&block, &byte, &length, data, &status);
}

int delete_at(int32_t position, uint16_t *block, uint16_t *byte)
{
    split(position, block, byte);
    int16_t flags = 0, status = 0;
    return delete_element(block, byte, &flags, &status);
}

int move_at(int32_t position, double dx, double dy, double dz)
{
    uint16_t block, byte;
    split(position, &block, &byte);
    int16_t fileWord = 0;
    return move_element(&fileWord, &block, &byte, &dx, &dy, &dz, nullptr);
}

void advance_graphic_group(const Run &r)
{
    int16_t status = 0;
    ggdfpi(&r.st->runGG, &status);
}

int place_flag(Run &r, int level, const SymbologyRecord &symb, const double axes[2],
               const NwPoint &centre, double rotation)
{
    int16_t lv = (int16_t)level, status = 0;
    if (r.st->dimension == 3) {
        static const double identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
        double c[3] = {(double)centre.x, (double)centre.y, (double)centre.z};
        eldfp3(&r.placePair, &lv, &symb, axes, c, &status, nullptr, identity);
    } else {
        double c[2] = {(double)centre.x, (double)centre.y};
        eldfpi(&r.placePair, &lv, &symb, axes, c, &rotation, &status, nullptr);
    }
    if (status != 0)
        std::printf("\nError %d placing ELLIPSE\n", status);
    advance_graphic_group(r);
    return status;
}

size_t record_length(const ReadRecord *rec)
{
    int32_t n = elm_total_bytes(rec->element, sizeof rec->element);
    return n < 0 ? sizeof rec->element : (size_t)n;
}

int rec_type(const ReadRecord *rec)
{
    int t = 0;
    elm_get_type(rec->element, sizeof rec->element, &t);
    return t;
}

int rec_level(const ReadRecord *rec)
{
    int l = 0;
    elm_get_level(rec->element, sizeof rec->element, &l);
    return l;
}

bool rec_complex(const ReadRecord *rec)
{
    bool c = false;
    elm_get_complex(rec->element, sizeof rec->element, &c);
    return c;
}

uint16_t rec_header_word(const ReadRecord *rec)
{
    uint16_t w = 0;
    elm_get_header_word(rec->element, sizeof rec->element, &w);
    return w;
}

uint16_t rec_words_to_follow(const ReadRecord *rec)
{
    uint16_t w = 0;
    elm_get_words_to_follow(rec->element, sizeof rec->element, &w);
    return w;
}

uint16_t rec_graphic_group(const ReadRecord *rec)
{
    uint16_t g = 0;
    elm_get_graphic_group(rec->element, record_length(rec), &g);
    return g;
}

int rec_class(const ReadRecord *rec)
{
    int c = 0;
    elm_get_class(rec->element, record_length(rec), &c);
    return c;
}

ElementSymbology rec_symbology(const ReadRecord *rec)
{
    ElementSymbology s = {0, 0, 0};
    elm_get_symbology(rec->element, record_length(rec), ElementLayout::Server, &s);
    return s;
}

void rec_range(const ReadRecord *rec, int32_t range[6])
{
    for (int k = 0; k < 6; k++)
        range[k] = 0;
    elm_get_range(rec->element, record_length(rec), range);
}

int rec_vertex_count(const ReadRecord *rec, int dimension)
{
    int n = elm_server_vertex_count(rec->element, record_length(rec), dimension);
    return n < 0 ? 0 : n;
}

bool rec_vertex(const ReadRecord *rec, int dimension, int index, NwPoint *out)
{
    ElementVertex v;
    if (!elm_server_vertex(rec->element, record_length(rec), dimension, index, &v))
        return false;
    out->x = v.x;
    out->y = v.y;
    out->z = dimension == 3 ? v.z : 0;
    return true;
}

SymbologyRecord make_symbology(int elclass, int style, int weight, int color)
{
    SymbologyRecord s;
    s.elclass = (int16_t)(elclass & 0xF);
    s.reserved = 0;
    s.style = (int16_t)(style & 7);
    s.weight = (int16_t)(weight < 0 ? 0 : weight > 31 ? 31 : weight);
    s.color = (int16_t)(color & 0xFF);
    return s;
}
