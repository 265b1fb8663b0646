// weight_table.cpp - reading the weighting table and weighing a location.
#include "driver/weight_table.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "driver/criteria.h"

bool weight_table_parse(const std::string &text, WeightTable *out, std::string *err) {
    WeightTable t;
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        const size_t hash = line.find('#');
        if (hash != std::string::npos) line.resize(hash);
        std::istringstream words(line);
        std::string what, list, weight, extra;
        if (!(words >> what)) continue;
        const std::string at = "line " + std::to_string(lineNo) + ": ";
        if (!(words >> list >> weight) || (words >> extra)) {
            *err = at + "expected \"level|colour|style LIST WEIGHT\"";
            return false;
        }
        CriteriaKind kind;
        unsigned char *table;
        if (what == "level") {
            kind = CRIT_LEVELS;
            table = t.level;
        } else if (what == "colour" || what == "color") {
            kind = CRIT_COLORS;
            table = t.color;
        } else if (what == "style") {
            kind = CRIT_STYLES;
            table = t.style;
        } else {
            *err = at + "unknown key '" + what + "' (level, colour or style)";
            return false;
        }
        char *end = nullptr;
        const long w = strtol(weight.c_str(), &end, 10);
        if (end == weight.c_str() || *end != '\0' || w < 0 || w > WEIGHT_MAX_RULE) {
            *err = at + "weight '" + weight + "' is not a whole number from 0 to " + std::to_string(WEIGHT_MAX_RULE);
            return false;
        }
        ValueSet values;
        std::string listErr;
        if (!parse_value_list(kind, list, &values, &listErr)) {
            // Drop the option name the list parser puts first.
            const size_t colon = listErr.find(": ");
            *err = at + (colon == std::string::npos ? listErr : listErr.substr(colon + 2));
            return false;
        }
        const CriteriaInfo *info = criteria_info(kind);
        for (int v = info->lo; v <= info->hi; ++v) {
            if (values.test(static_cast<size_t>(v)) && table[v] < w) table[v] = static_cast<unsigned char>(w);
        }
        ++t.rules;
    }
    *out = t;
    return true;
}

bool weight_table_load(const char *path, WeightTable *out, std::string *err) {
    FILE *f = fopen(path, "rb");
    if (!f) {
        *err = std::string("cannot read the weighting table ") + path;
        return false;
    }
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) {
        text.append(buf, n);
        if (text.size() > (1u << 20)) {
            fclose(f);
            *err = std::string("weighting table ") + path + " is larger than 1 MB";
            return false;
        }
    }
    fclose(f);
    std::string e;
    if (!weight_table_parse(text, out, &e)) {
        *err = std::string("weighting table ") + path + ", " + e;
        return false;
    }
    return true;
}

int weight_for(const WeightTable &t, int level, int color, int style) {
    int w = 0;
    if (level >= 0 && level < 64 && t.level[level] > w) w = t.level[level];
    if (color >= 0 && color < 256 && t.color[color] > w) w = t.color[color];
    if (style >= 0 && style < 8 && t.style[style] > w) w = t.style[style];
    return w;
}
