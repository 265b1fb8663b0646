// qtprompt: NwPrompt shown as modal message boxes.
#ifndef NW_FRONTEND_UI_QTPROMPT_H
#define NW_FRONTEND_UI_QTPROMPT_H

#include "frontend/nwform.h"

class QWidget;

class NwQtPrompt : public NwPrompt {
 public:
  explicit NwQtPrompt(QWidget* owner) : owner_(owner) {}
  void message(const std::string& text, const std::string& title) override;
  bool question(const std::string& text, const std::string& title, NwAsk kind) override;

 private:
  QWidget* owner_;
};

#endif
