/*
 * field_readers.cpp - integer, real and digit readers for option fields.
 */
#include "engine/field_readers.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

/* Copies field n of value into out (empty when the value has fewer fields). */
static std::string field_text(const char *value, int n)
{
    const char *p = value;
    for (int i = 0; i < n; i++) {
        p = std::strchr(p, ',');
        if (p == nullptr)
            return std::string();
        p++;
    }
    const char *end = std::strchr(p, ',');
    return end ? std::string(p, end - p) : std::string(p);
}

int field_int(const char *value, int n)
{
    std::string f = field_text(value, n);
    errno = 0;
    long v = std::strtol(f.c_str(), nullptr, 10);
    if (v > INT_MAX)
        return INT_MAX;
    if (v < INT_MIN)
        return INT_MIN;
    return (int)v;
}

double field_real(const char *value, int n)
{
    std::string f = field_text(value, n);
    return std::strtod(f.c_str(), nullptr);
}

int field_digits(const char *value, int n)
{
    std::string f = field_text(value, n);
    long long v = 0;
    for (char c : f) {
        if (c < '0' || c > '9')
            continue;
        v = v * 10 + (c - '0');
        if (v > INT_MAX)
            return INT_MAX;
    }
    return (int)v;
}
