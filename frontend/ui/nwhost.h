// nwhost: what a dialog of the front end needs from the main window: its
// boxes (NwForm), the shared window state and the message interface.
#ifndef NW_FRONTEND_UI_NWHOST_H
#define NW_FRONTEND_UI_NWHOST_H

#include "frontend/nwform.h"
#include "frontend/nwstate.h"

class QWidget;

class NwHost {
 public:
  virtual ~NwHost() {}
  virtual NwForm& form() = 0;
  virtual NwState& state() = 0;
  virtual NwPrompt& prompt() = 0;
};

// True when w becomes the active window after another window of the program
// was (message boxes do not count): the selection dialogs re-read the main
// window only then, so answering one of their own messages keeps their state.
bool nw_fresh_activation(QWidget* w);
// A window was hidden: its next activation is fresh again.
void nw_activation_hidden(QWidget* w);

#endif
