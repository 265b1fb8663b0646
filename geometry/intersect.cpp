/* intersect.cpp - intersection of two lines given by two points each, with a
 * status telling parallel lines apart and placing the crossing on both
 * segments. */
#include "geometry/geometry.h"

#include <cstdio>

/* Half away from zero, clamped to the 32-bit range (nearly parallel lines
 * can cross far outside it). */
static int32_t round_uor(double v)
{
    if (v != v)
        return 0;
    if (v >= 0.0) {
        double r = v + 0.5;
        if (r >= 2147483647.0)
            return INT32_MAX;
        return static_cast<int32_t>(r);
    }
    double r = v - 0.5;
    if (r <= -2147483648.0)
        return INT32_MIN;
    return static_cast<int32_t>(r);
}

/* 0.999 < a / b < 1.001, b non-zero. */
static bool nearly_equal(double a, double b)
{
    if (b == 0.0)
        return false;
    double ratio = a / b;
    return ratio > 0.999 && ratio < 1.001;
}

/* v strictly between a and b, in either order. */
static bool strictly_between(int32_t v, int32_t a, int32_t b)
{
    return a < b ? (a < v && v < b) : (b < v && v < a);
}

static bool same_plan(const NwPoint2d *p, const NwPoint *q)
{
    return p->x == q->x && p->y == q->y;
}

/* 0 when p is an end of a-b, 1 when strictly inside it in x and in y,
 * 2 otherwise. */
static int position_on(const NwPoint2d *p, const NwPoint *a, const NwPoint *b)
{
    if (same_plan(p, a) || same_plan(p, b))
        return 0;
    if (strictly_between(p->x, a->x, b->x) && strictly_between(p->y, a->y, b->y))
        return 1;
    return 2;
}

static void trace_result(const int16_t *debug, int16_t status, double tx, double ty,
                         const NwPoint2d *IP)
{
    if (debug != nullptr && *debug != 0)
        std::printf("\nint_status=%d\nt.x=%lf t.y=%lf\ni.x=%ld i.y=%ld", status, tx, ty,
                    static_cast<long>(IP->x), static_cast<long>(IP->y));
}

void intersect(const NwPoint *P1, const NwPoint *P2, const NwPoint *Q1, const NwPoint *Q2,
               NwPoint2d *IP, int16_t *int_status, const int16_t *debug)
{
    bool trace = debug != nullptr && *debug != 0;
    int16_t status = 0;

    double sl_1 = Dslope(P1, P2);
    double sl_2 = Dslope(Q1, Q2);
    if (trace)
        std::printf("\nsl_1=%lf - sl_2=%lf", sl_1, sl_2);

    bool vertical_1 = sl_1 == NW_VERTICAL_SLOPE;
    bool vertical_2 = sl_2 == NW_VERTICAL_SLOPE;
    double a_1 = vertical_1 ? 0.0 : P1->y - P1->x * sl_1;
    double a_2 = vertical_2 ? 0.0 : Q1->y - Q1->x * sl_2;
    if (trace)
        std::printf("\na_1=%lf - a_2=%lf", a_1, a_2);

    if (sl_1 == sl_2)
        status = -1;
    else if (nearly_equal(sl_1, sl_2))
        status = -2;

    if (status < 0) {
        /* Two vertical lines both have intercept 0; their x positions tell
         * whether they are the same line. */
        double c_1 = a_1, c_2 = a_2;
        if (vertical_1 && vertical_2) {
            c_1 = P1->x;
            c_2 = Q1->x;
        }
        if (c_1 == c_2)
            status -= 10;
        else if (nearly_equal(c_1, c_2))
            status -= 20;

        /* Midpoint of the closest pair of end points; a later pair wins
         * only when strictly closer. */
        const NwPoint *pairs[4][2] = {{P1, Q1}, {P1, Q2}, {P2, Q1}, {P2, Q2}};
        const int16_t plan = 2;
        int best = 0;
        double best_d = distance(pairs[0][0], pairs[0][1], &plan);
        for (int k = 1; k < 4; k++) {
            double d = distance(pairs[k][0], pairs[k][1], &plan);
            if (d < best_d) {
                best_d = d;
                best = k;
            }
        }
        const NwPoint *a = pairs[best][0];
        const NwPoint *b = pairs[best][1];
        double tx = a->x / 2.0 + b->x / 2.0;
        double ty = a->y / 2.0 + b->y / 2.0;
        IP->x = round_uor(tx);
        IP->y = round_uor(ty);
        *int_status = status;
        trace_result(debug, status, tx, ty, IP);
        return;
    }

    double tx, ty;
    if (vertical_1) {
        tx = P1->x;
        ty = tx * sl_2 + a_2;
        IP->x = P1->x;
        IP->y = round_uor(ty);
    } else if (vertical_2) {
        tx = Q1->x;
        ty = tx * sl_1 + a_1;
        IP->x = Q1->x;
        IP->y = round_uor(ty);
    } else {
        tx = (a_1 - a_2) / (sl_2 - sl_1);
        ty = sl_1 * tx + a_1;
        IP->x = round_uor(tx);
        IP->y = round_uor(ty);
    }

    status = static_cast<int16_t>(position_on(IP, P1, P2) + 10 * position_on(IP, Q1, Q2));
    *int_status = status;
    trace_result(debug, status, tx, ty, IP);
}
