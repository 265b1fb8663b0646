/* distance.cpp - distance and slope between two UOR points. */
#include "geometry/geometry.h"

#include <cmath>

/* Coordinate difference in 64 bits, then as a double: exact for any two
 * 32-bit coordinates. */
static double diff(int32_t a, int32_t b)
{
    return static_cast<double>(static_cast<int64_t>(a) - static_cast<int64_t>(b));
}

double distance(const NwPoint *a, const NwPoint *b, const int16_t *dimension)
{
    double dx = diff(a->x, b->x);
    double dy = diff(a->y, b->y);
    double dz = (dimension != nullptr && *dimension == 3) ? diff(a->z, b->z) : 0.0;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

double Dslope(const NwPoint *a, const NwPoint *b)
{
    double dx = diff(a->x, b->x);
    double dy = diff(a->y, b->y);
    if (dx == 0.0)
        return NW_VERTICAL_SLOPE;
    return dy / dx;
}
