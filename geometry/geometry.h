/* geometry.h - distance, slope and line intersection on integer UOR points.
 * Also pulls in the index sort and the attribute linkage merge so the engine
 * needs a single include for the whole module. */
#ifndef NW_GEOMETRY_GEOMETRY_H
#define NW_GEOMETRY_GEOMETRY_H

#include <cstdint>

#include "geometry/point.h"
#include "geometry/attr_link.h"
#include "geometry/index_sort.h"

/* Slope returned for a line with no x extent.  intersect() treats exactly
 * this value as "vertical". */
constexpr double NW_VERTICAL_SLOPE = 99999.0;

/* Distance between a and b.  *dimension 3 includes z; anything else (or a
 * null pointer) measures in plan.  Coordinate differences are taken in 64
 * bits, so points far apart never wrap. */
double distance(const NwPoint *a, const NwPoint *b, const int16_t *dimension);

/* Slope dy/dx of the line through a and b; NW_VERTICAL_SLOPE when dx is 0. */
double Dslope(const NwPoint *a, const NwPoint *b);

/* Intersects the line P1-P2 with the line Q1-Q2 (x and y only).
 *
 * Parallel and nearly parallel lines give a negative *int_status:
 *   -1 / -2     parallel / nearly parallel, lines apart
 *   -11 / -12   ... on the same line
 *   -21 / -22   ... on nearly the same line
 * and *IP is the midpoint of the closest pair of end points.
 *
 * Crossing lines give *IP at the crossing (rounded half away from zero,
 * clamped to the 32-bit range) and a status of two digits: the units digit
 * places IP on P1-P2, the tens digit on Q1-Q2 - 0 at an end point, 1 strictly
 * inside in x and in y, 2 otherwise.
 *
 * With *debug non-zero, trace lines go to standard output. */
void intersect(const NwPoint *P1, const NwPoint *P2, const NwPoint *Q1, const NwPoint *Q2,
               NwPoint2d *IP, int16_t *int_status, const int16_t *debug);

#endif
