// nwdialogs: selection logic of the Levels, Input Criteria, Input Symbology
// and Output Options dialogs.
#include "frontend/nwdialogs.h"

#include "frontend/nwchecks.h"
#include "frontend/nwmod.h"

namespace {

void refuse_list(NwForm& f, NwPrompt& p, NwBox box, NwListKind kind, int code,
                 const std::string& detail) {
  std::string text, title;
  nw_list_message(kind, code, detail, &text, &title);
  p.message(text, title);
  f.setBoxText(box, nw_list_info(kind).dflt);
  f.focusBox(box);
}

int parse_box(NwForm& f, NwBox box, NwListKind kind, std::vector<std::string>& values,
              std::string& detail) {
  const NwListInfo& li = nw_list_info(kind);
  const std::string before = f.boxText(box);
  std::string text = before;
  const int r = ParseList(text, values, li.lo, li.hi, detail);
  if (text != before) f.setBoxText(box, text);
  return r;
}

const int kEleTypes[NW_ELE_TYPES] = {2, 3, 4, 6, 7, 11, 12, 16, 17, 27};
const char* const kEleCaptions[NW_ELE_TYPES] = {
  "2 - Cells", "3 - Lines", "4 - Linestring", "6 - Shape", "7 - Textnode", "11 - Curve",
  "12 - Connected string", "16 - Arc", "17 - Text piece ", "27 - Bspline"};

struct SymList {
  NwBox box;
  NwListKind kind;
  int hi;            // values 0..hi
  bool allItem;      // item 0 stands for the whole range
  const char* need;  // at-least-one message lead
};
const SymList kSym[NW_SYM_LISTS] = {
  {BOX_Sty, NW_STYLES, 7, true, "Nodeweld requires at least one input style.  The default are styles: "},
  {BOX_Wt, NW_WEIGHTS, 30, true, "Nodeweld requires at least one input weight.  The default are weights: "},
  {BOX_Co, NW_COLORS, 255, true, "Nodeweld requires at least one input color.  The default are colors: "},
  {BOX_Cl, NW_CLASSES, 7, false, "Nodeweld requires at least one input class.  The default are classes: "},
};

}  // namespace

bool nw_levels_activate(NwForm& f, NwPrompt& p, NwState& s) {
  std::vector<std::string> values(257);
  std::string detail;
  const int r = parse_box(f, BOX_Lvl, NW_LEVELS_DIALOG, values, detail);
  if (r != NW_LIST_OK) {
    refuse_list(f, p, BOX_Lvl, NW_LEVELS_DIALOG, r, detail);
    return false;
  }
  for (int n = 1; n <= 63; ++n) s.SelLevels[n] = values[n].empty() ? "" : std::to_string(n);
  return true;
}

void nw_levels_toggle(NwState& s, int n) {
  if (n < 1 || n > 63) return;
  s.SelLevels[n] = s.SelLevels[n].empty() ? std::to_string(n) : std::string();
}

void nw_levels_select_all(NwState& s) {
  for (int n = 1; n <= 63; ++n) s.SelLevels[n] = std::to_string(n);
}

void nw_levels_clear(NwState& s) {
  for (int n = 1; n <= 63; ++n) s.SelLevels[n].clear();
}

NwApplyResult nw_levels_apply(NwForm& f, NwPrompt& p, NwState& s) {
  // The output level only matters while "Put modified linework on new level"
  // is ticked.
  if (f.ticked(TICK_OutLvl) && !nw_ask_output_level(p, s, s.SelLevels)) return NW_APPLY_STAY;
  const std::string packed = PackList(s.SelLevels, 1, 63);
  if (packed.empty()) {
    p.message(std::string("Linkfuse requires at least one input level.  The default is levels: ") +
                  "1-63" + "." + "  All levels will be selected now.",
              NW_APP_TITLE);
    nw_levels_select_all(s);
    return NW_APPLY_STAY;
  }
  f.setBoxText(BOX_Lvl, packed);
  return NW_APPLY_DONE;
}

int nw_ele_type(int index) { return (index >= 0 && index < NW_ELE_TYPES) ? kEleTypes[index] : 0; }

const char* nw_ele_caption(int index) {
  return (index >= 0 && index < NW_ELE_TYPES) ? kEleCaptions[index] : "";
}

bool nw_ele_activate(NwForm& f, NwPrompt& p, bool ticks[NW_ELE_TYPES]) {
  std::vector<std::string> values(257);
  std::string detail;
  const int r = parse_box(f, BOX_Ele, NW_ELEMENTS_DIALOG, values, detail);
  if (r != NW_LIST_OK) {
    refuse_list(f, p, BOX_Ele, NW_ELEMENTS_DIALOG, r, detail);
    return false;
  }
  for (int i = 0; i < NW_ELE_TYPES; ++i) ticks[i] = false;
  for (int v = 2; v <= 27; ++v) {
    if (values[v].empty()) continue;
    int slot = -1;
    for (int i = 0; i < NW_ELE_TYPES; ++i)
      if (kEleTypes[i] == v) slot = i;
    if (slot < 0) {
      refuse_list(f, p, BOX_Ele, NW_ELEMENTS_DIALOG, NW_LIST_RANGE, values[v]);
      return false;
    }
    ticks[slot] = true;
  }
  return true;
}

void WriteEleList(NwForm& f, NwState& s, const bool ticks[NW_ELE_TYPES]) {
  std::string text;
  for (int i = 0; i < NW_ELE_TYPES; ++i) {
    s.EleSlots[i + 1] = ticks[i] ? std::to_string(kEleTypes[i]) : std::string();
    if (s.EleSlots[i + 1].empty()) continue;
    if (!text.empty()) text += ",";
    text += s.EleSlots[i + 1];
  }
  f.setBoxText(BOX_Ele, text.empty() ? std::string("3,4") : text);
}

int nw_sym_items(int list) {
  if (list < 0 || list >= NW_SYM_LISTS) return 0;
  return kSym[list].hi + 1 + (kSym[list].allItem ? 1 : 0);
}

std::string nw_sym_item_text(int list, int item) {
  if (item < 0 || item >= nw_sym_items(list)) return std::string();
  if (!kSym[list].allItem) return std::to_string(item);
  if (item == 0) return "0 - " + std::to_string(kSym[list].hi);
  return std::to_string(item - 1);
}

std::vector<bool> nw_sym_default_selection(int list) {
  std::vector<bool> sel(nw_sym_items(list), false);
  if (sel.empty()) return sel;
  sel[0] = true;
  if (!kSym[list].allItem) sel[2] = true;
  return sel;
}

int nw_sym_activate(NwForm& f, NwPrompt& p, std::vector<bool> sel[NW_SYM_LISTS]) {
  for (int l = 0; l < NW_SYM_LISTS; ++l) {
    const SymList& d = kSym[l];
    std::vector<std::string> values(256);
    std::string detail;
    const int r = parse_box(f, d.box, d.kind, values, detail);
    if (r != NW_LIST_OK) {
      refuse_list(f, p, d.box, d.kind, r, detail);
      return l;
    }
    const std::string text = f.boxText(d.box);
    std::vector<bool> s(nw_sym_items(l), false);
    if (text == nw_list_info(d.kind).dflt) {
      s = nw_sym_default_selection(l);
    } else {
      for (int k = 0; k <= d.hi; ++k)
        if (!values[k].empty()) s[d.allItem ? k + 1 : k] = true;
    }
    sel[l] = s;
  }
  return NW_SYM_LISTS;
}

int nw_sym_apply(NwForm& f, NwPrompt& p, std::vector<bool> sel[NW_SYM_LISTS]) {
  for (int l = 0; l < NW_SYM_LISTS; ++l) {
    const SymList& d = kSym[l];
    const std::vector<bool>& s = sel[l];
    auto picked = [&](int item) { return item < static_cast<int>(s.size()) && s[item]; };
    std::string text;
    if (d.allItem && picked(0)) {
      text = nw_list_info(d.kind).dflt;
    } else {
      std::vector<std::string> values(257);
      for (int k = 0; k <= d.hi; ++k)
        if (picked(d.allItem ? k + 1 : k)) values[k] = std::to_string(k);
      text = PackList(values, 0, d.hi);
    }
    if (text.empty()) {
      p.message(std::string(d.need) + nw_list_info(d.kind).dflt + ".", NW_APP_TITLE);
      sel[l] = nw_sym_default_selection(l);
      return l;
    }
    f.setBoxText(d.box, text);
  }
  return -1;
}

void nw_outsym_apply(NwState& s, int style, int weight, int color, int cls) {
  if (style < 0 && weight < 0 && color < 0 && cls < 0) {
    nw_slot_clear(&s, NW_SLOT_SYMBOLOGY);
    return;
  }
  auto txt = [](int v) { return v < 0 ? std::string() : std::to_string(v); };
  nw_slot_set(&s, NW_SLOT_SYMBOLOGY, "-S",
              txt(style) + "," + txt(weight) + "," + txt(color) + "," + txt(cls));
}
