// Tests of the five dialogs with real widgets: activation from the main
// window's boxes, Apply, Clear and Cancel.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "frontend/ui/elefrm.h"
#include "frontend/ui/insymfrm.h"
#include "frontend/ui/levelfrm.h"
#include "frontend/ui/outsymfrm.h"
#include "frontend/ui/weightfrm.h"
#include "tests/frontend/fe_fixture.h"

namespace {
QList<int> selectedRows(QListWidget* l) {
  QList<int> rows;
  for (int i = 0; i < l->count(); ++i)
    if (l->item(i)->isSelected()) rows << i;
  return rows;
}
}  // namespace

class TstDialogs : public QObject {
  Q_OBJECT
  FeWindow f;

  // Shows a dialog as the main window's button does and waits until it is active.
  bool open(void (MainFrm::*show)(), QWidget* dlg) {
    (f.w.get()->*show)();
    return waitActive(dlg);
  }
  // Shows a dialog whose activation refuses the main box: the refusal moves
  // the focus back to the main window. Waits for the message.
  bool openRefused(void (MainFrm::*show)()) {
    const size_t before = f.prompt.shown.size();
    (f.w.get()->*show)();
    return QTest::qWaitFor([&] { return f.prompt.shown.size() > before; }, 5000) &&
           waitActive(f.w.get());
  }
  // Moves the activation back to the main window.
  bool backToMain() {
    f.w->activateWindow();
    return waitActive(f.w.get());
  }
  QList<int> levelsOn() {
    QList<int> on;
    for (int n = 1; n <= 63; ++n)
      if (f.w->levelFrm()->isOn(n)) on << n;
    return on;
  }

 private slots:
  void init() { QVERIFY(f.open()); }
  void cleanup() { f.close(); }

  void levelsActivationAndApply();
  void levelsClearApplySelectAll();
  void levelsCancelAndReopen();
  void levelsBadBox();
  void levelsOutputLevelQuestion();
  void levelsMessageKeepsSelection();
  void elementsActivation();
  void elementsApplyClearCancel();
  void symbologyActivationAndApply();
  void symbologyEmptySelection();
  void symbologyBadBox();
  void outputOptions();
  void weighting();
};

void TstDialogs::levelsActivationAndApply() {
  LevelFrm* d = f.w->levelFrm();
  QCOMPARE(d->windowTitle(), QString("Levels"));
  f.box(BOX_Lvl)->setText("5,7-9");
  QVERIFY(open(&MainFrm::showLevels, d));
  QCOMPARE(levelsOn(), QList<int>({5, 7, 8, 9}));
  QCOMPARE(d->levelButton(5)->palette().color(QPalette::Button), QColor(0x9A, 0x9A, 0x9A));
  QCOMPARE(f.w->state().SelLevels[7], std::string("7"));
  QVERIFY(f.w->state().SelLevels[6].empty());
  QTest::mouseClick(d->levelButton(6), Qt::LeftButton);
  QTest::mouseClick(d->levelButton(9), Qt::LeftButton);
  QCOMPARE(levelsOn(), QList<int>({5, 6, 7, 8}));
  QTest::mouseClick(d->findChild<QPushButton*>("ApplyCmd"), Qt::LeftButton);
  QCOMPARE(f.text(BOX_Lvl), QString("5-8"));
  QVERIFY(d->isHidden());
  QVERIFY(f.prompt.shown.empty());
}

void TstDialogs::levelsClearApplySelectAll() {
  LevelFrm* d = f.w->levelFrm();
  QVERIFY(open(&MainFrm::showLevels, d));
  QCOMPARE(levelsOn().size(), 63);
  d->clearLevels();
  QVERIFY(levelsOn().isEmpty());
  d->apply();
  QCOMPARE(f.prompt.shown.size(), size_t(1));
  QCOMPARE(f.prompt.lastText(), std::string("Linkfuse requires at least one input level.  The "
                                            "default is levels: 1-63.  All levels will be "
                                            "selected now."));
  QCOMPARE(f.prompt.lastTitle(), std::string("Nodeweld"));
  QCOMPARE(levelsOn().size(), 63);
  QVERIFY(d->isVisible());
  d->apply();
  QCOMPARE(f.text(BOX_Lvl), QString("1-63"));
  QVERIFY(d->isHidden());
}

void TstDialogs::levelsCancelAndReopen() {
  LevelFrm* d = f.w->levelFrm();
  f.box(BOX_Lvl)->setText("3-4");
  QVERIFY(open(&MainFrm::showLevels, d));
  d->findChild<QPushButton*>("CancelCmd")->click();
  QVERIFY(d->isHidden());
  QVERIFY(levelsOn().isEmpty());
  QCOMPARE(f.text(BOX_Lvl), QString("3-4"));
  QVERIFY(backToMain());
  QVERIFY(open(&MainFrm::showLevels, d));
  QCOMPARE(levelsOn(), QList<int>({3, 4}));
}

void TstDialogs::levelsBadBox() {
  f.box(BOX_Lvl)->setText("1,,2");
  QVERIFY(openRefused(&MainFrm::showLevels));
  QVERIFY(f.box(BOX_Lvl)->hasFocus());
  QCOMPARE(f.prompt.shown.size(), size_t(1));
  QCOMPARE(f.prompt.lastText(), std::string("A value is missing.  There are too many commas or "
                                            "dashes in your input'1,,'.  Please enter the "
                                            "levels again."));
  QCOMPARE(f.prompt.lastTitle(), std::string("Linkfuse levels"));
  QCOMPARE(f.text(BOX_Lvl), QString("1-63"));
  QVERIFY(f.w->levelFrm()->isVisible());
}

void TstDialogs::levelsOutputLevelQuestion() {
  f.w->setTicked(TICK_OutLvl, true);
  f.w->state().OutLevel = "10";
  LevelFrm* d = f.w->levelFrm();
  QVERIFY(open(&MainFrm::showLevels, d));
  f.prompt.answers = {false};
  d->apply();
  QCOMPARE(f.prompt.lastText(), std::string("The element output level: 10 is also one of your "
                                            "input levels: 1-63.  Do you wish to remove level "
                                            "10 from your input level list?"));
  QVERIFY(d->isVisible());
  QCOMPARE(f.text(BOX_Lvl), QString("1-63"));
  f.prompt.answers = {true};
  d->apply();
  QCOMPARE(f.text(BOX_Lvl), QString("1-9,11-63"));
  QVERIFY(d->isHidden());
}

void TstDialogs::levelsMessageKeepsSelection() {
  // A message box of the dialog's own does not make it re-read the main box.
  LevelFrm* d = f.w->levelFrm();
  f.box(BOX_Lvl)->setText("1-3");
  QVERIFY(open(&MainFrm::showLevels, d));
  d->levelButton(20)->click();
  QVERIFY(backToMain() && open(&MainFrm::showLevels, d));  // another window in between: re-read
  QCOMPARE(levelsOn(), QList<int>({1, 2, 3}));
  d->levelButton(20)->click();
  QEvent activate(QEvent::WindowActivate);  // activation after its own message box
  QApplication::sendEvent(d, &activate);
  QCOMPARE(levelsOn(), QList<int>({1, 2, 3, 20}));
}

void TstDialogs::elementsActivation() {
  EleFrm* d = f.w->eleFrm();
  QCOMPARE(d->windowTitle(), QString("Input Criteria"));
  QCOMPARE(d->findChild<QCheckBox*>("Check17")->text(), QString("17 - Text piece "));
  f.box(BOX_Ele)->setText("2-7");
  QVERIFY(openRefused(&MainFrm::showElements));
  QCOMPARE(f.prompt.shown.size(), size_t(1));
  QCOMPARE(f.prompt.lastText(), std::string("Element type 5 is an invalid element type.  Please "
                                            "enter the element types again."));
  QCOMPARE(f.prompt.lastTitle(), std::string("Nodeweld element types"));
  QCOMPARE(f.text(BOX_Ele), QString("3,4"));
  QVERIFY(d->findChild<QCheckBox*>("Check2")->isChecked());
  QVERIFY(d->findChild<QCheckBox*>("Check3")->isChecked());
  QVERIFY(d->findChild<QCheckBox*>("Check4")->isChecked());
  QVERIFY(!d->findChild<QCheckBox*>("Check6")->isChecked());
  // Bad syntax: the dialog's own wording.
  f.prompt.reset();
  f.box(BOX_Ele)->setText("3 4");
  QVERIFY(openRefused(&MainFrm::showElements));
  QCOMPARE(f.prompt.lastText(), std::string("Spaces are not allowed in element type input.  "
                                            "Instead, use commas to separate element type "
                                            "numbers.  Please enter the element types again."));
}

void TstDialogs::elementsApplyClearCancel() {
  EleFrm* d = f.w->eleFrm();
  QVERIFY(open(&MainFrm::showElements, d));
  QVERIFY(d->findChild<QCheckBox*>("Check3")->isChecked());
  d->findChild<QCheckBox*>("Check3")->setChecked(false);
  d->findChild<QCheckBox*>("Check4")->setChecked(false);
  d->findChild<QCheckBox*>("Check12")->setChecked(true);
  d->findChild<QCheckBox*>("Check2")->setChecked(true);
  d->findChild<QPushButton*>("ApplyCmd")->click();
  QCOMPARE(f.text(BOX_Ele), QString("2,12"));
  QCOMPARE(f.w->state().EleSlots[1], std::string("2"));
  QCOMPARE(f.w->state().EleSlots[7], std::string("12"));
  QVERIFY(d->isHidden());
  // Cancel leaves the main box alone.
  QVERIFY(backToMain() && open(&MainFrm::showElements, d));
  d->findChild<QCheckBox*>("Check27")->setChecked(true);
  d->cancel();
  QCOMPARE(f.text(BOX_Ele), QString("2,12"));
  // Clear writes "3,4" at once and keeps the dialog open.
  QVERIFY(backToMain() && open(&MainFrm::showElements, d));
  d->findChild<QPushButton*>("ClearCmd")->click();
  QCOMPARE(f.text(BOX_Ele), QString("3,4"));
  QVERIFY(d->isVisible());
  QVERIFY(!d->findChild<QCheckBox*>("Check2")->isChecked());
}

void TstDialogs::symbologyActivationAndApply() {
  InsymFrm* d = f.w->insymFrm();
  QCOMPARE(d->windowTitle(), QString("Input Symbology"));
  QCOMPARE(d->list(0)->item(0)->text(), QString("0 - 7"));
  QCOMPARE(d->list(2)->count(), 257);
  QCOMPARE(d->list(3)->count(), 8);
  f.box(BOX_Sty)->setText("0-3,5");
  f.box(BOX_Cl)->setText("1");
  QVERIFY(open(&MainFrm::showInputSymbology, d));
  QCOMPARE(selectedRows(d->list(0)), QList<int>({1, 2, 3, 4, 6}));
  QCOMPARE(selectedRows(d->list(1)), QList<int>({0}));
  QCOMPARE(selectedRows(d->list(3)), QList<int>({1}));
  d->list(3)->item(0)->setSelected(true);
  d->list(2)->item(0)->setSelected(false);
  d->list(2)->item(8)->setSelected(true);  // color 7
  d->findChild<QPushButton*>("ApplyCmd")->click();
  QCOMPARE(f.text(BOX_Sty), QString("0-3,5"));
  QCOMPARE(f.text(BOX_Wt), QString("0-30"));
  QCOMPARE(f.text(BOX_Co), QString("7"));
  QCOMPARE(f.text(BOX_Cl), QString("0-1"));
  QVERIFY(d->isHidden());
  // Clear resets the lists only.
  QVERIFY(backToMain() && open(&MainFrm::showInputSymbology, d));
  d->clearLists();
  QCOMPARE(selectedRows(d->list(0)), QList<int>({0}));
  QCOMPARE(selectedRows(d->list(3)), QList<int>({0, 2}));
  QCOMPARE(f.text(BOX_Co), QString("7"));
}

void TstDialogs::symbologyEmptySelection() {
  InsymFrm* d = f.w->insymFrm();
  QVERIFY(open(&MainFrm::showInputSymbology, d));
  d->list(0)->clearSelection();
  d->list(0)->item(3)->setSelected(true);  // style 2
  d->list(1)->clearSelection();            // no weight
  d->apply();
  QCOMPARE(f.prompt.lastText(), std::string("Nodeweld requires at least one input weight.  The "
                                            "default are weights: 0-30."));
  QCOMPARE(f.prompt.lastTitle(), std::string("Nodeweld"));
  QCOMPARE(f.text(BOX_Sty), QString("2"));  // the earlier list stays written
  QCOMPARE(selectedRows(d->list(1)), QList<int>({0}));
  QVERIFY(d->isVisible());
  d->list(3)->clearSelection();
  d->apply();
  QCOMPARE(f.prompt.lastText(), std::string("Nodeweld requires at least one input class.  The "
                                            "default are classes: 0,2."));
  QCOMPARE(selectedRows(d->list(3)), QList<int>({0, 2}));
  d->apply();
  QCOMPARE(f.text(BOX_Cl), QString("0,2"));
  QVERIFY(d->isHidden());
}

void TstDialogs::symbologyBadBox() {
  InsymFrm* d = f.w->insymFrm();
  f.box(BOX_Sty)->setText("1");
  f.box(BOX_Wt)->setText("31");
  f.box(BOX_Co)->setText("5");
  QVERIFY(openRefused(&MainFrm::showInputSymbology));
  QCOMPARE(f.prompt.shown.size(), size_t(1));
  QCOMPARE(f.prompt.lastText(), std::string("Weight 31 is an invalid weight.  Please enter the weights again."));
  QCOMPARE(f.prompt.lastTitle(), std::string("Nodeweld weights"));
  QCOMPARE(f.text(BOX_Wt), QString("0-30"));
  QCOMPARE(selectedRows(d->list(0)), QList<int>({2}));  // styles read before the failure
  QCOMPARE(selectedRows(d->list(2)), QList<int>({0}));  // colors not read
}

void TstDialogs::outputOptions() {
  OutSymFrm* d = f.w->outSymFrm();
  QCOMPARE(d->windowTitle(), QString("Output Options"));
  QCOMPARE(d->pick(2)->count(), 256);
  QVERIFY(open(&MainFrm::showOutputOptions, d));
  d->apply();  // nothing picked
  QVERIFY(f.w->state().OptFlag[NW_SLOT_SYMBOLOGY].empty());
  QVERIFY(d->isHidden());
  d->pick(1)->setCurrentIndex(2);
  d->pick(3)->setCurrentIndex(1);
  d->apply();
  QCOMPARE(f.w->state().OptFlag[NW_SLOT_SYMBOLOGY], std::string("-S"));
  QCOMPARE(f.w->state().OptVal[NW_SLOT_SYMBOLOGY], std::string(",2,,1"));
  // Shown again, the picks are the last ones.
  QVERIFY(backToMain() && open(&MainFrm::showOutputOptions, d));
  QCOMPARE(d->pick(1)->currentText(), QString("2"));
  d->clearPicks();
  QVERIFY(f.w->state().OptFlag[NW_SLOT_SYMBOLOGY].empty());
  QVERIFY(d->isVisible());
  d->pick(0)->setCurrentIndex(3);
  d->apply();
  QCOMPARE(f.w->state().OptVal[NW_SLOT_SYMBOLOGY], std::string("3,,,"));
  d->cancel();
  QVERIFY(f.w->state().OptVal[NW_SLOT_SYMBOLOGY].empty());
  QCOMPARE(d->pick(0)->currentIndex(), -1);
}

void TstDialogs::weighting() {
  WeightFrm* d = f.w->weightFrm();
  QCOMPARE(d->windowTitle(), QString("Weighting Options"));
  QCOMPARE(d->findChild<QLabel*>("HeadingLbl")->property("nwText").toString(),
           QString("Use the following weighting system to prioritize\rthe order inwhich the "
                   "linework is mended."));
  QCOMPARE(d->findChild<QLabel*>("ValueLbl")->toolTip(), QString("Separate multiple values with commas."));
  QCOMPARE(d->findChild<QLabel*>("WeightLbl")->toolTip(), QString("Separate multiple weights with commas."));
  QVERIFY(open(&MainFrm::showWeighting, d));
  d->findChild<QLineEdit*>("LvlvalTxt")->setText("5");
  d->findChild<QLineEdit*>("LvlwtTxt")->setText("2");
  const std::vector<std::string> before = f.w->state().OptFlag;
  d->apply();
  QVERIFY(d->isVisible());
  QVERIFY(f.w->state().OptFlag == before);
  QCOMPARE(d->findChild<QLineEdit*>("LvlvalTxt")->text(), QString("5"));
  d->clearBoxes();
  QVERIFY(d->findChild<QLineEdit*>("LvlvalTxt")->text().isEmpty());
  d->findChild<QLineEdit*>("CovalTxt")->setText("1");
  d->cancel();
  QVERIFY(d->findChild<QLineEdit*>("CovalTxt")->text().isEmpty());
  QVERIFY(d->isHidden());
}

QTEST_MAIN(TstDialogs)
#include "tst_dialogs.moc"
