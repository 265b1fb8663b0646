// Test helper: a shown, active main window whose messages go to a
// ScriptedPrompt, and small helpers to move the focus like a user.
#ifndef NW_TESTS_FRONTEND_FE_FIXTURE_H
#define NW_TESTS_FRONTEND_FE_FIXTURE_H

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTabBar>
#include <QtTest>
#include <memory>

#include "frontend/ui/mainfrm.h"
#include "tests/frontend/scripted_prompt.h"

// Waits until w is the application's active window. (QTest's own wait counts
// a dialog as active as soon as its parent window is.)
inline bool waitActive(QWidget* w) {
  return QTest::qWaitFor([w] { return QApplication::activeWindow() == w; }, 5000);
}

// Drops the offscreen platform's notes about window features it lacks, so the
// test logs show what matters; everything else goes to QtTest's handler.
inline void quietOffscreen() {
  static QtMessageHandler next = nullptr;
  static bool installed = false;
  if (installed) return;
  installed = true;
  next = qInstallMessageHandler([](QtMsgType t, const QMessageLogContext& c, const QString& m) {
    if (t == QtWarningMsg && m.startsWith(QLatin1String("This plugin does not support"))) return;
    if (next) next(t, c, m);
  });
}

struct FeWindow {
  std::unique_ptr<MainFrm> w;
  ScriptedPrompt prompt;

  bool open() {
    quietOffscreen();
    w.reset(new MainFrm);
    w->setPrompt(&prompt);
    w->show();
    w->activateWindow();
    return waitActive(w.get());
  }
  void close() {
    if (w) w->setPrompt(nullptr);
    w.reset();
    prompt.reset();
  }
  QLineEdit* box(NwBox b) { return w->box(b); }
  QAbstractButton* tick(NwTick t) { return w->tickControl(t); }
  template <class T>
  T* find(const char* name) { return w->findChild<T*>(QString::fromLatin1(name)); }
  QString text(NwBox b) { return w->box(b)->text(); }
  // Types into a box (focus in, text replaced) without leaving it.
  void type(NwBox b, const QString& text) {
    w->box(b)->setFocus(Qt::OtherFocusReason);
    w->box(b)->setText(text);
  }
  // Leaves the focused box by moving the focus to `to` (by Tab by default).
  void leaveTo(QWidget* to, Qt::FocusReason why = Qt::TabFocusReason) { to->setFocus(why); }
  // Types into a box and tabs to the input-file box (which has no check).
  void enter(NwBox b, const QString& text) {
    type(b, text);
    leaveTo(w->box(b == BOX_Input ? BOX_Lvl : BOX_Input));
  }
  void showPage(int page) { find<QTabBar>("TabStrip1")->setCurrentIndex(page - 1); }
};

#endif
