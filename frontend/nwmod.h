// nwmod: the list routines of the front end (ParseList, PackList), the
// messages of the six selection-criteria lists and small number helpers.
// Plain C++, no window toolkit: the windows and the tests share it.
#ifndef NW_FRONTEND_NWMOD_H
#define NW_FRONTEND_NWMOD_H

#include <string>
#include <vector>

// Result codes of ParseList.
enum {
  NW_LIST_OK = 0,
  NW_LIST_RANGE = 1,     // a value outside lo..hi
  NW_LIST_REVERSED = 2,  // a range whose first value is larger than its last
  NW_LIST_BLANK = 3,     // a blank in the list
  NW_LIST_BADCHAR = 4,   // a character that is not a digit, comma or dash
  NW_LIST_EMPTY = 5,     // nothing left to read
  NW_LIST_MISSING = 6    // a comma or dash with no digit before it
};

// Reads the list text into values[lo..hi]. Trailing non-digits are dropped
// from text itself (the caller writes it back into its box). Entry v gets the
// digits as typed when v is given alone, the plain decimal number when it lies
// in a range. values grows when it is shorter than hi + 2 entries.
int ParseList(std::string& text, std::vector<std::string>& values, int lo, int hi,
              std::string& detail);

// Packs the set entries lo..hi into a list text: runs of two or more set
// entries as first-last, lone entries alone, the entries' own texts used.
std::string PackList(const std::vector<std::string>& values, int lo, int hi);

// The selection lists and their message variants.
enum NwListKind {
  NW_LEVELS, NW_ELEMENTS, NW_STYLES, NW_WEIGHTS, NW_COLORS, NW_CLASSES,
  NW_LEVELS_DIALOG,   // wording of the Levels dialog
  NW_ELEMENTS_DIALOG  // wording of the Input Criteria dialog
};

struct NwListInfo {
  int lo, hi;
  const char* dflt;  // default list text
};
const NwListInfo& nw_list_info(NwListKind kind);

// Message text and title for a ParseList result other than 0.
void nw_list_message(NwListKind kind, int code, const std::string& detail,
                     std::string* text, std::string* title);

// True for the element types the driver can select: 2 3 4 6 7 11 12 16 17 27.
bool nw_valid_element_type(int type);

// Digit string without leading zeros ("" and "000" give "0").
std::string nw_decimal(const std::string& digits);
// Value of a digit string, saturated far above any list range.
long long nw_digits_value(const std::string& digits);
// Index of a level text in a parsed list: the value of its leading digits when
// 1..63, else 0 (entry 0 is never set, so the text never conflicts).
int nw_level_index(const std::string& text);
// The character starting at pos, with the rest of its UTF-8 sequence.
std::string nw_char_at(const std::string& text, size_t pos);

#endif
