// criteria.h - the selection criteria of a run: which elements of a design file give
// locations to the point file (levels, types, styles, weights, colours, classes).
//
// Lists use the front end's syntax: items separated by commas, an item is a number or a
// range "first-last" (first not larger than last), digits only, no blanks; characters other
// than digits at the end of the text are dropped (so "1-5," reads as "1-5").
#ifndef NW_DRIVER_CRITERIA_H
#define NW_DRIVER_CRITERIA_H

#include <bitset>
#include <string>

// One parsed list: bit v is set when value v is selected.
typedef std::bitset<256> ValueSet;

struct SelectionCriteria {
    ValueSet levels;   // 1-63
    ValueSet types;    // element types
    ValueSet styles;   // 0-7
    ValueSet weights;  // 0-31 (the default selects all, 31 included)
    ValueSet colors;   // 0-255
    ValueSet classes;  // 0-7
};

// Which list a text is for: gives the allowed range, the default and the option name.
enum CriteriaKind { CRIT_LEVELS, CRIT_TYPES, CRIT_STYLES, CRIT_WEIGHTS, CRIT_COLORS, CRIT_CLASSES, CRIT_COUNT };

struct CriteriaInfo {
    const char *option;        // "-ll", "-e", ...
    const char *noun;          // "level", "element type", ...
    int lo, hi;
    const char *default_text;  // "1-63", "3,4", ...
};
const CriteriaInfo *criteria_info(CriteriaKind kind);

// Element types the driver can select: the front end's choice (2 cells, 3 lines, 4 line
// strings, 6 shapes, 7 text nodes, 11 curves, 12 complex chains, 16 arcs, 17 texts,
// 27 B-spline curves) and 14 complex shapes and 15 ellipses.
bool criteria_type_supported(int type);

// Parses one list into *out. False with a one-line message in *err (naming the option and
// what is wrong) when the text does not parse or holds a value outside the kind's range.
bool parse_value_list(CriteriaKind kind, const std::string &text, ValueSet *out, std::string *err);

// The defaults: levels 1-63, types 3,4, styles 0-7, every weight (the list "0-30" of the front
// end, plus 31), colours 0-255, classes 0,2.
void criteria_defaults(SelectionCriteria *c);

// Whether an element with these header values is selected.
bool criteria_select(const SelectionCriteria &c, int type, int level, int style, int weight, int color,
                     int elemClass);

#endif
