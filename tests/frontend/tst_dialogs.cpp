// Tests of the five dialogs with real widgets: activation from the main
// window's boxes, Apply, Clear and Cancel.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "frontend/nwweight.h"
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
  void weightingRead_data();
  void weightingRead();
  void weighting();
  void weightingRefusedKeepsDialog();
  void weightingSurvivesMainClear();
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

void TstDialogs::weightingRead_data() {
  QTest::addColumn<QStringList>("boxes");  // LvlvalTxt LvlwtTxt CovalTxt CowtTxt StyvalTxt StywtTxt
  QTest::addColumn<int>("refused");        // box to correct, -1 when applied
  QTest::addColumn<QString>("result");     // table text, or the message
  QTest::newRow("three rows, ranges, last weight for the rest")
      << QStringList({"1-5, 9 ,12", "40,20", "3", "200", "0", "10"}) << -1
      << "level 1-5 40\nlevel 9 20\nlevel 12 20\ncolour 3 200\nstyle 0 10\n";
  QTest::newRow("row without values not used")
      << QStringList({"", "10", "007,5-5", "5,6", "", "3"}) << -1 << "colour 7 5\ncolour 5 6\n";
  QTest::newRow("edges of the ranges")
      << QStringList({"63", "254", "0,255", "0", "7", "1"}) << -1
      << "level 63 254\ncolour 0 0\ncolour 255 0\nstyle 7 1\n";
  QTest::newRow("nothing") << QStringList({"", "", " ", "", "", ""}) << -1 << "";
  QTest::newRow("bad character") << QStringList({"1;3", "10", "", "", "", ""}) << 0
      << "The character ';' is not allowed in the weighting levels.  Please enter levels as "
         "numbers or ranges (like 1-5) separated by commas.";
  QTest::newRow("missing value") << QStringList({"1,,3", "10", "", "", "", ""}) << 0
      << "A value is missing in the weighting levels '1,,3'.  There are too many commas or "
         "dashes.  Please enter the levels again.";
  QTest::newRow("open range") << QStringList({"", "", "", "", "3-", "1"}) << 4
      << "A value is missing in the weighting styles '3-'.  There are too many commas or "
         "dashes.  Please enter the styles again.";
  QTest::newRow("level 0") << QStringList({"0", "10", "", "", "", ""}) << 0
      << "Level 0 is an invalid level.  Please enter weighting levels from 1 to 63.";
  QTest::newRow("color 256") << QStringList({"", "", "1,256", "1", "", ""}) << 2
      << "Color 256 is an invalid color.  Please enter weighting colors from 0 to 255.";
  QTest::newRow("reversed range") << QStringList({"", "", "", "", "7-3", "1"}) << 4
      << "The range 7-3 of the weighting styles is invalid.  Please enter the lower value first.";
  QTest::newRow("value twice") << QStringList({"1-5,3", "10,20", "", "", "", ""}) << 0
      << "Level 3 is given more than once in the weighting levels.  Please give each value "
         "only one weight.";
  QTest::newRow("no weight") << QStringList({"5", "", "", "", "", ""}) << 1
      << "Please enter a weight for the weighting levels.  Weights go from 0 to 254.";
  QTest::newRow("weight 255") << QStringList({"", "", "4", "255", "", ""}) << 3
      << "Weight 255 is an invalid weight.  Please enter color weights from 0 to 254.";
  QTest::newRow("weight not whole") << QStringList({"5", "1.5", "", "", "", ""}) << 1
      << "The character '.' is not allowed in the level weights.  Please enter whole numbers "
         "from 0 to 254 separated by commas.";
  QTest::newRow("missing weight") << QStringList({"5,6", "10,", "", "", "", ""}) << 1
      << "A weight is missing in the level weights '10,'.  There are too many commas.  "
         "Please enter the level weights again.";
  QTest::newRow("more weights than values") << QStringList({"", "", "", "", "1-3", "10,20"}) << 5
      << "There are more style weights (2) than weighting styles (1).  Each weight goes with "
         "the value in the same place; please remove the extra weights.";
  QTest::newRow("later row refused") << QStringList({"5", "10", "", "", "8", "1"}) << 4
      << "Style 8 is an invalid style.  Please enter weighting styles from 0 to 7.";
}

void TstDialogs::weightingRead() {
  QFETCH(QStringList, boxes);
  QFETCH(int, refused);
  QFETCH(QString, result);
  std::string texts[NW_WEIGHT_BOXES];
  for (int i = 0; i < NW_WEIGHT_BOXES; ++i) texts[i] = boxes[i].toStdString();
  ScriptedPrompt p;
  const std::vector<NwWeightRule> before = {{NW_WEIGHT_COLOR, 9, 9, 99}};
  std::vector<NwWeightRule> rules = before;
  QCOMPARE(nw_weight_read(p, texts, &rules), refused);
  if (refused < 0) {
    QVERIFY(p.shown.empty());
    QCOMPARE(QString::fromStdString(nw_weight_table_text(rules)), result);
    return;
  }
  QCOMPARE(p.shown.size(), size_t(1));
  QCOMPARE(QString::fromStdString(p.shown[0].text), result);
  QCOMPARE(p.shown[0].title, std::string("Nodeweld weighting"));
  QVERIFY(!p.shown[0].question);
  QCOMPARE(nw_weight_table_text(rules), nw_weight_table_text(before));  // unchanged
}

void TstDialogs::weighting() {
  WeightFrm* d = f.w->weightFrm();
  QCOMPARE(d->windowTitle(), QString("Weighting Options"));
  QCOMPARE(d->findChild<QLabel*>("HeadingLbl")->property("nwText").toString(),
           QString("Use the following weighting system to prioritize\rthe order inwhich the "
                   "linework is mended."));
  QCOMPARE(d->findChild<QLabel*>("ValueLbl")->toolTip(), QString("Separate multiple values with commas."));
  QCOMPARE(d->findChild<QLabel*>("WeightLbl")->toolTip(), QString("Separate multiple weights with commas."));
  const NwState& s = f.w->state();
  QVERIFY(open(&MainFrm::showWeighting, d));
  d->findChild<QLineEdit*>("LvlvalTxt")->setText("5,7");
  d->findChild<QLineEdit*>("LvlwtTxt")->setText("2");
  d->findChild<QLineEdit*>("StyvalTxt")->setText("1");
  d->findChild<QLineEdit*>("StywtTxt")->setText("30");
  QTest::mouseClick(d->findChild<QPushButton*>("ApplyCmd"), Qt::LeftButton);
  QVERIFY(f.prompt.shown.empty());
  QVERIFY(d->isHidden());
  QCOMPARE(nw_weight_table_text(s.Weighting), std::string("level 5 2\nlevel 7 2\nstyle 1 30\n"));
  // Shown again, the boxes hold what was applied.
  QVERIFY(backToMain() && open(&MainFrm::showWeighting, d));
  QCOMPARE(d->findChild<QLineEdit*>("LvlvalTxt")->text(), QString("5,7"));
  // Apply with every value box empty drops the table.
  d->findChild<QLineEdit*>("LvlvalTxt")->clear();
  d->findChild<QLineEdit*>("StyvalTxt")->clear();
  d->apply();
  QVERIFY(s.Weighting.empty() && d->isHidden());

  // Clear empties the boxes and drops the applied table; the dialog stays.
  QVERIFY(backToMain() && open(&MainFrm::showWeighting, d));
  d->findChild<QLineEdit*>("CovalTxt")->setText("1");
  d->findChild<QLineEdit*>("CowtTxt")->setText("9");
  d->apply();
  QCOMPARE(s.Weighting.size(), size_t(1));
  QVERIFY(backToMain() && open(&MainFrm::showWeighting, d));
  QTest::mouseClick(d->findChild<QPushButton*>("ClearCmd"), Qt::LeftButton);
  for (int i = 0; i < 6; ++i) QVERIFY(d->box(i)->text().isEmpty());
  QVERIFY(s.Weighting.empty());
  QVERIFY(d->isVisible());
  // Cancel the same, and hides the dialog.
  d->findChild<QLineEdit*>("CovalTxt")->setText("1");
  d->findChild<QLineEdit*>("CowtTxt")->setText("9");
  d->apply();
  QCOMPARE(s.Weighting.size(), size_t(1));
  QVERIFY(backToMain() && open(&MainFrm::showWeighting, d));
  QTest::mouseClick(d->findChild<QPushButton*>("CancelCmd"), Qt::LeftButton);
  QVERIFY(d->findChild<QLineEdit*>("CovalTxt")->text().isEmpty());
  QVERIFY(s.Weighting.empty());
  QVERIFY(d->isHidden());
  QVERIFY(f.prompt.shown.empty());
}

void TstDialogs::weightingRefusedKeepsDialog() {
  WeightFrm* d = f.w->weightFrm();
  QVERIFY(open(&MainFrm::showWeighting, d));
  d->box(0)->setText("5");
  d->box(1)->setText("50");
  d->apply();
  QVERIFY(backToMain() && open(&MainFrm::showWeighting, d));
  d->box(2)->setText("12");
  d->box(3)->setText("300");
  QTest::mouseClick(d->findChild<QPushButton*>("ApplyCmd"), Qt::LeftButton);
  QCOMPARE(f.prompt.shown.size(), size_t(1));
  QCOMPARE(f.prompt.lastText(),
           std::string("Weight 300 is an invalid weight.  Please enter color weights from 0 to 254."));
  QVERIFY(d->isVisible());
  QCOMPARE(d->focusWidget(), static_cast<QWidget*>(d->box(3)));
  QCOMPARE(d->box(3)->text(), QString("300"));  // left for the user to correct
  // The table applied before stays in force.
  QCOMPARE(nw_weight_table_text(f.w->state().Weighting), std::string("level 5 50\n"));
}

void TstDialogs::weightingSurvivesMainClear() {
  WeightFrm* d = f.w->weightFrm();
  QVERIFY(open(&MainFrm::showWeighting, d));
  d->box(4)->setText("0-2");
  d->box(5)->setText("7");
  d->apply();
  QVERIFY(backToMain());
  QTest::mouseClick(f.find<QPushButton>("ClearCmd"), Qt::LeftButton);
  QCOMPARE(nw_weight_table_text(f.w->state().Weighting), std::string("style 0-2 7\n"));
  QCOMPARE(d->box(4)->text(), QString("0-2"));
  QCOMPARE(d->box(5)->text(), QString("7"));
}

QTEST_MAIN(TstDialogs)
#include "tst_dialogs.moc"
