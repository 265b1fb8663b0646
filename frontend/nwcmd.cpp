// nwcmd: BuildCmd, the exit-status texts and the command-line log.
#include "frontend/nwcmd.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "frontend/nwchecks.h"
#include "frontend/nwmod.h"

namespace {

struct CriteriaSlot {
  NwBox box;
  int slot;
  const char* flag;
  const char* dflt;
};

const CriteriaSlot kCriteria[] = {
  {BOX_Ele, NW_SLOT_ELEMENTS, "-e", "3,4"},  {BOX_Lvl, NW_SLOT_LEVELS, "-ll", "1-63"},
  {BOX_Sty, NW_SLOT_STYLES, "-ls", "0-7"},   {BOX_Wt, NW_SLOT_WEIGHTS, "-lw", "0-30"},
  {BOX_Co, NW_SLOT_COLORS, "-lo", "0-255"},  {BOX_Cl, NW_SLOT_CLASSES, "-lc", "0,2"},
};

std::string refuse(NwForm& f, NwPrompt& p, const std::string& text, const std::string& title,
                   NwBox focus) {
  p.message(text, title);
  f.focusBox(focus);
  return std::string();
}

// First page: mending.
bool build_mend(NwForm& f, NwPrompt& p, NwState& s) {
  const std::string tol = f.boxText(BOX_TolMend);
  if (tol.empty()) {
    refuse(f, p,
           std::string("You must input a value for the mending proximity tolerance.  ") +
               "This tolerance sets how close (in uors) two points must be " +
               "before Node Weld will snap them together.",
           "Node weld tolerance", BOX_TolMend);
    return false;
  }
  nw_slot_set(&s, NW_SLOT_TOLERANCE, "-T", tol);
  if (f.ticked(TICK_OutLvl)) {
    if (s.OutLevel.empty()) {
      refuse(f, p, "To output elements to another level, you must specify that level.",
             NW_APP_TITLE, BOX_Outlvl);
      return false;
    }
    nw_slot_set(&s, NW_SLOT_OUTLEVEL, "-L", s.OutLevel);
  } else {
    nw_slot_clear(&s, NW_SLOT_OUTLEVEL);
  }
  nw_slot_set(&s, NW_SLOT_SAVEORIG, f.ticked(TICK_SaveOrig) ? "-s" : "", "");
  nw_slot_set(&s, NW_SLOT_AVERAGE, f.ticked(TICK_CoordAve) ? "-Nm" : "", "");
  if (f.ticked(TICK_DFlagMend)) {
    const std::string lvl = f.boxText(BOX_DLvlMend), size = f.boxText(BOX_DFlagSizeMend);
    if (lvl.empty()) {
      refuse(f, p, std::string("To flag dangles, you must specify ") +
                       "a level to place the flags on.",
             "Flag dangles", BOX_DLvlMend);
      return false;
    }
    if (size.empty()) {
      refuse(f, p, "To flag dangles, you must specify a flag circle size. ", "Flag dangles",
             BOX_DFlagSizeMend);
      return false;
    }
    nw_slot_set(&s, NW_SLOT_DANGLES_MEND, "-D", lvl + "," + size);
  } else {
    nw_slot_clear(&s, NW_SLOT_DANGLES_MEND);
  }
  // Options of the other page do not belong to a mending run.
  nw_slot_clear(&s, NW_SLOT_FLAG);
  nw_slot_clear(&s, NW_SLOT_DANGLES_NOMEND);
  return true;
}

// Second page: flagging only.
bool build_flag(NwForm& f, NwPrompt& p, NwState& s) {
  if (f.ticked(TICK_Flag)) {
    const std::string lvl = f.boxText(BOX_FlagLvl), size = f.boxText(BOX_FlagSize);
    if (lvl.empty() || size.empty()) {
      refuse(f, p,
             lvl.empty() ? "You must input a level for the flags to be placed on to flag close points."
                         : "You must input a flag size to flag close points.",
             NW_APP_TITLE, BOX_FlagLvl);
      return false;
    }
    nw_slot_set(&s, NW_SLOT_FLAG, "-f", lvl + "," + size);
  } else {
    nw_slot_clear(&s, NW_SLOT_FLAG);
  }
  if (s.OptFlag[NW_SLOT_FLAG] == "-f") {
    const std::string tol = f.boxText(BOX_FlagProxTol);
    // -T without a value would make the driver read the next switch as the
    // tolerance: ask for it instead.
    if (tol.empty()) {
      refuse(f, p,
             std::string("You must input a value for the close points proximity tolerance.  ") +
                 "This tolerance sets how close (in uors) two points must be " +
                 "before they are flagged.",
             "Node weld tolerance", BOX_FlagProxTol);
      return false;
    }
    nw_slot_set(&s, NW_SLOT_TOLERANCE, "-T", tol);
  } else {
    nw_slot_clear(&s, NW_SLOT_TOLERANCE);
  }
  if (f.ticked(TICK_DFlagNoMend)) {
    const std::string lvl = f.boxText(BOX_DLvlNoMend), size = f.boxText(BOX_DFlagSizeNoMend);
    if (lvl.empty()) {
      refuse(f, p, "You must input a level for the flags to be placed on to flag dangles.",
             NW_APP_TITLE, BOX_DLvlNoMend);
      return false;
    }
    if (size.empty()) {
      refuse(f, p, "You must input a flag size to flag dangles.", NW_APP_TITLE,
             BOX_DFlagSizeNoMend);
      return false;
    }
    nw_slot_set(&s, NW_SLOT_DANGLES_NOMEND, "-D", lvl + "," + size);
  } else {
    nw_slot_clear(&s, NW_SLOT_DANGLES_NOMEND);
  }
  // Options of the other page do not belong to a flagging run.
  nw_slot_clear(&s, NW_SLOT_OUTLEVEL);
  nw_slot_clear(&s, NW_SLOT_AVERAGE);
  nw_slot_clear(&s, NW_SLOT_SAVEORIG);
  nw_slot_clear(&s, NW_SLOT_DANGLES_MEND);
  return true;
}

}  // namespace

bool FileExists(const std::string& name) {
  struct stat st;
  if (name.empty() || stat(name.c_str(), &st) != 0) return false;
  return !S_ISDIR(st.st_mode);
}

std::string BuildCmd(NwForm& f, NwPrompt& p, NwState& s, std::vector<std::string>* words) {
  const std::string path = f.boxText(BOX_Input);
  if (!FileExists(path))
    return refuse(f, p, "The input file '" + path + "' does not exist.", NW_APP_TITLE,
                  BOX_Input);

  std::vector<std::string> levels(257);
  std::string detail;
  std::string lvlText = f.boxText(BOX_Lvl);
  const std::string lvlBefore = lvlText;
  ParseList(lvlText, levels, 1, 63, detail);
  if (lvlText != lvlBefore) f.setBoxText(BOX_Lvl, lvlText);
  for (int n = 1; n <= 63; ++n) s.SelLevels[n] = levels[n];

  // The output level only matters while "Put modified linework on new level"
  // is ticked.
  if (f.ticked(TICK_OutLvl)) {
    const int n = nw_level_index(s.OutLevel);
    if (!nw_ask_output_level(p, s, s.SelLevels)) return std::string();
    if (n != 0 && s.SelLevels[n].empty() && !levels[n].empty()) {
      const std::string packed = PackList(s.SelLevels, 1, 63);
      if (packed.empty()) {
        std::string text, title;
        nw_list_message(NW_LEVELS, NW_LIST_EMPTY, std::string(), &text, &title);
        f.setBoxText(BOX_Lvl, nw_list_info(NW_LEVELS).dflt);
        return refuse(f, p, text, title, BOX_Lvl);
      }
      f.setBoxText(BOX_Lvl, packed);
    }
  }

  for (const CriteriaSlot& c : kCriteria) {
    const std::string text = f.boxText(c.box);
    if (text != c.dflt)
      nw_slot_set(&s, c.slot, c.flag, text);
    else
      nw_slot_clear(&s, c.slot);
  }

  // The applied weighting table goes to the driver on either page; Run
  // writes the file it names.
  if (!s.Weighting.empty())
    nw_slot_set(&s, NW_SLOT_WEIGHTING, NW_WEIGHT_SWITCH, NW_WEIGHT_FILE);
  else
    nw_slot_clear(&s, NW_SLOT_WEIGHTING);

  const std::string tab = f.selectedTabCaption();
  if (tab == "Mend Elements") {
    if (!build_mend(f, p, s)) return std::string();
  } else if (tab == "Don't Mend Elements") {
    if (!build_flag(f, p, s)) return std::string();
  }

  std::string line = std::string("perl -S nodeweld.pl ") + (f.ticked(TICK_Ulf) ? "-U " : "-F ");
  std::vector<std::string> w = {"perl", "-S", "nodeweld.pl", f.ticked(TICK_Ulf) ? "-U" : "-F"};
  line += path;
  w.push_back(path);
  for (int i = 0; i < NW_SLOTS_EMITTED; ++i) {
    if (s.OptFlag[i].empty()) continue;
    line += " " + s.OptFlag[i];
    w.push_back(s.OptFlag[i]);
    if (s.OptVal[i].empty()) continue;
    line += " " + s.OptVal[i];
    w.push_back(s.OptVal[i]);
  }
  if (words) *words = w;
  return line;
}

std::string nw_exit_message(int code) {
  if (code == 0) return "Process Completed Successfully";
  if (code == NW_EXIT_INTERRUPTED) return "Shell was Interupted";
  return "Abnormal Exit, Exit Code: " + std::to_string(code);
}

bool nw_log_append(const std::string& path, const std::string& date, const std::string& time,
                   const std::string& cmdline, std::string* err) {
  const std::string record = date + "\r\n" + time + "\r\n" + cmdline + "\r\n";
  FILE* fp = std::fopen(path.c_str(), "ab");
  if (!fp) {
    if (err) *err = std::strerror(errno);
    return false;
  }
  const size_t n = std::fwrite(record.data(), 1, record.size(), fp);
  int e = (n != record.size() || std::fflush(fp) != 0) ? errno : 0;
  if (std::fclose(fp) != 0 && e == 0) e = errno ? errno : EIO;
  if (n != record.size() && e == 0) e = EIO;
  if (e != 0) {
    if (err) *err = std::strerror(e);
    return false;
  }
  return true;
}
