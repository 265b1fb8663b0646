// nwmod: ParseList, PackList and the criteria-list messages.
#include "frontend/nwmod.h"

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

struct ListWords {
  const char* title;      // message box title
  const char* title6;     // title of the missing-value message
  const char* one;        // "Level"
  const char* oneLower;   // "level"
  const char* many;       // "levels"
  const char* manyUpper;  // "Levels"
  const char* separate;   // what result 3 asks to separate with commas
  const char* many6;      // plural at the end of the missing-value message
  bool blankBeforeQuote6; // "your input '" or "your input'"
};

const ListWords kWords[] = {
  {"Nodeweld levels", "Nodeweld levels", "Level", "level", "levels", "Levels",
   "level numbers", "levels", true},
  {"Nodeweld element types", "Nodeweld elements", "Element type", "element type",
   "element types", "Element types", "element types", "elements", true},
  {"Nodeweld styles", "Nodeweld styles", "Style", "style", "styles", "Styles",
   "styles", "styles", true},
  {"Nodeweld weights", "Nodeweld weights", "Weight", "weight", "weights", "Weights",
   "weights", "weights", true},
  {"Nodeweld colors", "Nodeweld colors", "Color", "color", "colors", "Colors",
   "colors", "colors", true},
  {"Nodeweld classes", "Nodeweld classes", "Class", "class", "classes", "Classes",
   "classes", "classes", true},
  {"Linkfuse levels", "Linkfuse levels", "Level", "level", "levels", "Levels",
   "level numbers", "levels", false},
  {"Nodeweld element types", "Nodeweld element types", "Element type", "element type",
   "element types", "Element types", "element type numbers", "element types", false},
};

const NwListInfo kInfo[] = {
  {1, 63, "1-63"}, {2, 27, "3,4"}, {0, 7, "0-7"}, {0, 30, "0-30"},
  {0, 255, "0-255"}, {0, 7, "0,2"}, {1, 63, "1-63"}, {2, 27, "3,4"},
};

}  // namespace

const NwListInfo& nw_list_info(NwListKind kind) { return kInfo[kind]; }

std::string nw_decimal(const std::string& digits) {
  size_t i = 0;
  while (i + 1 < digits.size() && digits[i] == '0') ++i;
  return digits.empty() ? std::string("0") : digits.substr(i);
}

long long nw_digits_value(const std::string& digits) {
  const long long cap = 1000000000000LL;
  long long v = 0;
  for (char c : digits) {
    if (!is_digit(c)) break;
    v = v * 10 + (c - '0');
    if (v > cap) v = cap;
  }
  return v;
}

int nw_level_index(const std::string& text) {
  long long v = nw_digits_value(text);
  return (v >= 1 && v <= 63) ? static_cast<int>(v) : 0;
}

std::string nw_char_at(const std::string& text, size_t pos) {
  if (pos >= text.size()) return std::string();
  size_t end = pos + 1;
  if (static_cast<unsigned char>(text[pos]) >= 0xC0)
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
  return text.substr(pos, end - pos);
}

bool nw_valid_element_type(int t) {
  switch (t) {
    case 2: case 3: case 4: case 6: case 7: case 11: case 12: case 16: case 17: case 27:
      return true;
    default:
      return false;
  }
}

int ParseList(std::string& text, std::vector<std::string>& values, int lo, int hi,
              std::string& detail) {
  detail.clear();
  if (lo < 0) lo = 0;
  if (hi < lo) hi = lo;
  if (values.size() < static_cast<size_t>(hi) + 2) values.resize(static_cast<size_t>(hi) + 2);
  for (int i = lo; i <= hi; ++i) values[i].clear();

  while (!text.empty() && !is_digit(text.back())) text.pop_back();
  if (text.empty()) return NW_LIST_EMPTY;

  std::string digits;
  size_t count = 0;
  bool haveStart = false;
  long long start = 0;
  for (size_t pos = 0; pos <= text.size(); ++pos) {
    const bool end = pos == text.size();
    const char c = end ? '\0' : text[pos];
    if (!end && is_digit(c)) {
      digits += c;
      ++count;
      continue;
    }
    if (!end && c != ',' && c != '-') {
      if (c == ' ') {
        detail = " ";
        return NW_LIST_BLANK;
      }
      detail = nw_char_at(text, pos);
      return NW_LIST_BADCHAR;
    }
    if (count == 0) {
      detail = text.substr(0, pos + 1);
      return NW_LIST_MISSING;
    }
    const long long v = nw_digits_value(digits);
    if (v > hi || v < lo) {
      detail = nw_decimal(digits);
      return NW_LIST_RANGE;
    }
    if (end || c == ',') {
      if (haveStart && start > v) {
        detail = std::to_string(start) + "-" + std::to_string(v);
        return NW_LIST_REVERSED;
      }
      if (!haveStart) {
        values[v] = digits;
      } else {
        for (long long i = start; i <= v; ++i) values[i] = std::to_string(i);
        haveStart = false;
      }
    } else {  // a dash: the item is the start of a range
      haveStart = true;
      start = v;
    }
    digits.clear();
    count = 0;
  }
  return NW_LIST_OK;
}

std::string PackList(const std::vector<std::string>& values, int lo, int hi) {
  auto set = [&](int i) {
    return i >= lo && i <= hi && i >= 0 && static_cast<size_t>(i) < values.size() &&
           !values[i].empty();
  };
  std::string out;
  int run = -1;
  for (int i = lo; i <= hi + 1; ++i) {
    if (!set(i)) {
      if (run >= 0) {
        out += "," + values[run] + "-" + values[i - 1];
        run = -1;
      }
    } else if (run < 0) {
      if (set(i + 1))
        run = i;
      else
        out += "," + values[i];
    }
  }
  if (!out.empty()) out.erase(0, 1);
  return out;
}

void nw_list_message(NwListKind kind, int code, const std::string& detail,
                     std::string* text, std::string* title) {
  const ListWords& w = kWords[kind];
  const std::string again = std::string("Please enter the ") + w.many + " again.";
  std::string t;
  switch (code) {
    case NW_LIST_RANGE:
      t = std::string(w.one) + " " + detail + " is an invalid " + w.oneLower + ".  " + again;
      break;
    case NW_LIST_REVERSED:
      t = std::string("'") + w.manyUpper + " " + detail + "' is invalid.  " + again;
      break;
    case NW_LIST_BLANK:
      t = std::string("Spaces are not allowed in ") + w.oneLower +
          " input.  Instead, use commas to separate " + w.separate + ".  " + again;
      break;
    case NW_LIST_BADCHAR:
      t = "The character " + detail + " is an invalid character in the " + w.many +
          " text box.  " + again;
      break;
    case NW_LIST_EMPTY:
      t = std::string("Please enter a value for the input ") + w.many + ".  The default is " +
          w.many + ": " + kInfo[kind].dflt + ".";
      break;
    default:
      t = std::string("A value is missing.  There are too many commas or dashes in your input") +
          (w.blankBeforeQuote6 ? " '" : "'") + detail + "'.  Please enter the " + w.many6 +
          " again.";
      break;
  }
  if (text) *text = t;
  if (title) *title = code == NW_LIST_MISSING ? w.title6 : w.title;
}
