// nwweight: reading the Weighting Options boxes, the table text and file.
#include "frontend/nwweight.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "frontend/nwmod.h"

namespace {

const char* const kTitle = "Nodeweld weighting";

struct RowWords {
  const char* one;     // "Level"
  const char* lower;   // "level"
  const char* many;    // "levels"
  const char* key;     // word of the table file
  int lo, hi;
};

const RowWords kRows[NW_WEIGHT_ROWS] = {
  {"Level", "level", "levels", "level", 1, 63},
  {"Color", "color", "colors", "colour", 0, 255},
  {"Style", "style", "styles", "style", 0, 7},
};

bool is_digit(char c) { return c >= '0' && c <= '9'; }

std::string trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return s.substr(b, e - b);
}

std::vector<std::string> split(const std::string& s, char sep) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t i = 0; i <= s.size(); ++i) {
    if (i < s.size() && s[i] != sep) continue;
    parts.push_back(trim(s.substr(start, i - start)));
    start = i + 1;
  }
  return parts;
}

// Position of the first character of s that is not a digit, npos when none.
size_t first_non_digit(const std::string& s) {
  for (size_t i = 0; i < s.size(); ++i)
    if (!is_digit(s[i])) return i;
  return std::string::npos;
}

struct Item {
  int lo, hi;
};

// Reads a value box into items; on a bad entry shows its message.
bool read_values(NwPrompt& p, const RowWords& w, const std::string& text,
                 std::vector<Item>* items) {
  const std::string many = w.many;
  for (const std::string& item : split(text, ',')) {
    const std::vector<std::string> ends = split(item, '-');
    bool missing = ends.size() > 2;
    for (const std::string& e : ends) missing = missing || e.empty();
    for (const std::string& e : ends) {
      const size_t bad = first_non_digit(e);
      if (bad == std::string::npos) continue;
      p.message("The character '" + nw_char_at(e, bad) + "' is not allowed in the weighting " +
                    many + ".  Please enter " + many +
                    " as numbers or ranges (like 1-5) separated by commas.",
                kTitle);
      return false;
    }
    if (missing) {
      p.message("A value is missing in the weighting " + many + " '" + text +
                    "'.  There are too many commas or dashes.  Please enter the " + many +
                    " again.",
                kTitle);
      return false;
    }
    long long v[2] = {0, 0};
    for (size_t k = 0; k < ends.size(); ++k) {
      v[k] = nw_digits_value(ends[k]);
      if (v[k] < w.lo || v[k] > w.hi) {
        p.message(std::string(w.one) + " " + nw_decimal(ends[k]) + " is an invalid " +
                      w.lower +
                      ".  Please enter weighting " + many + " from " + std::to_string(w.lo) +
                      " to " + std::to_string(w.hi) + ".",
                  kTitle);
        return false;
      }
    }
    if (ends.size() == 1) v[1] = v[0];
    if (v[0] > v[1]) {
      p.message("The range " + std::to_string(v[0]) + "-" + std::to_string(v[1]) +
                    " of the weighting " + many + " is invalid.  Please enter the lower " +
                    "value first.",
                kTitle);
      return false;
    }
    items->push_back({static_cast<int>(v[0]), static_cast<int>(v[1])});
  }
  // Two weights for one value would leave the table ambiguous.
  std::vector<bool> seen(static_cast<size_t>(w.hi) + 1, false);
  for (const Item& it : *items) {
    for (int v = it.lo; v <= it.hi; ++v) {
      if (seen[v]) {
        p.message(std::string(w.one) + " " + std::to_string(v) +
                      " is given more than once in the weighting " + many +
                      ".  Please give each value only one weight.",
                  kTitle);
        return false;
      }
      seen[v] = true;
    }
  }
  return true;
}

// Reads a weight box; on a bad entry shows its message.
bool read_weights(NwPrompt& p, const RowWords& w, const std::string& text, size_t values,
                  std::vector<int>* weights) {
  const std::string one = w.lower;
  const std::string range = "from 0 to " + std::to_string(NW_WEIGHT_MAX);
  if (trim(text).empty()) {
    p.message("Please enter a weight for the weighting " + std::string(w.many) + ".  Weights go " +
                  range + ".",
              kTitle);
    return false;
  }
  for (const std::string& item : split(text, ',')) {
    if (item.empty()) {
      p.message("A weight is missing in the " + one + " weights '" + text +
                    "'.  There are too many commas.  Please enter the " + one + " weights again.",
                kTitle);
      return false;
    }
    const size_t bad = first_non_digit(item);
    if (bad != std::string::npos) {
      p.message("The character '" + nw_char_at(item, bad) + "' is not allowed in the " + one +
                    " weights.  Please enter whole numbers " + range + " separated by commas.",
                kTitle);
      return false;
    }
    const long long v = nw_digits_value(item);
    if (v > NW_WEIGHT_MAX) {
      p.message("Weight " + nw_decimal(item) + " is an invalid weight.  Please enter " + one +
                    " weights " + range + ".",
                kTitle);
      return false;
    }
    weights->push_back(static_cast<int>(v));
  }
  if (weights->size() > values) {
    p.message("There are more " + one + " weights (" + std::to_string(weights->size()) +
                  ") than weighting " + w.many + " (" + std::to_string(values) +
                  ").  Each weight goes with the value in the same place; please remove the " +
                  "extra weights.",
              kTitle);
    return false;
  }
  return true;
}

}  // namespace

int nw_weight_read(NwPrompt& p, const std::string boxes[NW_WEIGHT_BOXES],
                   std::vector<NwWeightRule>* rules) {
  std::vector<NwWeightRule> out;
  for (int r = 0; r < NW_WEIGHT_ROWS; ++r) {
    const std::string& valueText = boxes[2 * r];
    if (trim(valueText).empty()) continue;
    std::vector<Item> items;
    if (!read_values(p, kRows[r], valueText, &items)) return 2 * r;
    std::vector<int> weights;
    if (!read_weights(p, kRows[r], boxes[2 * r + 1], items.size(), &weights)) return 2 * r + 1;
    for (size_t i = 0; i < items.size(); ++i) {
      const int wt = weights[i < weights.size() ? i : weights.size() - 1];
      out.push_back({NwWeightRow(r), items[i].lo, items[i].hi, wt});
    }
  }
  *rules = out;
  return -1;
}

std::string nw_weight_table_text(const std::vector<NwWeightRule>& rules) {
  std::string text;
  for (const NwWeightRule& r : rules) {
    if (r.row < 0 || r.row >= NW_WEIGHT_ROWS) continue;
    text += kRows[r.row].key;
    text += " " + std::to_string(r.lo);
    if (r.hi != r.lo) text += "-" + std::to_string(r.hi);
    text += " " + std::to_string(r.weight) + "\n";
  }
  return text;
}

bool nw_weight_table_write(const std::string& path, const std::string& text, std::string* err) {
  std::string tmp = path + ".XXXXXX";
  const int fd = mkstemp(&tmp[0]);
  if (fd < 0) {
    if (err) *err = std::strerror(errno);
    return false;
  }
  int e = 0;
  size_t done = 0;
  while (done < text.size() && e == 0) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) e = n < 0 ? errno : EIO;
    else done += static_cast<size_t>(n);
  }
  // mkstemp makes the file private; the table is an ordinary file of the folder.
  const mode_t mask = umask(0);
  umask(mask);
  if (e == 0 && fchmod(fd, 0666 & ~mask) != 0) e = errno;
  if (close(fd) != 0 && e == 0) e = errno;
  if (e == 0 && std::rename(tmp.c_str(), path.c_str()) != 0) e = errno;
  if (e != 0) {
    unlink(tmp.c_str());
    if (err) *err = std::strerror(e);
    return false;
  }
  return true;
}
