// criteria.cpp - parsing of the selection lists and the selection test.
#include "driver/criteria.h"

#include <cctype>

namespace {

const CriteriaInfo kInfo[CRIT_COUNT] = {
    {"-ll", "level", 1, 63, "1-63"},
    {"-e", "element type", 2, 27, "3,4"},
    {"-ls", "style", 0, 7, "0-7"},
    {"-lw", "weight", 0, 31, "0-30"},
    {"-lo", "colour", 0, 255, "0-255"},
    {"-lc", "class", 0, 7, "0,2"},
};

}  // namespace

const CriteriaInfo *criteria_info(CriteriaKind kind) {
    return kind >= 0 && kind < CRIT_COUNT ? &kInfo[kind] : nullptr;
}

bool criteria_type_supported(int type) {
    switch (type) {
    case 2: case 3: case 4: case 6: case 7: case 11: case 12: case 14: case 15: case 16: case 17: case 27:
        return true;
    default:
        return false;
    }
}

bool parse_value_list(CriteriaKind kind, const std::string &text, ValueSet *out, std::string *err) {
    std::string unused;
    if (!err) err = &unused;
    const CriteriaInfo &info = kInfo[kind];
    const std::string head = std::string(info.option) + " " + text + ": ";
    std::string t = text;
    while (!t.empty() && !isdigit(static_cast<unsigned char>(t.back()))) t.pop_back();
    if (t.empty()) {
        *err = head + "the " + info.noun + " list is empty (example: " + info.default_text + ")";
        return false;
    }
    ValueSet set;
    long value = 0;
    int digits = 0;
    long rangeStart = -1;
    for (size_t i = 0; i <= t.size(); ++i) {
        const char c = i < t.size() ? t[i] : '\0';
        if (isdigit(static_cast<unsigned char>(c))) {
            if (value < 100000) value = value * 10 + (c - '0');
            ++digits;
            continue;
        }
        if (c != ',' && c != '-' && c != '\0') {
            if (c == ' ' || c == '\t')
                *err = head + "blanks are not allowed; separate values with commas";
            else
                *err = head + "the character '" + std::string(1, c) + "' is not allowed";
            return false;
        }
        if (digits == 0) {
            *err = head + "a value is missing before '" + std::string(1, c) + "' (too many commas or dashes)";
            return false;
        }
        if (value < info.lo || value > info.hi) {
            *err = head + std::to_string(value) + " is not a valid " + info.noun + " (" + std::to_string(info.lo) +
                   "-" + std::to_string(info.hi) + ")";
            return false;
        }
        if (c == '-') {
            if (rangeStart >= 0) {
                *err = head + "a range has two dashes";
                return false;
            }
            rangeStart = value;
        } else if (rangeStart >= 0) {
            if (rangeStart > value) {
                *err = head + "the range " + std::to_string(rangeStart) + "-" + std::to_string(value) +
                       " runs backwards";
                return false;
            }
            for (long v = rangeStart; v <= value; ++v) set.set(static_cast<size_t>(v));
            rangeStart = -1;
        } else {
            set.set(static_cast<size_t>(value));
        }
        value = 0;
        digits = 0;
    }
    if (kind == CRIT_TYPES) {
        for (int v = info.lo; v <= info.hi; ++v) {
            if (set.test(static_cast<size_t>(v)) && !criteria_type_supported(v)) {
                *err = head + "element type " + std::to_string(v) +
                       " cannot be selected (types 2, 3, 4, 6, 7, 11, 12, 14, 15, 16, 17, 27)";
                return false;
            }
        }
    }
    *out = set;
    return true;
}

void criteria_defaults(SelectionCriteria *c) {
    c->levels.reset();
    for (int v = 1; v <= 63; ++v) c->levels.set(static_cast<size_t>(v));
    c->types.reset();
    c->types.set(3);
    c->types.set(4);
    c->styles.reset();
    for (int v = 0; v <= 7; ++v) c->styles.set(static_cast<size_t>(v));
    c->weights.reset();
    for (int v = 0; v <= 31; ++v) c->weights.set(static_cast<size_t>(v));
    c->colors.set();
    c->classes.reset();
    c->classes.set(0);
    c->classes.set(2);
}

bool criteria_select(const SelectionCriteria &c, int type, int level, int style, int weight, int color,
                     int elemClass) {
    auto in = [](const ValueSet &s, int v) { return v >= 0 && v < 256 && s.test(static_cast<size_t>(v)); };
    return in(c.types, type) && in(c.levels, level) && in(c.styles, style) && in(c.weights, weight) &&
           in(c.colors, color) && in(c.classes, elemClass);
}
