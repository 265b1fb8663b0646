// Tests of the command line built from the real main window: slot order,
// defaults, both pages, the refusals and the output-level question, View.
#include <QComboBox>
#include <QTemporaryDir>

#include <fstream>

#include "frontend/nwcmd.h"
#include "frontend/ui/outsymfrm.h"
#include "frontend/ui/weightfrm.h"
#include "tests/frontend/fe_fixture.h"

class TstBuildCmd : public QObject {
  Q_OBJECT
  FeWindow f;
  QTemporaryDir dir;
  QString input;  // an existing input file
  QString build(std::vector<std::string>* words = nullptr) {
    return QString::fromStdString(BuildCmd(*f.w, f.prompt, f.w->state(), words));
  }
  QString prefix() const { return "perl -S nodeweld.pl -F " + input; }

 private slots:
  void initTestCase() {
    QVERIFY(dir.isValid());
    input = dir.path() + "/sheet.dgn";
    std::ofstream(input.toStdString()) << "x";
  }
  void init() {
    QVERIFY(f.open());
    f.box(BOX_Input)->setText(input);
  }
  void cleanup() { f.close(); }

  void defaultsFirstPage();
  void firstPageOptions();
  void secondPage();
  void criteriaDefaultsExactText();
  void outputLevelQuestion();
  void outputLevelAskedOnlyWhenTicked();
  void missingInputFile();
  void ulfInput();
  void refusals_data();
  void refusals();
  void outputSymbologySlot();
  void otherPageSlotsDropped();
  void pathWithBlankIsOneWord();
  void viewShowsQuotedLine();
  void menuRunChecksFocusedBox();
  void weightingTable();
};

void TstBuildCmd::defaultsFirstPage() {
  f.box(BOX_TolMend)->setText("0.5");
  QCOMPARE(build(), prefix() + " -T 0.5");
  QVERIFY(f.prompt.shown.empty());
}

void TstBuildCmd::firstPageOptions() {
  f.box(BOX_Lvl)->setText("5-9");
  f.box(BOX_Ele)->setText("3");
  f.w->setTicked(TICK_CoordAve, true);
  f.w->setTicked(TICK_OutLvl, true);
  f.enter(BOX_Outlvl, "10");
  f.w->setTicked(TICK_SaveOrig, true);
  f.box(BOX_TolMend)->setText("2");
  QVERIFY(f.prompt.shown.size() == 1);  // only the save-original confirmation
  QCOMPARE(build(), prefix() + " -e 3 -ll 5-9 -L 10 -Nm -s -T 2");
  // Dangles on the first page come last (slot 21).
  f.w->setTicked(TICK_DFlagMend, true);
  f.box(BOX_DLvlMend)->setText("40");
  f.box(BOX_DFlagSizeMend)->setText("1.5");
  QCOMPARE(build(), prefix() + " -e 3 -ll 5-9 -L 10 -Nm -s -T 2 -D 40,1.5");
  // A ticked "Save original linework" counts while disabled.
  f.w->setTicked(TICK_OutLvl, false);
  QVERIFY(!f.tick(TICK_SaveOrig)->isEnabled());
  QCOMPARE(build(), prefix() + " -e 3 -ll 5-9 -Nm -s -T 2 -D 40,1.5");
}

void TstBuildCmd::secondPage() {
  f.showPage(2);
  f.w->setTicked(TICK_Flag, true);
  f.box(BOX_FlagLvl)->setText("60");
  f.box(BOX_FlagSize)->setText("2.5");
  f.box(BOX_FlagProxTol)->setText("1.0");
  f.w->setTicked(TICK_DFlagNoMend, true);
  f.box(BOX_DLvlNoMend)->setText("61");
  f.box(BOX_DFlagSizeNoMend)->setText("3");
  QCOMPARE(build(), prefix() + " -f 60,2.5 -T 1.0 -D 61,3");
  // Dangles still count after "Flag close points" is unticked (disabled box).
  f.w->setTicked(TICK_Flag, false);
  QCOMPARE(build(), prefix() + " -D 61,3");
  // Nothing ticked: only the path.
  f.w->setTicked(TICK_Flag, true);
  f.w->setTicked(TICK_DFlagNoMend, false);
  f.w->setTicked(TICK_Flag, false);
  QCOMPARE(build(), prefix());
}

void TstBuildCmd::criteriaDefaultsExactText() {
  f.box(BOX_TolMend)->setText("1");
  f.box(BOX_Sty)->setText("0-7");
  QCOMPARE(build(), prefix() + " -T 1");
  f.box(BOX_Sty)->setText("0-6,7");
  f.box(BOX_Wt)->setText("0-29");
  f.box(BOX_Co)->setText("1");
  f.box(BOX_Cl)->setText("0-1");
  QCOMPARE(build(), prefix() + " -ls 0-6,7 -lw 0-29 -lo 1 -T 1 -lc 0-1");
  f.box(BOX_Sty)->setText("0,1,2,3,4,5,6,7");
  f.box(BOX_Wt)->setText("0-30");
  f.box(BOX_Co)->setText("0-255");
  f.box(BOX_Cl)->setText("0,2");
  QCOMPARE(build(), prefix() + " -ls 0,1,2,3,4,5,6,7 -T 1");
}

void TstBuildCmd::outputLevelQuestion() {
  f.box(BOX_TolMend)->setText("1");
  f.w->setTicked(TICK_OutLvl, true);
  f.w->state().OutLevel = "10";  // stored earlier, input levels 1-63
  f.prompt.answers = {false};
  QCOMPARE(build(), QString());
  QCOMPARE(f.prompt.shown.size(), size_t(1));  // the question, no message
  QCOMPARE(QString::fromStdString(f.prompt.shown[0].text),
           QString("The element output level: 10 is also one of your input levels: 1-63.  Do "
                   "you wish to remove level 10 from your input level list?"));
  QCOMPARE(f.prompt.shown[0].title, std::string("Input levels vs. output and flagging levels"));
  QCOMPARE(f.text(BOX_Lvl), QString("1-63"));
  f.prompt.reset();
  f.prompt.answers = {true};
  QCOMPARE(build(), prefix() + " -ll 1-9,11-63 -L 10 -T 1");
  QCOMPARE(f.text(BOX_Lvl), QString("1-9,11-63"));
  QVERIFY(f.w->state().SelLevels[10].empty());
  QCOMPARE(f.w->state().SelLevels[11], std::string("11"));
  // The only input level: the box falls back to its default.
  f.prompt.reset();
  f.prompt.answers = {true};
  f.box(BOX_Lvl)->setText("10");
  QCOMPARE(build(), QString());
  QCOMPARE(f.prompt.lastText(),
           std::string("Please enter a value for the input levels.  The default is levels: 1-63."));
  QCOMPARE(f.text(BOX_Lvl), QString("1-63"));
}

void TstBuildCmd::outputLevelAskedOnlyWhenTicked() {
  f.box(BOX_TolMend)->setText("1");
  f.w->state().OutLevel = "10";
  QCOMPARE(build(), prefix() + " -T 1");
  QVERIFY(f.prompt.shown.empty());
}

void TstBuildCmd::missingInputFile() {
  f.box(BOX_Input)->setText("");
  f.box(BOX_TolMend)->setText("1");
  QCOMPARE(build(), QString());
  QCOMPARE(f.prompt.lastText(), std::string("The input file '' does not exist."));
  QCOMPARE(f.prompt.lastTitle(), std::string("Nodeweld"));
  QVERIFY(f.box(BOX_Input)->hasFocus());
  f.box(BOX_Input)->setText(dir.path());  // a folder is no input file
  QCOMPARE(build(), QString());
  QCOMPARE(f.prompt.lastText(), "The input file '" + dir.path().toStdString() + "' does not exist.");
}

void TstBuildCmd::ulfInput() {
  f.w->setTicked(TICK_Ulf, true);
  f.box(BOX_TolMend)->setText("1");
  QCOMPARE(build(), "perl -S nodeweld.pl -U " + input + " -T 1");
}

void TstBuildCmd::refusals_data() {
  QTest::addColumn<int>("page");
  QTest::addColumn<QStringList>("setup");  // box=value or tick name
  QTest::addColumn<QString>("message");
  QTest::addColumn<QString>("title");
  QTest::addColumn<int>("focus");
  QTest::newRow("no tolerance") << 1 << QStringList{} << "You must input a value for the mending proximity tolerance.  This tolerance sets how close (in uors) two points must be before Node Weld will snap them together." << "Node weld tolerance" << int(BOX_TolMend);
  QTest::newRow("no output level") << 1 << QStringList{"tol", "outlvl"} << "To output elements to another level, you must specify that level." << "Nodeweld" << int(BOX_Outlvl);
  QTest::newRow("no dangle level") << 1 << QStringList{"tol", "dmend"} << "To flag dangles, you must specify a level to place the flags on." << "Flag dangles" << int(BOX_DLvlMend);
  QTest::newRow("no dangle size") << 1 << QStringList{"tol", "dmend", "dmendlvl"} << "To flag dangles, you must specify a flag circle size. " << "Flag dangles" << int(BOX_DFlagSizeMend);
  QTest::newRow("no flag level") << 2 << QStringList{"flag", "flagsize"} << "You must input a level for the flags to be placed on to flag close points." << "Nodeweld" << int(BOX_FlagLvl);
  QTest::newRow("no flag size") << 2 << QStringList{"flag", "flaglvl"} << "You must input a flag size to flag close points." << "Nodeweld" << int(BOX_FlagLvl);
  QTest::newRow("no proximity") << 2 << QStringList{"flag", "flaglvl", "flagsize"} << "You must input a value for the close points proximity tolerance.  This tolerance sets how close (in uors) two points must be before they are flagged." << "Node weld tolerance" << int(BOX_FlagProxTol);
  QTest::newRow("no dangles level") << 2 << QStringList{"dnomend"} << "You must input a level for the flags to be placed on to flag dangles." << "Nodeweld" << int(BOX_DLvlNoMend);
  QTest::newRow("no dangles size") << 2 << QStringList{"dnomend", "dnomendlvl"} << "You must input a flag size to flag dangles." << "Nodeweld" << int(BOX_DFlagSizeNoMend);
}

void TstBuildCmd::refusals() {
  QFETCH(int, page);
  QFETCH(QStringList, setup);
  QFETCH(QString, message);
  QFETCH(QString, title);
  QFETCH(int, focus);
  f.showPage(page);
  for (const QString& s : setup) {
    if (s == "tol") f.box(BOX_TolMend)->setText("1");
    if (s == "outlvl") f.w->setTicked(TICK_OutLvl, true);
    if (s == "dmend") f.w->setTicked(TICK_DFlagMend, true);
    if (s == "dmendlvl") f.box(BOX_DLvlMend)->setText("40");
    if (s == "flag") f.w->setTicked(TICK_Flag, true);
    if (s == "flaglvl") f.box(BOX_FlagLvl)->setText("60");
    if (s == "flagsize") f.box(BOX_FlagSize)->setText("2");
    if (s == "dnomend") {
      f.w->setTicked(TICK_Flag, true);
      f.w->setTicked(TICK_DFlagNoMend, true);
      f.w->setTicked(TICK_Flag, false);
    }
    if (s == "dnomendlvl") f.box(BOX_DLvlNoMend)->setText("61");
  }
  f.prompt.reset();
  QCOMPARE(build(), QString());
  QCOMPARE(f.prompt.shown.size(), size_t(1));
  QCOMPARE(QString::fromStdString(f.prompt.shown[0].text), message);
  QCOMPARE(QString::fromStdString(f.prompt.shown[0].title), title);
  if (f.box(NwBox(focus))->isEnabled()) QVERIFY(f.box(NwBox(focus))->hasFocus());
}

void TstBuildCmd::outputSymbologySlot() {
  f.box(BOX_TolMend)->setText("1");
  f.w->setTicked(TICK_CoordAve, true);
  f.w->outSymFrm()->pick(1)->setCurrentIndex(2);
  f.w->outSymFrm()->pick(3)->setCurrentIndex(1);
  f.w->outSymFrm()->apply();
  QCOMPARE(build(), prefix() + " -Nm -S ,2,,1 -T 1");
}

void TstBuildCmd::otherPageSlotsDropped() {
  // A flagging run does not carry the mending page's options, nor the reverse.
  f.box(BOX_TolMend)->setText("1");
  f.w->setTicked(TICK_CoordAve, true);
  f.w->setTicked(TICK_DFlagMend, true);
  f.box(BOX_DLvlMend)->setText("40");
  f.box(BOX_DFlagSizeMend)->setText("2");
  QCOMPARE(build(), prefix() + " -Nm -T 1 -D 40,2");
  f.showPage(2);
  f.w->setTicked(TICK_Flag, true);
  f.box(BOX_FlagLvl)->setText("60");
  f.box(BOX_FlagSize)->setText("2.5");
  f.box(BOX_FlagProxTol)->setText("0.2");
  QCOMPARE(build(), prefix() + " -f 60,2.5 -T 0.2");
  f.showPage(1);
  QCOMPARE(build(), prefix() + " -Nm -T 1 -D 40,2");
}

void TstBuildCmd::pathWithBlankIsOneWord() {
  const QString spaced = dir.path() + "/my sheet.dgn";
  std::ofstream(spaced.toStdString()) << "x";
  f.box(BOX_Input)->setText(spaced);
  f.box(BOX_TolMend)->setText("0.5");
  std::vector<std::string> words;
  QCOMPARE(build(&words), "perl -S nodeweld.pl -F " + spaced + " -T 0.5");
  const std::vector<std::string> expect = {"perl", "-S", "nodeweld.pl", "-F", spaced.toStdString(), "-T", "0.5"};
  QVERIFY(words == expect);
}

void TstBuildCmd::viewShowsQuotedLine() {
  f.box(BOX_TolMend)->setText("0.5");
  f.w->viewCommandLine();
  QCOMPARE(f.prompt.shown.size(), size_t(1));
  QCOMPARE(QString::fromStdString(f.prompt.shown[0].text), "\"" + prefix() + " -T 0.5\"");
  QCOMPARE(f.prompt.shown[0].title, std::string("Current nodeweld command line"));
  QCOMPARE(f.w->state().OptVal[NW_SLOT_TOLERANCE], std::string("0.5"));
  // A refusal shows its message only.
  f.prompt.reset();
  f.box(BOX_TolMend)->setText("");
  f.w->viewCommandLine();
  QCOMPARE(f.prompt.shown.size(), size_t(1));
  QCOMPARE(f.prompt.shown[0].title, std::string("Node weld tolerance"));
}

void TstBuildCmd::menuRunChecksFocusedBox() {
  // A menu entry takes no focus: the focused box is checked first.
  f.box(BOX_TolMend)->setText("0.5");
  f.w->setTicked(TICK_OutLvl, true);  // focus goes to the output-level box
  f.box(BOX_Outlvl)->setText("70");
  f.w->viewCommandLine();
  QCOMPARE(f.prompt.shown.size(), size_t(1));
  QCOMPARE(f.prompt.lastTitle(), std::string("Output level"));
  f.prompt.reset();
  f.box(BOX_Lvl)->setText("1-5");
  f.box(BOX_Outlvl)->setFocus();
  f.box(BOX_Outlvl)->setText("12");
  f.w->viewCommandLine();
  QCOMPARE(f.w->state().OutLevel, std::string("12"));
  QCOMPARE(QString::fromStdString(f.prompt.lastText()), "\"" + prefix() + " -ll 1-5 -L 12 -T 0.5\"");
}

void TstBuildCmd::weightingTable() {
  f.box(BOX_TolMend)->setText("0.5");
  f.box(BOX_Lvl)->setText("5-9");
  f.box(BOX_Co)->setText("1-3");
  f.box(BOX_Cl)->setText("0-1");
  f.w->setTicked(TICK_CoordAve, true);
  QCOMPARE(build(), prefix() + " -ll 5-9 -lo 1-3 -Nm -T 0.5 -lc 0-1");
  WeightFrm* d = f.w->weightFrm();
  d->box(0)->setText("5");
  d->box(1)->setText("40");
  d->apply();
  QVERIFY(f.prompt.shown.empty());
  // After the selection lists, before the engine's options.
  std::vector<std::string> words;
  QCOMPARE(build(&words), prefix() + " -ll 5-9 -lo 1-3 -w NW_WEIGHT.TBL -Nm -T 0.5 -lc 0-1");
  const std::vector<std::string> expect = {"perl", "-S", "nodeweld.pl", "-F", input.toStdString(),
                                           "-ll", "5-9", "-lo", "1-3", "-w", "NW_WEIGHT.TBL",
                                           "-Nm", "-T", "0.5", "-lc", "0-1"};
  QVERIFY(words == expect);
  f.w->viewCommandLine();
  QCOMPARE(QString::fromStdString(f.prompt.lastText()),
           "\"" + prefix() + " -ll 5-9 -lo 1-3 -w NW_WEIGHT.TBL -Nm -T 0.5 -lc 0-1\"");
  // The second page carries it too.
  f.showPage(2);
  f.w->setTicked(TICK_Flag, true);
  f.box(BOX_FlagLvl)->setText("60");
  f.box(BOX_FlagSize)->setText("2.5");
  f.box(BOX_FlagProxTol)->setText("0.2");
  QCOMPARE(build(), prefix() + " -ll 5-9 -lo 1-3 -w NW_WEIGHT.TBL -f 60,2.5 -T 0.2 -lc 0-1");
  // Dropped with the table.
  d->cancel();
  QCOMPARE(build(), prefix() + " -ll 5-9 -lo 1-3 -f 60,2.5 -T 0.2 -lc 0-1");
  // The main window's Clear keeps an applied table.
  d->box(0)->setText("5");
  d->box(1)->setText("40");
  d->apply();
  f.w->clearAll();
  f.box(BOX_Input)->setText(input);
  f.showPage(1);
  f.box(BOX_TolMend)->setText("0.5");
  QCOMPARE(build(), prefix() + " -w NW_WEIGHT.TBL -T 0.5");
}

QTEST_MAIN(TstBuildCmd)
#include "tst_buildcmd.moc"
