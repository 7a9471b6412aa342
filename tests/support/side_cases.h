// Triangles whose side of x = 0 is decided by double rounding: the x of
// their three points, in the order the triangle lists them. Shared by every
// build that runs the side test, so that each runs exactly these cases.
#ifndef TESTS_SUPPORT_SIDE_CASES_H
#define TESTS_SUPPORT_SIDE_CASES_H

#include <math.h>

struct side_case
{
    const char *name;
    double x[3];
    int positive; // 1: the centroid is on the positive side
};

static const side_case side_cases[] = {
    {"centroid on the plane", {-1.0, 1.0, 0.0}, 0},
    {"negative zero", {-0.0, 0.0, 0.0}, 0},
    {"1 lost in the first sum", {1e16, 1.0, -1e16}, 0},
    {"large first two cancel", {-1e16, 1e16, 1.0}, 1},
    {"NaN", {NAN, 0.0, 0.0}, 0},
    {"NaN last", {1.0, 1.0, NAN}, 0},
    {"opposite infinities", {INFINITY, -INFINITY, 0.0}, 0},
    {"first sum overflows", {1e308, 1e308, -1.0}, 1},
    {"smallest subnormal", {0x1p-1074, 0.0, 0.0}, 1},
    {"negative smallest subnormal", {-0x1p-1074, 0.0, 0.0}, 0},
};

#endif
