/* point.h - the integer point types shared by the geometry helpers and the
 * engine: coordinates in units of resolution (UORs), signed 32-bit. */
#ifndef NW_GEOMETRY_POINT_H
#define NW_GEOMETRY_POINT_H

#include <cstdint>

/* A location of the point arrays (pts, modpts): x, y and z in UORs. */
struct NwPoint {
    int32_t x;
    int32_t y;
    int32_t z;
};

/* A plan location, as produced by the line intersection. */
struct NwPoint2d {
    int32_t x;
    int32_t y;
};

#endif
