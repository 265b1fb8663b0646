// extract.h - the locations of the selected elements of a design file, as records of the
// engine's sorted point file.
//
// One record per location, with the element's file position as offset:
//   point features (cells 2, text nodes 7, ellipses 15, texts 17): the origin (the centre of
//     an ellipse), role 0;
//   lines 3, line strings 4: first and last vertex, roles 1 and 2; curves 11: the first and
//     last vertex the curve passes through (vertex 2 and vertex n-3), roles 1 and 2.
// Elements the engine cannot rebuild - shapes 6, complex chains 12 and shapes 14, arcs 16,
// B-spline curves 27 (and curves too short to hold a span) - are "fixed": their ends (start
// and end point; a closed element's start twice) enter as records with offset -1, which the
// engine never rewrites, and weight WEIGHT_FIXED. When a file has fixed records the point
// file carries weights (the driver then passes -w), so a group holding a fixed location is
// mended onto it: the other ends meet the fixed element and it stays as it is.
// Deleted elements and components of complex elements are skipped; a complex element is
// selected, and located, by its header.
// Locations of adjacent sheets (ULF input) enter the same way with offset -1, converted to
// the design file's UORs.
#ifndef NW_DRIVER_EXTRACT_H
#define NW_DRIVER_EXTRACT_H

#include <cstdint>
#include <string>
#include <vector>

#include "dgn/dgn_file.h"
#include "driver/criteria.h"
#include "driver/weight_table.h"

struct PointRecord {
    int32_t y, x, z;
    int32_t offset;   // element position, or -1 for a fixed or adjacent location
    uint8_t role;     // 0 point feature, 1 first vertex, 2 last vertex
    uint8_t weight;
};

// Largest element position the point file can carry (the offset field is 8 digits wide).
enum { POINT_OFFSET_MAX = 99999999 };

struct ExtractOptions {
    SelectionCriteria criteria;
    bool use_table = false;      // weights from the table
    WeightTable table;
    bool point_weight = false;   // without a table: point features weigh 1 (keeps -P's choice
                                 // of candidates when weights are on)
};

struct ExtractStats {
    long elements = 0;        // selected elements
    long fixed_elements = 0;  // of which entered as fixed locations
    long records = 0;         // records added
    long fixed_records = 0;   // records with offset -1
    long skipped = 0;         // selected but without a usable location (reported, not fatal)
};

// Adds the records of the selected elements of f. With `adjacent` every record gets offset
// -1 and its coordinates are converted from f's UORs into those of `frame` (the design file).
// False with a message when a selected element lies beyond POINT_OFFSET_MAX.
bool extract_points(const DgnFile &f, const ExtractOptions &o, const DgnFile *frame, bool adjacent,
                    std::vector<PointRecord> *out, ExtractStats *st, std::string *err);

// Sorts ascending on y, x, z, |offset| (then role and offset, so the order is total).
void sort_points(std::vector<PointRecord> *recs);

// Writes the point file: "y x offset role" (2D) or "y x z offset role" (3D), with " weight"
// when `weights` is set, one record a line. False with a message on a write error (the file
// is removed then).
bool write_point_file(const char *path, const std::vector<PointRecord> &recs, int dimension, bool weights,
                      std::string *err);

#endif
