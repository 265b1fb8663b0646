// Tests of the main window with real widgets on the offscreen platform:
// start-up state, tabs, enabling and colouring rules, hover emphasis, Clear,
// the lost-focus checks and their questions, Browse, About and Exit.
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "frontend/ui/aboutfrm.h"
#include "frontend/ui/levelfrm.h"
#include "frontend/ui/outsymfrm.h"
#include "tests/frontend/fe_fixture.h"

namespace {
const QColor kWhite(0xFF, 0xFF, 0xFF);
const QColor kGrey(0xC0, 0xC0, 0xC0);
QColor base(QWidget* w) { return w->palette().color(QPalette::Base); }
}  // namespace

class TstMainfrm : public QObject {
  Q_OBJECT
  FeWindow f;

 private slots:
  void init() { QVERIFY(f.open()); }
  void cleanup() { f.close(); }

  void startUp();
  void menusAndShortcuts();
  void tabPages();
  void dangleRules();
  void flagRule();
  void outLevelRule();
  void saveOrigQuestions();
  void hoverEmphasis();
  void clearAll();
  void criteriaChecks_data();
  void criteriaChecks();
  void criteriaAccepted_data();
  void criteriaAccepted();
  void levelConflicts();
  void levelConflictOrder();
  void levelConflictLastLevel();
  void levelBoxChecks_data();
  void levelBoxChecks();
  void levelBoxQuestion();
  void outLevelBox();
  void numberBoxes_data();
  void numberBoxes();
  void refusedClickDoesNotAct();
  void switchingWindowsRunsNoCheck();
  void realMessageBoxes();
  void fileDialog();
  void about();
  void helpPage();
  void exitEndsAtOnce();
};

void TstMainfrm::startUp() {
  QCOMPARE(f.w->objectName(), QString("Mainfrm"));
  QCOMPARE(f.w->windowTitle(), QString("Nodeweld Interface"));
  QCOMPARE(f.w->minimumSize(), f.w->maximumSize());  // fixed size
  const char* boxes[] = {"1-63", "3,4", "0-7", "0-30", "0-255", "0,2"};
  for (int i = 0; i < 6; ++i) QCOMPARE(f.text(NwBox(BOX_Lvl + i)), QString(boxes[i]));
  QVERIFY(f.find<QRadioButton>("DgnOpt")->isChecked());
  QVERIFY(f.find<QRadioButton>("ModalOpt")->isChecked());
  QVERIFY(!f.find<QFrame>("FrameTab1")->isHidden());
  QVERIFY(f.find<QFrame>("FrameTab2")->isHidden());
  QCOMPARE(f.w->state().CurFrame, 1);
  QCOMPARE(f.w->state().NumFrames, 2);
  QCOMPARE(f.find<QLabel>("Versionlbl")->text(), QString("ver 3.1.1"));
  QCOMPARE(f.find<QPushButton>("ApplyCmd")->text(), QString("Run "));
  QCOMPARE(f.find<QTabBar>("TabStrip1")->tabText(1), QString("Don't Mend Elements"));
  QCOMPARE(f.find<QTabBar>("TabStrip1")->toolTip(), QString("Choose either Mend or Don't Mend"));
  QCOMPARE(f.find<QCheckBox>("OutLvlChck")->text(), QString(" Put modified linework on new level:"));
  QVERIFY(f.text(BOX_Input).isEmpty());
  QVERIFY(f.box(BOX_TolMend)->isEnabled());
  for (NwBox b : {BOX_DLvlMend, BOX_DFlagSizeMend, BOX_Outlvl, BOX_FlagProxTol, BOX_FlagLvl,
                  BOX_FlagSize, BOX_DLvlNoMend, BOX_DFlagSizeNoMend}) {
    QVERIFY2(!f.box(b)->isEnabled(), qPrintable(f.box(b)->objectName()));
    QCOMPARE(base(f.box(b)), f.w->centralWidget()->palette().color(QPalette::Button));
  }
  QVERIFY(!f.tick(TICK_SaveOrig)->isEnabled());
  QVERIFY(!f.tick(TICK_DFlagNoMend)->isEnabled());
  for (int t = TICK_DFlagMend; t < TICK_COUNT; ++t) QVERIFY(!f.tick(NwTick(t))->isChecked());
  QCOMPARE(f.w->centralWidget()->palette().color(QPalette::Window), kGrey);
  QVERIFY(f.w->state().OutLevel.empty());
  for (int i = 0; i < NW_SLOTS; ++i) QVERIFY(f.w->state().OptFlag[i].empty());
  // The Levels and Output Options dialogs exist from the start, hidden.
  QVERIFY(f.w->levelFrm() && f.w->levelFrm()->isHidden());
  QVERIFY(f.w->outSymFrm() && f.w->outSymFrm()->isHidden());
}

void TstMainfrm::menusAndShortcuts() {
  struct Entry {
    const char* name;
    const char* text;
    QKeySequence key;
  } entries[] = {
    {"OpenMenu", "&Open file", {}},         {"ExitMenu", "E&xit", {}},
    {"ClearMenu", "&Clear", {}},            {"LevelsMenu", "&Levels", QKeySequence("Ctrl+E")},
    {"ElementsMenu", "E&lements", QKeySequence("Ctrl+L")},
    {"InSymMenu", "&Symbology", QKeySequence("Ctrl+I")},
    {"OutSymMenu", "S&ymbology", QKeySequence("Ctrl+O")},
    {"ViewMenu", "&View command line", {}}, {"RunMenu", "&Run NODEWELD", {}},
    {"HelpMenu", "&Nodeweld Help Contents", {}}, {"AboutMenu", "&About Nodeweld", {}},
  };
  for (const Entry& e : entries) {
    QAction* a = f.w->findChild<QAction*>(QString::fromLatin1(e.name));
    QVERIFY2(a, e.name);
    QCOMPARE(a->text(), QString::fromLatin1(e.text));
    QCOMPARE(a->shortcut(), e.key);
  }
  QStringList menus;
  for (QAction* a : f.w->menuBar()->actions()) menus << a->text();
  QCOMPARE(menus, QStringList({"&File", "&Edit", "&Input", "&Output", "&Run", "&Help"}));
  // Ctrl+E shows the Levels dialog.
  QTest::keyClick(f.w.get(), Qt::Key_E, Qt::ControlModifier);
  QTRY_VERIFY(f.w->levelFrm()->isVisible());
}

void TstMainfrm::tabPages() {
  QTabBar* tabs = f.find<QTabBar>("TabStrip1");
  QFrame* p1 = f.find<QFrame>("FrameTab1");
  QFrame* p2 = f.find<QFrame>("FrameTab2");
  QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(0).center());
  QCOMPARE(f.w->state().CurFrame, 1);
  QVERIFY(!p1->isHidden() && p2->isHidden());
  // A refused entry on the page being left keeps the page.
  f.type(BOX_TolMend, "1,5");
  QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
  QCOMPARE(f.prompt.shown.size(), size_t(1));
  QCOMPARE(f.w->state().CurFrame, 1);
  QCOMPARE(tabs->currentIndex(), 0);
  QVERIFY(!p1->isHidden() && p2->isHidden());
  QVERIFY(f.box(BOX_TolMend)->hasFocus());
  QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
  QCOMPARE(f.w->state().CurFrame, 2);
  QVERIFY(p1->isHidden() && !p2->isHidden());
  QCOMPARE(f.w->selectedTabCaption(), std::string("Don't Mend Elements"));
  // Clear keeps the page.
  f.w->clearAll();
  QCOMPARE(f.w->state().CurFrame, 2);
  QVERIFY(!p2->isHidden());
}

void TstMainfrm::dangleRules() {
  for (int page = 1; page <= 2; ++page) {
    const NwTick t = page == 1 ? TICK_DFlagMend : TICK_DFlagNoMend;
    const NwBox lvl = page == 1 ? BOX_DLvlMend : BOX_DLvlNoMend;
    const NwBox size = page == 1 ? BOX_DFlagSizeMend : BOX_DFlagSizeNoMend;
    QLabel* lbl = f.find<QLabel>(page == 1 ? "DLvlMendLbl" : "DLvlNoMendLbl");
    f.showPage(page);
    if (page == 2) f.w->setTicked(TICK_Flag, true);
    f.w->setTicked(t, true);
    QVERIFY(f.box(lvl)->isEnabled() && f.box(size)->isEnabled() && lbl->isEnabled());
    QCOMPARE(base(f.box(lvl)), kWhite);
    f.box(lvl)->setText("12");
    f.box(size)->setText("2.5");
    f.w->setTicked(t, false);
    QVERIFY(!f.box(lvl)->isEnabled() && !f.box(size)->isEnabled() && !lbl->isEnabled());
    QVERIFY(f.text(lvl).isEmpty() && f.text(size).isEmpty());
    QCOMPARE(base(f.box(size)), kGrey);
  }
}

void TstMainfrm::flagRule() {
  f.showPage(2);
  f.w->setTicked(TICK_Flag, true);
  QVERIFY(f.tick(TICK_DFlagNoMend)->isEnabled());
  for (NwBox b : {BOX_FlagProxTol, BOX_FlagLvl, BOX_FlagSize}) {
    QVERIFY(f.box(b)->isEnabled());
    QCOMPARE(base(f.box(b)), kWhite);
  }
  f.box(BOX_FlagProxTol)->setText("1.0");
  f.box(BOX_FlagLvl)->setText("60");
  f.box(BOX_FlagSize)->setText("2.5");
  f.w->setTicked(TICK_DFlagNoMend, true);
  f.box(BOX_DLvlNoMend)->setText("61");
  f.w->setTicked(TICK_Flag, false);
  // Texts kept, boxes disabled and grey; the dangles tick and its boxes stay.
  QCOMPARE(f.text(BOX_FlagProxTol), QString("1.0"));
  QCOMPARE(f.text(BOX_FlagLvl), QString("60"));
  QCOMPARE(f.text(BOX_FlagSize), QString("2.5"));
  for (NwBox b : {BOX_FlagProxTol, BOX_FlagLvl, BOX_FlagSize}) {
    QVERIFY(!f.box(b)->isEnabled());
    QCOMPARE(base(f.box(b)), kGrey);
  }
  QVERIFY(!f.find<QLabel>("FlagLvlLbl")->isEnabled());
  QVERIFY(!f.tick(TICK_DFlagNoMend)->isEnabled());
  QVERIFY(f.tick(TICK_DFlagNoMend)->isChecked());
  QCOMPARE(f.text(BOX_DLvlNoMend), QString("61"));
}

void TstMainfrm::outLevelRule() {
  f.w->setTicked(TICK_OutLvl, true);
  QVERIFY(f.box(BOX_Outlvl)->isEnabled());
  QCOMPARE(base(f.box(BOX_Outlvl)), kWhite);
  QVERIFY(f.box(BOX_Outlvl)->hasFocus());
  QVERIFY(f.tick(TICK_SaveOrig)->isEnabled());
  f.box(BOX_Outlvl)->setText("7");
  f.prompt.answers = {true};
  f.w->setTicked(TICK_SaveOrig, true);
  f.w->setTicked(TICK_OutLvl, false);
  QVERIFY(f.text(BOX_Outlvl).isEmpty());
  QVERIFY(!f.box(BOX_Outlvl)->isEnabled());
  QCOMPARE(base(f.box(BOX_Outlvl)), kGrey);
  QVERIFY(!f.tick(TICK_SaveOrig)->isEnabled());
  QVERIFY(f.tick(TICK_SaveOrig)->isChecked());  // its tick does not change
}

void TstMainfrm::saveOrigQuestions() {
  // No output level stored: OK ticks the output-level box and focuses it.
  f.w->setTicked(TICK_OutLvl, true);
  f.box(BOX_Input)->setFocus();
  f.prompt.answers = {true};
  f.w->setTicked(TICK_SaveOrig, true);
  QCOMPARE(f.prompt.shown.size(), size_t(1));
  QCOMPARE(QString::fromStdString(f.prompt.shown[0].text),
           QString("An output level for the modified linework\rhas not been set. It is "
                   "required for this option.\r\rTo set the output level click OK"));
  QCOMPARE(f.prompt.shown[0].title, std::string("Nodeweld"));
  QCOMPARE(f.prompt.shown[0].kind, NW_ASK_OKCANCEL);
  QVERIFY(f.tick(TICK_OutLvl)->isChecked());
  QVERIFY(f.box(BOX_Outlvl)->hasFocus());
  QVERIFY(f.tick(TICK_SaveOrig)->isChecked());

  // Cancel unticks "Save original linework".
  f.w->setTicked(TICK_SaveOrig, false);
  f.prompt.reset();
  f.prompt.answers = {false};
  f.w->setTicked(TICK_SaveOrig, true);
  QCOMPARE(f.prompt.shown.size(), size_t(1));
  QVERIFY(!f.tick(TICK_SaveOrig)->isChecked());

  // A stored output level: confirm it; Cancel puts the focus in its box.
  f.prompt.answers = {true};  // remove level 9 from the input levels
  f.enter(BOX_Outlvl, "9");
  QCOMPARE(f.w->state().OutLevel, std::string("9"));
  f.prompt.reset();
  f.prompt.answers = {false};
  f.box(BOX_Input)->setFocus();
  f.w->setTicked(TICK_SaveOrig, true);
  QCOMPARE(QString::fromStdString(f.prompt.lastText()),
           QString("Modified linework will be placed on level: 9\r\rIf this is correct click "
                   "OK\rOtherwise click CANCEL"));
  QCOMPARE(f.prompt.lastTitle(), std::string("Save Original Linework"));
  QVERIFY(f.box(BOX_Outlvl)->hasFocus());
  QVERIFY(f.tick(TICK_SaveOrig)->isChecked());
}

void TstMainfrm::hoverEmphasis() {
  QPushButton* lvl = f.find<QPushButton>("LvlCmd");
  QPushButton* run = f.find<QPushButton>("ApplyCmd");
  QPushButton* exitB = f.find<QPushButton>("EndCmd");
  auto enter = [](QWidget* w) {
    QEnterEvent e(QPointF(2, 2), QPointF(2, 2), w->mapToGlobal(QPointF(2, 2)));
    QApplication::sendEvent(w, &e);
  };
  auto move = [](QWidget* w) {
    QMouseEvent e(QEvent::MouseMove, QPointF(3, 3), w->mapToGlobal(QPointF(3, 3)), Qt::NoButton,
                  Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
  };
  enter(lvl);
  enter(run);
  enter(exitB);
  QVERIFY(lvl->font().bold() && run->font().bold() && exitB->font().bold());
  move(f.find<QGroupBox>("Frame1"));
  QVERIFY(!lvl->font().bold());
  QVERIFY(run->font().bold());
  move(f.find<QGroupBox>("Frame3"));
  QVERIFY(!run->font().bold() && !exitB->font().bold());
  // Check boxes get no emphasis.
  enter(f.tick(TICK_Save));
  QVERIFY(!f.tick(TICK_Save)->font().bold());
  // The Levels dialog's Apply sets "levels:" normal again.
  enter(lvl);
  f.w->showLevels();
  QVERIFY(waitActive(f.w->levelFrm()));
  f.w->levelFrm()->apply();
  QVERIFY(!lvl->font().bold());
}

void TstMainfrm::clearAll() {
  f.box(BOX_Input)->setText("/tmp/x.dgn");
  f.box(BOX_TolMend)->setText("0.5");
  f.w->setTicked(TICK_DFlagMend, true);
  f.box(BOX_DLvlMend)->setText("5");
  f.box(BOX_DFlagSizeMend)->setText("1");
  f.w->setTicked(TICK_CoordAve, true);
  f.w->setTicked(TICK_Ulf, true);
  f.w->setTicked(TICK_Save, true);
  f.w->setTicked(TICK_OutLvl, true);
  f.enter(BOX_Outlvl, "12");
  f.prompt.answers = {true};
  f.w->setTicked(TICK_SaveOrig, true);
  f.w->setTicked(TICK_Flag, true);
  f.box(BOX_FlagProxTol)->setText("1");
  f.box(BOX_FlagLvl)->setText("20");
  f.box(BOX_FlagSize)->setText("2");
  f.w->setTicked(TICK_DFlagNoMend, true);
  f.box(BOX_DLvlNoMend)->setText("30");
  f.box(BOX_DFlagSizeNoMend)->setText("3");
  for (int i = 0; i < 6; ++i) f.box(NwBox(BOX_Lvl + i))->setText("1");
  f.w->state().SelLevels[5] = "5";
  f.w->state().OptFlag[3] = "-e";
  f.w->state().OptVal[3] = "2";
  f.w->outSymFrm()->pick(0)->setCurrentIndex(3);
  f.w->outSymFrm()->apply();
  QCOMPARE(f.w->state().OptVal[NW_SLOT_SYMBOLOGY], std::string("3,,,"));
  f.showPage(2);
  f.prompt.reset();

  QTest::mouseClick(f.find<QPushButton>("ClearCmd"), Qt::LeftButton);
  QVERIFY(f.prompt.shown.empty());
  QVERIFY(f.text(BOX_TolMend).isEmpty());
  QVERIFY(!f.tick(TICK_DFlagMend)->isChecked());
  QVERIFY(f.text(BOX_DLvlMend).isEmpty() && !f.box(BOX_DLvlMend)->isEnabled());
  QCOMPARE(base(f.box(BOX_DFlagSizeMend)), kGrey);
  QVERIFY(!f.find<QLabel>("DFlagSizeMendLbl")->isEnabled());
  QVERIFY(!f.tick(TICK_Flag)->isChecked());
  for (NwBox b : {BOX_FlagProxTol, BOX_FlagLvl, BOX_FlagSize}) QVERIFY(f.text(b).isEmpty());
  QVERIFY(!f.tick(TICK_OutLvl)->isChecked());
  QCOMPARE(f.w->state().OutLevel, std::string("0"));
  QVERIFY(f.find<QRadioButton>("ModalOpt")->isChecked());
  QVERIFY(!f.tick(TICK_SaveOrig)->isChecked());
  for (const std::string& s : f.w->state().SelLevels) QVERIFY(s.empty());
  QVERIFY(f.text(BOX_Input).isEmpty());
  for (int i = 0; i < 4; ++i) QCOMPARE(f.w->outSymFrm()->pick(i)->currentIndex(), -1);
  const char* boxes[] = {"1-63", "3,4", "0-7", "0-30", "0-255", "0,2"};
  for (int i = 0; i < 6; ++i) QCOMPARE(f.text(NwBox(BOX_Lvl + i)), QString(boxes[i]));
  for (int i = 0; i < NW_SLOTS; ++i) {
    QVERIFY(f.w->state().OptFlag[i].empty());
    QVERIFY(f.w->state().OptVal[i].empty());
  }
  // Untouched: page, input type, second page's dangles, log tick.
  QCOMPARE(f.w->state().CurFrame, 2);
  QVERIFY(f.tick(TICK_Ulf)->isChecked());
  QVERIFY(f.tick(TICK_DFlagNoMend)->isChecked());
  QCOMPARE(f.text(BOX_DLvlNoMend), QString("30"));
  QCOMPARE(f.text(BOX_DFlagSizeNoMend), QString("3"));
  QVERIFY(f.tick(TICK_Save)->isChecked());

  // Clear from the menu while a box that Clear disables holds an unchecked
  // entry: no check runs on the way.
  f.w->setTicked(TICK_Flag, true);
  f.type(BOX_FlagLvl, "99");
  f.w->findChild<QAction*>("ClearMenu")->trigger();
  QVERIFY(f.prompt.shown.empty());
  QVERIFY(!f.box(BOX_FlagLvl)->isEnabled());
}

void TstMainfrm::criteriaChecks_data() {
  QTest::addColumn<int>("box");
  QTest::addColumn<QString>("input");
  QTest::addColumn<QString>("message");
  QTest::addColumn<QString>("title");
  QTest::addColumn<QString>("after");
  QTest::newRow("levels range") << int(BOX_Lvl) << "70" << "Level 70 is an invalid level.  Please enter the levels again." << "Nodeweld levels" << "1-63";
  QTest::newRow("levels blank") << int(BOX_Lvl) << "1 2" << "Spaces are not allowed in level input.  Instead, use commas to separate level numbers.  Please enter the levels again." << "Nodeweld levels" << "1-63";
  QTest::newRow("levels empty") << int(BOX_Lvl) << "-," << "Please enter a value for the input levels.  The default is levels: 1-63." << "Nodeweld levels" << "1-63";
  QTest::newRow("styles reversed") << int(BOX_Sty) << "7-3" << "'Styles 7-3' is invalid.  Please enter the styles again." << "Nodeweld styles" << "0-7";
  QTest::newRow("colors 256") << int(BOX_Co) << "256" << "Color 256 is an invalid color.  Please enter the colors again." << "Nodeweld colors" << "0-255";
  QTest::newRow("weights char") << int(BOX_Wt) << "1,a2" << "The character a is an invalid character in the weights text box.  Please enter the weights again." << "Nodeweld weights" << "0-30";
  QTest::newRow("classes missing") << int(BOX_Cl) << "1,,2" << "A value is missing.  There are too many commas or dashes in your input '1,,'.  Please enter the classes again." << "Nodeweld classes" << "0,2";
  QTest::newRow("elements 3,5") << int(BOX_Ele) << "3,5" << "Element type 5 is an invalid element type.  Please enter the element types again." << "Nodeweld element types" << "3,4";
  QTest::newRow("elements 2-27") << int(BOX_Ele) << "2-27" << "Element type 5 is an invalid element type.  Please enter the element types again." << "Nodeweld element types" << "3,4";
  QTest::newRow("elements 05 alone") << int(BOX_Ele) << "05" << "Element type 05 is an invalid element type.  Please enter the element types again." << "Nodeweld element types" << "3,4";
  QTest::newRow("elements missing") << int(BOX_Ele) << ",3" << "A value is missing.  There are too many commas or dashes in your input ','.  Please enter the elements again." << "Nodeweld elements" << "3,4";
}

void TstMainfrm::criteriaChecks() {
  QFETCH(int, box);
  QFETCH(QString, input);
  QFETCH(QString, message);
  QFETCH(QString, title);
  QFETCH(QString, after);
  f.enter(NwBox(box), input);
  QCOMPARE(f.prompt.shown.size(), size_t(1));
  QVERIFY(!f.prompt.shown[0].question);
  QCOMPARE(QString::fromStdString(f.prompt.shown[0].text), message);
  QCOMPARE(QString::fromStdString(f.prompt.shown[0].title), title);
  QCOMPARE(f.text(NwBox(box)), after);
  QVERIFY(f.box(NwBox(box))->hasFocus());
}

void TstMainfrm::criteriaAccepted_data() {
  QTest::addColumn<int>("box");
  QTest::addColumn<QString>("input");
  QTest::addColumn<QString>("after");
  QTest::newRow("trailing comma dropped") << int(BOX_Lvl) << "1-5," << "1-5";
  QTest::newRow("colors 007 kept") << int(BOX_Co) << "007" << "007";
  QTest::newRow("element types") << int(BOX_Ele) << "2-4,6,27" << "2-4,6,27";
  QTest::newRow("classes") << int(BOX_Cl) << "0-7" << "0-7";
}

void TstMainfrm::criteriaAccepted() {
  QFETCH(int, box);
  QFETCH(QString, input);
  QFETCH(QString, after);
  f.enter(NwBox(box), input);
  QVERIFY(f.prompt.shown.empty());
  QCOMPARE(f.text(NwBox(box)), after);
}

void TstMainfrm::levelConflicts() {
  f.showPage(2);
  f.w->setTicked(TICK_Flag, true);
  f.box(BOX_FlagLvl)->setText("10");
  // No: the levels box keeps its list and gets the focus back.
  f.prompt.answers = {false};
  f.enter(BOX_Lvl, "1-63");
  QCOMPARE(f.prompt.shown.size(), size_t(1));
  QCOMPARE(QString::fromStdString(f.prompt.shown[0].text),
           QString("The close points flagging level: 10 is also one of your input levels: "
                   "1-63.  Do you wish to remove level 10 from your input level list?"));
  QCOMPARE(f.prompt.shown[0].title, std::string("Input levels vs. output and flagging levels"));
  QCOMPARE(f.prompt.shown[0].kind, NW_ASK_YESNO);
  QCOMPARE(f.text(BOX_Lvl), QString("1-63"));
  QVERIFY(f.box(BOX_Lvl)->hasFocus());
  // Yes: level 10 leaves the list.
  f.prompt.reset();
  f.prompt.answers = {true};
  f.leaveTo(f.box(BOX_Input));
  QCOMPARE(f.prompt.shown.size(), size_t(1));
  QCOMPARE(f.text(BOX_Lvl), QString("1-9,11-63"));
  // An unticked flag option asks nothing.
  f.w->setTicked(TICK_Flag, false);
  f.prompt.reset();
  f.enter(BOX_Lvl, "1-63");
  QVERIFY(f.prompt.shown.empty());
}

void TstMainfrm::levelConflictOrder() {
  f.w->setTicked(TICK_OutLvl, true);
  f.prompt.answers = {true};
  f.enter(BOX_Outlvl, "5");
  QCOMPARE(f.w->state().OutLevel, std::string("5"));
  f.w->setTicked(TICK_DFlagMend, true);
  f.box(BOX_DLvlMend)->setText("6");
  f.showPage(2);
  f.w->setTicked(TICK_Flag, true);
  f.box(BOX_FlagLvl)->setText("7");
  f.w->setTicked(TICK_DFlagNoMend, true);
  f.box(BOX_DLvlNoMend)->setText("8");
  f.showPage(1);
  f.prompt.reset();
  f.prompt.answers = {true, true, false};
  f.enter(BOX_Lvl, "1-63");
  QCOMPARE(f.prompt.shown.size(), size_t(3));
  QCOMPARE(QString::fromStdString(f.prompt.shown[0].text),
           QString("The element output level: 5 is also one of your input levels: 1-63.  Do "
                   "you wish to remove level 5 from your input level list?"));
  QCOMPARE(QString::fromStdString(f.prompt.shown[1].text),
           QString("The dangles flagging level: 6 is also one of your input levels: 1-4,6-63.  "
                   "Do you wish to remove level 6 from your input level list?"));
  QCOMPARE(QString::fromStdString(f.prompt.shown[2].text),
           QString("The close points flagging level: 7 is also one of your input levels: "
                   "1-4,7-63.  Do you wish to remove level 7 from your input level list?"));
  // The No to the third stops before the fourth question.
  QCOMPARE(f.text(BOX_Lvl), QString("1-4,7-63"));
  QVERIFY(f.box(BOX_Lvl)->hasFocus());
}

void TstMainfrm::levelConflictLastLevel() {
  // Removing the only input level does not leave an empty levels box.
  f.showPage(2);
  f.w->setTicked(TICK_Flag, true);
  f.box(BOX_FlagLvl)->setText("10");
  f.prompt.answers = {true};
  f.enter(BOX_Lvl, "10");
  QCOMPARE(f.prompt.shown.size(), size_t(2));
  QCOMPARE(QString::fromStdString(f.prompt.shown[1].text),
           QString("Please enter a value for the input levels.  The default is levels: 1-63."));
  QCOMPARE(f.text(BOX_Lvl), QString("1-63"));
}

void TstMainfrm::levelBoxChecks_data() {
  QTest::addColumn<int>("box");
  QTest::addColumn<QString>("input");
  QTest::addColumn<QString>("message");
  QTest::addColumn<QString>("title");
  QTest::newRow("dangles 64") << int(BOX_DLvlMend) << "64" << "Level 64 is an invalid level.  Please enter the flagging level again." << "Dangles flagging level";
  QTest::newRow("close points 64") << int(BOX_FlagLvl) << "064" << "Level 64 is an invalid level.  Please enter the flagging level again." << "Close points flagging level";
  QTest::newRow("dangles page 2 big") << int(BOX_DLvlNoMend) << "99999999999999999999" << "Level 99999999999999999999 is an invalid level.  Please enter the flagging level again." << "Dangles flagging level";
  QTest::newRow("output 70") << int(BOX_Outlvl) << "70" << "Level 70 is an invalid level.  Please enter the output level again." << "Output level";
  QTest::newRow("letter") << int(BOX_FlagLvl) << "1a" << "The character 'a' is not a valid level.  Please enter only numbers." << "Nodeweld";
  QTest::newRow("minus") << int(BOX_DLvlMend) << "-3" << "The character '-' is not a valid level.  Please enter only numbers." << "Nodeweld";
}

void TstMainfrm::levelBoxChecks() {
  QFETCH(int, box);
  QFETCH(QString, input);
  QFETCH(QString, message);
  QFETCH(QString, title);
  const NwBox b = NwBox(box);
  if (b == BOX_Outlvl) {
    f.w->setTicked(TICK_OutLvl, true);
    f.enter(BOX_Outlvl, "3");  // an earlier accepted level
    f.w->setTicked(TICK_OutLvl, true);
  }
  if (b == BOX_DLvlMend) f.w->setTicked(TICK_DFlagMend, true);
  if (b == BOX_FlagLvl || b == BOX_DLvlNoMend) {
    f.showPage(2);
    f.w->setTicked(TICK_Flag, true);
    f.w->setTicked(TICK_DFlagNoMend, true);
  }
  f.prompt.reset();
  f.enter(b, input);
  QCOMPARE(f.prompt.shown.size(), size_t(1));  // no conflict question follows
  QCOMPARE(QString::fromStdString(f.prompt.shown[0].text), message);
  QCOMPARE(QString::fromStdString(f.prompt.shown[0].title), title);
  QVERIFY(f.text(b).isEmpty());
  QVERIFY(f.box(b)->hasFocus());
  if (b == BOX_Outlvl && input == "70") QVERIFY(f.w->state().OutLevel.empty());
}

void TstMainfrm::levelBoxQuestion() {
  f.showPage(2);
  f.w->setTicked(TICK_Flag, true);
  f.prompt.answers = {false};
  f.enter(BOX_FlagLvl, "20");
  QCOMPARE(f.prompt.shown.size(), size_t(1));
  QCOMPARE(QString::fromStdString(f.prompt.shown[0].text),
           QString("Close points flagging level 20 was also selected as \rone of the input "
                   "levels: 1-63. \rWould you like to remove it from the input level list?"));
  QCOMPARE(f.prompt.shown[0].title, std::string("Close points flagging level vs. Input levels"));
  QVERIFY(f.box(BOX_FlagLvl)->hasFocus());
  QCOMPARE(f.text(BOX_Lvl), QString("1-63"));
  f.prompt.reset();
  f.prompt.answers = {true};
  f.leaveTo(f.box(BOX_Input));
  QCOMPARE(f.text(BOX_Lvl), QString("1-19,21-63"));
  // Level 0 is accepted and never conflicts; a level typed 05 is compared as text.
  f.prompt.reset();
  f.enter(BOX_FlagLvl, "0");
  f.enter(BOX_FlagLvl, "05");
  QVERIFY(f.prompt.shown.empty());
  // The dangles box on the first page with its own wording.
  f.showPage(1);
  f.w->setTicked(TICK_DFlagMend, true);
  f.prompt.answers = {true};
  f.enter(BOX_DLvlMend, "21");
  QCOMPARE(QString::fromStdString(f.prompt.lastText()),
           QString("Dangles flagging level 21 was also selected as \rone of the input "
                   "levels: 1-19,21-63. \rWould you like to remove it from the input level list?"));
  QCOMPARE(f.prompt.lastTitle(), std::string("Dangles flagging level vs. Input levels"));
  QCOMPARE(f.text(BOX_Lvl), QString("1-19,22-63"));
}

void TstMainfrm::outLevelBox() {
  // Emptied and left by Tab: "Put modified linework on new level" is unticked.
  f.w->setTicked(TICK_OutLvl, true);
  f.leaveTo(f.box(BOX_Input));
  QVERIFY(!f.tick(TICK_OutLvl)->isChecked());
  QVERIFY(!f.box(BOX_Outlvl)->isEnabled());
  QVERIFY(f.prompt.shown.empty());
  // Left by clicking the check box: no check; the click toggles it.
  f.w->setTicked(TICK_OutLvl, true);
  QTest::mouseClick(f.tick(TICK_OutLvl), Qt::LeftButton);
  QVERIFY(!f.tick(TICK_OutLvl)->isChecked());
  QVERIFY(f.prompt.shown.empty());
  // A level that conflicts: Yes stores it and removes it from the input list.
  f.w->setTicked(TICK_OutLvl, true);
  f.prompt.answers = {true};
  f.enter(BOX_Outlvl, "12");
  QCOMPARE(QString::fromStdString(f.prompt.lastText()),
           QString("Output level 12 was also selected as \rone of the input levels: 1-63. "
                   "\rWould you like to remove it from the input level list?"));
  QCOMPARE(f.prompt.lastTitle(), std::string("Output level vs. Input levels"));
  QCOMPARE(f.w->state().OutLevel, std::string("12"));
  QCOMPARE(f.text(BOX_Lvl), QString("1-11,13-63"));
  // No keeps the earlier stored level.
  f.prompt.reset();
  f.prompt.answers = {false};
  f.enter(BOX_Outlvl, "13");
  QCOMPARE(f.w->state().OutLevel, std::string("12"));
  QVERIFY(f.box(BOX_Outlvl)->hasFocus());
}

void TstMainfrm::numberBoxes_data() {
  QTest::addColumn<int>("box");
  QTest::addColumn<QString>("input");
  QTest::addColumn<QString>("message");  // empty = accepted
  QTest::newRow("tolerance dots") << int(BOX_TolMend) << "1.2.3" << "";
  QTest::newRow("tolerance comma") << int(BOX_TolMend) << "1,5" << "The character ',' is not a valid tolerance.  Please enter only numbers and decimals.";
  QTest::newRow("proximity") << int(BOX_FlagProxTol) << "0.5e" << "The character 'e' is not a valid tolerance.  Please enter only numbers and decimals.";
  QTest::newRow("size") << int(BOX_FlagSize) << "-2" << "The character '-' is not a valid size.  Please enter only numbers and decimals.";
  QTest::newRow("dangle size") << int(BOX_DFlagSizeMend) << "2 " << "The character ' ' is not a valid size.  Please enter only numbers and decimals.";
  QTest::newRow("dangle size page 2") << int(BOX_DFlagSizeNoMend) << "3" << "";
}

void TstMainfrm::numberBoxes() {
  QFETCH(int, box);
  QFETCH(QString, input);
  QFETCH(QString, message);
  f.w->setTicked(TICK_DFlagMend, true);
  if (box >= BOX_FlagProxTol) {
    f.showPage(2);
    f.w->setTicked(TICK_Flag, true);
    f.w->setTicked(TICK_DFlagNoMend, true);
  }
  f.enter(NwBox(box), input);
  if (message.isEmpty()) {
    QVERIFY(f.prompt.shown.empty());
    QCOMPARE(f.text(NwBox(box)), input);
    return;
  }
  QCOMPARE(f.prompt.shown.size(), size_t(1));
  QCOMPARE(QString::fromStdString(f.prompt.shown[0].text), message);
  QCOMPARE(f.prompt.shown[0].title, std::string("Nodeweld"));
  QVERIFY(f.text(NwBox(box)).isEmpty());
  QVERIFY(f.box(NwBox(box))->hasFocus());
}

void TstMainfrm::refusedClickDoesNotAct() {
  f.box(BOX_Input)->setText("/tmp/keep.dgn");
  f.type(BOX_TolMend, "1,5");
  QTest::mouseClick(f.find<QPushButton>("ClearCmd"), Qt::LeftButton);
  QCOMPARE(f.prompt.shown.size(), size_t(1));
  QCOMPARE(f.text(BOX_Input), QString("/tmp/keep.dgn"));  // Clear did not run
  QVERIFY(f.box(BOX_TolMend)->hasFocus());
  // A valid entry lets the click through.
  f.box(BOX_TolMend)->setText("1.5");
  QTest::mouseClick(f.find<QPushButton>("ClearCmd"), Qt::LeftButton);
  QVERIFY(f.text(BOX_Input).isEmpty());
}

void TstMainfrm::switchingWindowsRunsNoCheck() {
  // Opening a dialog moves the focus to another window: no check runs then.
  f.type(BOX_Sty, "9");
  f.w->showWeighting();
  QWidget* weighting = f.w->findChild<QWidget*>("WeightFrm");
  QVERIFY(waitActive(weighting));
  QVERIFY(f.prompt.shown.empty());
  QCOMPARE(f.text(BOX_Sty), QString("9"));
}

void TstMainfrm::realMessageBoxes() {
  // The program's own message boxes, answered by pressing their buttons.
  f.w->setPrompt(nullptr);
  QStringList seen;
  QList<QMessageBox::StandardButton> presses;
  QTimer answer;
  answer.setInterval(20);
  connect(&answer, &QTimer::timeout, this, [&] {
    QMessageBox* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || presses.isEmpty()) return;
    seen << box->windowTitle() + "|" + box->text();
    QTest::mouseClick(box->button(presses.takeFirst()), Qt::LeftButton);
  });
  answer.start();

  // A refusal inside the focus change: message, box reset, focus back.
  presses = {QMessageBox::Ok};
  f.enter(BOX_Lvl, "70");
  QCOMPARE(seen, QStringList({"Nodeweld levels|Level 70 is an invalid level.  Please enter the levels again."}));
  QCOMPARE(f.text(BOX_Lvl), QString("1-63"));
  QTRY_VERIFY(f.box(BOX_Lvl)->hasFocus());
  QVERIFY(waitActive(f.w.get()));

  // A question with line breaks, answered No by its button.
  seen.clear();
  f.showPage(2);
  f.w->setTicked(TICK_Flag, true);
  presses = {QMessageBox::No};
  f.enter(BOX_FlagLvl, "20");
  QCOMPARE(seen, QStringList({"Close points flagging level vs. Input levels|Close points flagging "
                              "level 20 was also selected as \none of the input levels: 1-63. "
                              "\nWould you like to remove it from the input level list?"}));
  QCOMPARE(f.text(BOX_Lvl), QString("1-63"));
  QTRY_VERIFY(f.box(BOX_FlagLvl)->hasFocus());
  QVERIFY(waitActive(f.w.get()));
  // Leaving the page checks the box again; No keeps the page.
  seen.clear();
  presses = {QMessageBox::No};
  f.showPage(1);
  QCOMPARE(seen.size(), 1);
  QCOMPARE(f.w->state().CurFrame, 2);
  QCOMPARE(f.find<QTabBar>("TabStrip1")->currentIndex(), 1);
  f.box(BOX_FlagLvl)->clear();
  QVERIFY(waitActive(f.w.get()));

  // A click on Clear that takes the focus from a refused box does not clear.
  seen.clear();
  f.showPage(1);
  f.box(BOX_Input)->setText("keep.dgn");
  f.type(BOX_TolMend, "1,5");
  presses = {QMessageBox::Ok};
  QTest::mouseClick(f.find<QPushButton>("ClearCmd"), Qt::LeftButton);
  QCOMPARE(seen.size(), 1);
  QCOMPARE(f.text(BOX_Input), QString("keep.dgn"));
  QVERIFY(!f.find<QPushButton>("ClearCmd")->isDown());
  answer.stop();
}

void TstMainfrm::fileDialog() {
  QTemporaryDir dir;
  qputenv("ACTIVEPROJECT", dir.path().toLocal8Bit());
  std::unique_ptr<QFileDialog> d(f.w->createFileDialog());
  QCOMPARE(QDir(d->directory()).canonicalPath(), QDir(dir.path()).canonicalPath());
  QCOMPARE(d->nameFilters(), QStringList({"All Files (*.*)", "Design Files(*.dgn)", "ULF Files (*.ulf)"}));
  QCOMPARE(d->selectedNameFilter(), QString("Design Files(*.dgn)"));
  f.w->setTicked(TICK_Ulf, true);
  qputenv("ACTIVEPROJECT", "");
  d.reset(f.w->createFileDialog());
  QCOMPARE(d->selectedNameFilter(), QString("ULF Files (*.ulf)"));
  qunsetenv("ACTIVEPROJECT");
  // Cancel leaves the input box as it was and Browse normal.
  f.box(BOX_Input)->setText("keep.ulf");
  QTimer::singleShot(0, [] {
    if (QFileDialog* open = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) open->reject();
  });
  f.w->browse();
  QCOMPARE(f.text(BOX_Input), QString("keep.ulf"));
  QVERIFY(!f.find<QPushButton>("BrowCmd")->font().bold());
}

void TstMainfrm::about() {
  AboutFrm* a = f.w->aboutFrm();
  QCOMPARE(a->windowTitle(), QString("About Nodeweld"));
  QCOMPARE(a->findChild<QLabel*>("lblTitle")->text(), QString("Nodeweld"));
  QCOMPARE(a->findChild<QLabel*>("lblVersion")->text(), QString("Version 3.1.1"));
  QVERIFY(!a->findChild<QLabel*>("lblDescription")->text().isEmpty());
  const QByteArray path = qgetenv("PATH");
  qputenv("PATH", "/nonexistent");
  a->systemInfo();
  qputenv("PATH", path);
  QCOMPARE(f.prompt.lastText(), std::string("System Information Is Unavailable At This Time"));
}

void TstMainfrm::helpPage() {
  const QString path = MainFrm::helpPath();
  QVERIFY2(!path.isEmpty(), "nodeweld-help.html not found beside the program");
  QFile page(path);
  QVERIFY(page.open(QIODevice::ReadOnly));
  QVERIFY(page.readAll().contains("Nodeweld user guide"));
}

void TstMainfrm::exitEndsAtOnce() {
  QSignalSpy spy(f.w.get(), &MainFrm::exitRequested);
  f.w->showLevels();
  QVERIFY(waitActive(f.w->levelFrm()));
  QTest::mouseClick(f.find<QPushButton>("EndCmd"), Qt::LeftButton);
  QCOMPARE(spy.count(), 1);
  QVERIFY(f.prompt.shown.empty());
  QVERIFY(!f.w->isVisible());
  QVERIFY(!f.w->levelFrm()->isVisible());
}

QTEST_MAIN(TstMainfrm)
#include "tst_mainfrm.moc"
