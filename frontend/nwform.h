// nwform: what the front end's logic needs from the main window (box texts,
// ticks, focus) and from the user (messages and questions). The window
// implements NwForm; NwPrompt is implemented by message boxes in the program
// and by scripted answers in the tests.
#ifndef NW_FRONTEND_NWFORM_H
#define NW_FRONTEND_NWFORM_H

#include <string>

enum NwBox {
  BOX_Input, BOX_Lvl, BOX_Ele, BOX_Sty, BOX_Wt, BOX_Co, BOX_Cl,
  BOX_TolMend, BOX_DLvlMend, BOX_DFlagSizeMend, BOX_Outlvl,
  BOX_FlagProxTol, BOX_FlagLvl, BOX_FlagSize, BOX_DLvlNoMend, BOX_DFlagSizeNoMend,
  BOX_COUNT
};

enum NwTick {
  TICK_Ulf,          // "ulf input file" selected (else "dgn input file")
  TICK_CoordAve,     // "Coordinate averaging" selected (else "Modal solutions")
  TICK_DFlagMend, TICK_OutLvl, TICK_SaveOrig, TICK_Flag, TICK_DFlagNoMend, TICK_Save,
  TICK_COUNT
};

enum NwAsk { NW_ASK_YESNO, NW_ASK_OKCANCEL };

struct NwForm {
  virtual ~NwForm() {}
  virtual std::string boxText(NwBox box) = 0;
  // Sets a box's text; runs no check.
  virtual void setBoxText(NwBox box, const std::string& text) = 0;
  virtual bool ticked(NwTick tick) = 0;
  // Ticks or unticks; the control's click rule runs as for the user.
  virtual void setTicked(NwTick tick, bool on) = 0;
  // Enables a box with a white background, or disables it light grey.
  virtual void setBoxEnabled(NwBox box, bool on) = 0;
  virtual void focusBox(NwBox box) = 0;
  virtual std::string selectedTabCaption() = 0;
};

struct NwPrompt {
  virtual ~NwPrompt() {}
  // A message with an OK button.
  virtual void message(const std::string& text, const std::string& title) = 0;
  // A question; true for Yes (or OK).
  virtual bool question(const std::string& text, const std::string& title, NwAsk kind) = 0;
};

#endif
