// mainfrm: building the main window, its start-up state, the enabling,
// colouring and hover rules, tab pages and lost-focus checks.
#include "frontend/ui/mainfrm.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTabBar>
#include <QVBoxLayout>

#include "frontend/nwchecks.h"
#include "frontend/ui/levelfrm.h"
#include "frontend/ui/outsymfrm.h"
#include "frontend/ui/qtprompt.h"

namespace {

const QColor kWhite(0xFF, 0xFF, 0xFF);
const QColor kLightGrey(0xC0, 0xC0, 0xC0);
const QColor kDarkBlue(0x00, 0x00, 0x80);

QLabel* label(const char* name, const char* text, bool bold, bool blue, QWidget* parent) {
  QLabel* l = new QLabel(QString::fromUtf8(text), parent);
  l->setObjectName(QString::fromLatin1(name));
  QFont f = l->font();
  f.setBold(bold);
  l->setFont(f);
  if (blue) {
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, kDarkBlue);
    l->setPalette(p);
  }
  return l;
}

template <class W>
W* named(W* w, const char* name) {
  w->setObjectName(QString::fromLatin1(name));
  return w;
}

const char* const kBoxNames[BOX_COUNT] = {
  "InputTxt", "LvlTxt", "EleTxt", "StyTxt", "WtTxt", "CoTxt", "ClTxt",
  "TolMendTxt", "DLvlMendTxt", "DFlagSizeMendTxt", "OutlvlTxt",
  "FlagProxTolTxt", "FlagLvlTxt", "FlagSizeTxt", "DLvlNoMendTxt", "DFlagSizeNoMendTxt"};

const char* const kCriteriaDefaults[] = {"1-63", "3,4", "0-7", "0-30", "0-255", "0,2"};

}  // namespace

MainFrm::MainFrm(QWidget* parent) : QMainWindow(parent) {
  nw_state_init(&state_);
  qtPrompt_.reset(new NwQtPrompt(this));
  setObjectName(QStringLiteral("Mainfrm"));
  setWindowTitle(QStringLiteral("Nodeweld Interface"));
  buildWidgets();
  buildMenus();
  connectRules();
  applyStartDefaults();
  layout()->setSizeConstraint(QLayout::SetFixedSize);  // the window is not resizable
  qApp->installEventFilter(this);
}

MainFrm::~MainFrm() { qApp->removeEventFilter(this); }

NwPrompt& MainFrm::prompt() { return testPrompt_ ? *testPrompt_ : *qtPrompt_; }

void MainFrm::buildWidgets() {
  QWidget* central = new QWidget(this);
  central->setObjectName(QStringLiteral("MainArea"));
  QPalette bg = central->palette();
  bg.setColor(QPalette::Window, kLightGrey);
  // Disabled captions stay readable on the grey background.
  for (QPalette::ColorRole r : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
    bg.setColor(QPalette::Disabled, r, QColor(0x70, 0x70, 0x70));
  central->setPalette(bg);
  central->setAutoFillBackground(true);
  setCentralWidget(central);
  buttonFace_ = central->palette().color(QPalette::Button);

  for (int b = 0; b < BOX_COUNT; ++b) {
    boxes_[b] = new QLineEdit(central);
    boxes_[b]->setObjectName(QString::fromLatin1(kBoxNames[b]));
  }
  for (int b = BOX_Lvl; b <= BOX_Cl; ++b) boxes_[b]->setMaximumWidth(110);
  for (int b = BOX_TolMend; b < BOX_COUNT; ++b) boxes_[b]->setMaximumWidth(70);

  // Input options.
  frame1_ = named(new QGroupBox(QStringLiteral("Input Options"), central), "Frame1");
  frame1_->setMouseTracking(true);
  QGridLayout* g1 = new QGridLayout(frame1_);
  dgnOpt_ = named(new QRadioButton(QStringLiteral("dgn input file"), frame1_), "DgnOpt");
  ulfOpt_ = named(new QRadioButton(QStringLiteral("ulf input file"), frame1_), "UlfOpt");
  browCmd_ = named(new QPushButton(QStringLiteral("Browse"), frame1_), "BrowCmd");
  g1->addWidget(label("Label2", "Select an input file type:", true, true, frame1_), 0, 0, 1, 2);
  g1->addWidget(dgnOpt_, 1, 0);
  g1->addWidget(ulfOpt_, 1, 1);
  g1->addWidget(label("Label1", "Input file name:", true, true, frame1_), 2, 0, 1, 2);
  boxes_[BOX_Input]->setMaximumWidth(QWIDGETSIZE_MAX);
  boxes_[BOX_Input]->setMinimumWidth(220);
  g1->addWidget(boxes_[BOX_Input], 3, 0, 1, 2);
  g1->addWidget(browCmd_, 3, 2);
  g1->addWidget(label("Label10", "Selection criteria:", true, false, frame1_), 4, 0, 1, 2);
  struct Crit {
    QPushButton** button;
    const char* name;
    const char* caption;
    NwBox box;
  };
  const Crit crit[] = {
    {&lvlCmd_, "LvlCmd", "levels:", BOX_Lvl},       {&elementCmd_, "ElementCmd", "elements:", BOX_Ele},
    {&styCmd_, "StyCmd", "styles:", BOX_Sty},       {&weightCmd_, "WeightCmd", "weights:", BOX_Wt},
    {&colorCmd_, "ColorCmd", "colors:", BOX_Co},    {&classesCmd_, "ClassesCmd", "classes:", BOX_Cl},
  };
  for (int i = 0; i < 6; ++i) {
    *crit[i].button = named(new QPushButton(QString::fromLatin1(crit[i].caption), frame1_), crit[i].name);
    const int row = 5 + i / 2, col = (i % 2) * 2;
    QHBoxLayout* h = new QHBoxLayout;
    h->addWidget(*crit[i].button);
    h->addWidget(boxes_[crit[i].box]);
    g1->addLayout(h, row, col, 1, 2 - (i % 2));
  }
  g1->setColumnStretch(1, 1);

  // Tab strip with its two pages lying on top of each other.
  tabStrip_ = named(new QTabBar(central), "TabStrip1");
  tabStrip_->addTab(QStringLiteral("Mend Elements"));
  tabStrip_->addTab(QStringLiteral("Don't Mend Elements"));
  tabStrip_->setToolTip(QStringLiteral("Choose either Mend or Don't Mend"));
  tabStrip_->setDrawBase(false);
  QFrame* pageArea = named(new QFrame(central), "TabPages");
  pageArea->setFrameShape(QFrame::StyledPanel);
  QGridLayout* pages = new QGridLayout(pageArea);
  for (int t = 1; t <= 2; ++t) {
    frameTab_[t] = named(new QFrame(pageArea), t == 1 ? "FrameTab1" : "FrameTab2");
    // The window keeps one size whichever page is shown.
    QSizePolicy keep = frameTab_[t]->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    frameTab_[t]->setSizePolicy(keep);
    pages->addWidget(frameTab_[t], 0, 0);
  }

  QGridLayout* p1 = new QGridLayout(frameTab_[1]);
  modalOpt_ = named(new QRadioButton(QStringLiteral("Modal solutions"), frameTab_[1]), "ModalOpt");
  coordAveOpt_ = named(new QRadioButton(QStringLiteral("Coordinate averaging"), frameTab_[1]), "CoordAveOpt");
  dFlagMendChck_ = named(new QCheckBox(QStringLiteral("Flag dangles"), frameTab_[1]), "DFlagMendChck");
  dLvlMendLbl_ = label("DLvlMendLbl", "place flags on level:", false, false, frameTab_[1]);
  dFlagSizeMendLbl_ = label("DFlagSizeMendLbl", "flag size:", false, false, frameTab_[1]);
  outLvlChck_ = named(new QCheckBox(QStringLiteral(" Put modified linework on new level:"), frameTab_[1]), "OutLvlChck");
  saveOrigChck_ = named(new QCheckBox(QStringLiteral("Save original linework"), frameTab_[1]), "SaveOrigChck");
  p1->addWidget(label("Label5", "Required:", true, true, frameTab_[1]), 0, 0);
  p1->addWidget(label("Label4", "Proximity tolerance for mending:", false, true, frameTab_[1]), 1, 0, 1, 2);
  p1->addWidget(boxes_[BOX_TolMend], 1, 2);
  p1->addWidget(modalOpt_, 2, 0);
  p1->addWidget(coordAveOpt_, 2, 1, 1, 2);
  p1->addWidget(dFlagMendChck_, 3, 0);
  p1->addWidget(dLvlMendLbl_, 3, 1);
  p1->addWidget(boxes_[BOX_DLvlMend], 3, 2);
  p1->addWidget(dFlagSizeMendLbl_, 4, 1);
  p1->addWidget(boxes_[BOX_DFlagSizeMend], 4, 2);
  p1->addWidget(outLvlChck_, 5, 0, 1, 2);
  p1->addWidget(boxes_[BOX_Outlvl], 5, 2);
  p1->addWidget(saveOrigChck_, 6, 0, 1, 2);
  p1->setRowStretch(7, 1);

  QGridLayout* p2 = new QGridLayout(frameTab_[2]);
  flagChck_ = named(new QCheckBox(QStringLiteral("Flag close points"), frameTab_[2]), "FlagChck");
  flagProxTolLbl_ = label("FlagProxTolLbl", "Proximity tolerance:", false, false, frameTab_[2]);
  flagLvlLbl_ = label("FlagLvlLbl", "place flags on level:", false, false, frameTab_[2]);
  flagSizeLbl_ = label("FlagSizeLbl", "flag size :", false, false, frameTab_[2]);
  dFlagNoMendChck_ = named(new QCheckBox(QStringLiteral("Flag dangles"), frameTab_[2]), "DFlagNoMendChck");
  dLvlNoMendLbl_ = label("DLvlNoMendLbl", "place flags on level:", false, false, frameTab_[2]);
  dFlagSizeNoMendLbl_ = label("DFlagSizeNoMendLbl", "flag size:", false, false, frameTab_[2]);
  p2->addWidget(flagChck_, 0, 0);
  p2->addWidget(flagProxTolLbl_, 0, 1);
  p2->addWidget(boxes_[BOX_FlagProxTol], 0, 2);
  p2->addWidget(flagLvlLbl_, 1, 1);
  p2->addWidget(boxes_[BOX_FlagLvl], 1, 2);
  p2->addWidget(flagSizeLbl_, 2, 1);
  p2->addWidget(boxes_[BOX_FlagSize], 2, 2);
  p2->addWidget(dFlagNoMendChck_, 3, 0);
  p2->addWidget(dLvlNoMendLbl_, 3, 1);
  p2->addWidget(boxes_[BOX_DLvlNoMend], 3, 2);
  p2->addWidget(dFlagSizeNoMendLbl_, 4, 1);
  p2->addWidget(boxes_[BOX_DFlagSizeNoMend], 4, 2);
  p2->setRowStretch(5, 1);

  // Below the tabs.
  weightingCmd_ = named(new QPushButton(QStringLiteral("set"), central), "WeightingCmd");
  outputCmd_ = named(new QPushButton(QStringLiteral("set"), central), "OutputCmd");
  for (QPushButton* b : {weightingCmd_, outputCmd_}) {
    QFont f = b->font();
    f.setBold(true);
    b->setFont(f);
    b->setMaximumWidth(50);
  }
  QGridLayout* sets = new QGridLayout;
  sets->addWidget(weightingCmd_, 0, 0);
  sets->addWidget(label("Label6", "Set weighting options", false, false, central), 0, 1);
  sets->addWidget(outputCmd_, 1, 0);
  sets->addWidget(label("Label3", "Set output symbology", false, false, central), 1, 1);
  sets->setColumnStretch(1, 1);

  frame3_ = named(new QGroupBox(central), "Frame3");
  frame3_->setMouseTracking(true);
  QGridLayout* g3 = new QGridLayout(frame3_);
  saveChck_ = named(new QCheckBox(QStringLiteral("Save command line to log file"), frame3_), "SaveChck");
  clearCmd_ = named(new QPushButton(QStringLiteral("Clear"), frame3_), "ClearCmd");
  applyCmd_ = named(new QPushButton(QStringLiteral("Run "), frame3_), "ApplyCmd");
  endCmd_ = named(new QPushButton(QStringLiteral("Exit"), frame3_), "EndCmd");
  versionLbl_ = label("Versionlbl", "", false, false, frame3_);
  g3->addWidget(saveChck_, 0, 0, 1, 3);
  g3->addWidget(versionLbl_, 0, 3, Qt::AlignRight);
  g3->addWidget(clearCmd_, 1, 0);
  g3->addWidget(applyCmd_, 1, 1);
  g3->addWidget(endCmd_, 1, 2);

  QVBoxLayout* top = new QVBoxLayout(central);
  top->addWidget(frame1_);
  top->addWidget(tabStrip_);
  top->addWidget(pageArea, 1);
  top->addLayout(sets);
  top->addWidget(frame3_);
  top->setSizeConstraint(QLayout::SetFixedSize);

  // Buttons whose caption turns bold under the mouse.
  hoverButtons_ = {browCmd_, lvlCmd_, elementCmd_, styCmd_, weightCmd_, colorCmd_,
                   classesCmd_, clearCmd_, applyCmd_, endCmd_};

  // Dialogs that exist from the start, hidden.
  outSymFrm_ = new OutSymFrm(this, this);
  levelFrm_ = new LevelFrm(this, this);
  connect(levelFrm_, &LevelFrm::closedByUser, this, [this] { setButtonNormal(lvlCmd_); });
}

void MainFrm::buildMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  file->setObjectName(QStringLiteral("FileMenu"));
  file->addAction(QStringLiteral("&Open file"), this, &MainFrm::browse)->setObjectName(QStringLiteral("OpenMenu"));
  file->addAction(QStringLiteral("E&xit"), this, &MainFrm::exitProgram)->setObjectName(QStringLiteral("ExitMenu"));
  QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
  edit->addAction(QStringLiteral("&Clear"), this, &MainFrm::clearAll)->setObjectName(QStringLiteral("ClearMenu"));
  QMenu* input = menuBar()->addMenu(QStringLiteral("&Input"));
  QMenu* sel = input->addMenu(QStringLiteral("Selection Criteria"));
  QAction* a = sel->addAction(QStringLiteral("&Levels"), this, &MainFrm::showLevels);
  a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
  a->setObjectName(QStringLiteral("LevelsMenu"));
  a = sel->addAction(QStringLiteral("E&lements"), this, &MainFrm::showElements);
  a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
  a->setObjectName(QStringLiteral("ElementsMenu"));
  a = sel->addAction(QStringLiteral("&Symbology"), this, &MainFrm::showInputSymbology);
  a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
  a->setObjectName(QStringLiteral("InSymMenu"));
  QMenu* output = menuBar()->addMenu(QStringLiteral("&Output"));
  a = output->addAction(QStringLiteral("S&ymbology"), this, &MainFrm::showOutputOptions);
  a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  a->setObjectName(QStringLiteral("OutSymMenu"));
  QMenu* run = menuBar()->addMenu(QStringLiteral("&Run"));
  run->addAction(QStringLiteral("&View command line"), this, &MainFrm::viewCommandLine)->setObjectName(QStringLiteral("ViewMenu"));
  run->addAction(QStringLiteral("&Run NODEWELD"), this, &MainFrm::runNodeweld)->setObjectName(QStringLiteral("RunMenu"));
  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  help->addAction(QStringLiteral("&Nodeweld Help Contents"), this, &MainFrm::showHelp)->setObjectName(QStringLiteral("HelpMenu"));
  help->addAction(QStringLiteral("&About Nodeweld"), this, &MainFrm::showAbout)->setObjectName(QStringLiteral("AboutMenu"));
}

void MainFrm::connectRules() {
  connect(dFlagMendChck_, &QCheckBox::toggled, this, &MainFrm::dangleMendRule);
  connect(dFlagNoMendChck_, &QCheckBox::toggled, this, &MainFrm::dangleNoMendRule);
  connect(flagChck_, &QCheckBox::toggled, this, &MainFrm::flagRule);
  connect(outLvlChck_, &QCheckBox::toggled, this, &MainFrm::outLevelRule);
  connect(saveOrigChck_, &QCheckBox::toggled, this,
          [this] { nw_save_orig_clicked(*this, prompt(), state_); });
  connect(tabStrip_, &QTabBar::currentChanged, this, [this] { tabClicked(); });
  connect(browCmd_, &QPushButton::clicked, this, &MainFrm::browse);
  connect(clearCmd_, &QPushButton::clicked, this, &MainFrm::clearAll);
  connect(applyCmd_, &QPushButton::clicked, this, &MainFrm::runNodeweld);
  connect(endCmd_, &QPushButton::clicked, this, &MainFrm::exitProgram);
  connect(lvlCmd_, &QPushButton::clicked, this, &MainFrm::showLevels);
  connect(elementCmd_, &QPushButton::clicked, this, &MainFrm::showElements);
  for (QPushButton* b : {styCmd_, weightCmd_, colorCmd_, classesCmd_})
    connect(b, &QPushButton::clicked, this, &MainFrm::showInputSymbology);
  connect(weightingCmd_, &QPushButton::clicked, this, &MainFrm::showWeighting);
  connect(outputCmd_, &QPushButton::clicked, this, &MainFrm::showOutputOptions);
}

void MainFrm::applyStartDefaults() {
  for (int i = 0; i < 6; ++i) boxes_[BOX_Lvl + i]->setText(QString::fromLatin1(kCriteriaDefaults[i]));
  versionLbl_->setText(QString::fromStdString(nw_version_label()));
  state_.NumFrames = 2;
  state_.CurFrame = 1;
  dgnOpt_->setChecked(true);
  modalOpt_->setChecked(true);
  // Boxes disabled at start keep the button-face colour until a rule paints them.
  for (int b = 0; b < BOX_COUNT; ++b) {
    QPalette p = boxes_[b]->palette();
    p.setColor(QPalette::Base, kWhite);
    boxes_[b]->setPalette(p);
  }
  for (NwBox b : {BOX_DLvlMend, BOX_DFlagSizeMend, BOX_Outlvl, BOX_FlagProxTol, BOX_FlagLvl,
                  BOX_FlagSize, BOX_DLvlNoMend, BOX_DFlagSizeNoMend}) {
    boxes_[b]->setEnabled(false);
    QPalette p = boxes_[b]->palette();
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
      p.setColor(g, QPalette::Base, buttonFace_);
    boxes_[b]->setPalette(p);
  }
  for (QWidget* w : {static_cast<QWidget*>(dLvlMendLbl_), static_cast<QWidget*>(dFlagSizeMendLbl_),
                     static_cast<QWidget*>(flagProxTolLbl_), static_cast<QWidget*>(flagLvlLbl_),
                     static_cast<QWidget*>(flagSizeLbl_), static_cast<QWidget*>(dLvlNoMendLbl_),
                     static_cast<QWidget*>(dFlagSizeNoMendLbl_), static_cast<QWidget*>(saveOrigChck_),
                     static_cast<QWidget*>(dFlagNoMendChck_)})
    w->setEnabled(false);
  frameTab_[1]->show();
  frameTab_[2]->hide();
  tabStrip_->setCurrentIndex(0);
}

// ---- NwForm ---------------------------------------------------------------

std::string MainFrm::boxText(NwBox b) { return boxes_[b]->text().toStdString(); }

void MainFrm::setBoxText(NwBox b, const std::string& text) {
  boxes_[b]->setText(QString::fromStdString(text));
}

QAbstractButton* MainFrm::tickControl(NwTick t) const {
  switch (t) {
    case TICK_Ulf: return ulfOpt_;
    case TICK_CoordAve: return coordAveOpt_;
    case TICK_DFlagMend: return dFlagMendChck_;
    case TICK_OutLvl: return outLvlChck_;
    case TICK_SaveOrig: return saveOrigChck_;
    case TICK_Flag: return flagChck_;
    case TICK_DFlagNoMend: return dFlagNoMendChck_;
    default: return saveChck_;
  }
}

bool MainFrm::ticked(NwTick t) { return tickControl(t)->isChecked(); }

void MainFrm::setTicked(NwTick t, bool on) {
  if (t == TICK_Ulf && !on) {
    dgnOpt_->setChecked(true);
  } else if (t == TICK_CoordAve && !on) {
    modalOpt_->setChecked(true);
  } else {
    tickControl(t)->setChecked(on);
  }
}

void MainFrm::setBoxEnabled(NwBox b, bool on) {
  boxes_[b]->setEnabled(on);
  paintBox(boxes_[b], on);
}

void MainFrm::focusBox(NwBox b) {
  // A box on the hidden page cannot take the focus; show its page first.
  QWidget* page = nullptr;
  for (int t = 1; t <= 2; ++t)
    if (frameTab_[t]->isAncestorOf(boxes_[b])) page = frameTab_[t];
  if (page && page->isHidden()) tabStrip_->setCurrentIndex(page == frameTab_[1] ? 0 : 1);
  if (!isActiveWindow() && isVisible()) activateWindow();
  boxes_[b]->setFocus(Qt::OtherFocusReason);
}

std::string MainFrm::selectedTabCaption() {
  return tabStrip_->tabText(tabStrip_->currentIndex()).toStdString();
}

// ---- rules ----------------------------------------------------------------

void MainFrm::paintBox(QLineEdit* b, bool on) {
  QPalette p = b->palette();
  for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
    p.setColor(g, QPalette::Base, on ? kWhite : kLightGrey);
  b->setPalette(p);
}

void MainFrm::dangleMendRule(bool on) {
  for (NwBox b : {BOX_DLvlMend, BOX_DFlagSizeMend}) {
    if (!on) boxes_[b]->clear();
    setBoxEnabled(b, on);
  }
  dLvlMendLbl_->setEnabled(on);
  dFlagSizeMendLbl_->setEnabled(on);
}

void MainFrm::dangleNoMendRule(bool on) {
  for (NwBox b : {BOX_DLvlNoMend, BOX_DFlagSizeNoMend}) {
    if (!on) boxes_[b]->clear();
    setBoxEnabled(b, on);
  }
  dLvlNoMendLbl_->setEnabled(on);
  dFlagSizeNoMendLbl_->setEnabled(on);
}

void MainFrm::flagRule(bool on) {
  dFlagNoMendChck_->setEnabled(on);
  for (NwBox b : {BOX_FlagProxTol, BOX_FlagSize, BOX_FlagLvl}) setBoxEnabled(b, on);
  flagProxTolLbl_->setEnabled(on);
  flagSizeLbl_->setEnabled(on);
  flagLvlLbl_->setEnabled(on);
}

void MainFrm::outLevelRule(bool on) {
  if (!on) boxes_[BOX_Outlvl]->clear();
  setBoxEnabled(BOX_Outlvl, on);
  saveOrigChck_->setEnabled(on);
  if (on) boxes_[BOX_Outlvl]->setFocus(Qt::OtherFocusReason);
}

void MainFrm::setBold(QAbstractButton* b, bool bold) {
  if (!b || b->font().bold() == bold) return;
  QFont f = b->font();
  f.setBold(bold);
  b->setFont(f);
}

void MainFrm::setButtonNormal(QAbstractButton* b) { setBold(b, false); }

void MainFrm::activated() {
  for (int t = 1; t <= state_.NumFrames; ++t) frameTab_[t]->hide();
  frameTab_[state_.CurFrame]->show();
  tabStrip_->setCurrentIndex(state_.CurFrame - 1);
}

void MainFrm::tabClicked() {
  const int t = tabStrip_->currentIndex() + 1;
  if (t < 1 || t > state_.NumFrames) return;
  if (t == state_.CurFrame && !frameTab_[t]->isHidden()) return;
  // A box of the page being left gets its check first, as when a click on the
  // tab strip takes the focus. If it refuses, the page stays.
  QFrame* leaving = frameTab_[state_.CurFrame];
  if (t != state_.CurFrame && leaving->isAncestorOf(QApplication::focusWidget())) {
    lastCheckOk_ = true;
    tabStrip_->setFocus(Qt::TabFocusReason);
    if (!lastCheckOk_) {
      QSignalBlocker quiet(tabStrip_);
      tabStrip_->setCurrentIndex(state_.CurFrame - 1);
      return;
    }
  }
  frameTab_[t]->show();
  if (state_.CurFrame != t) leaving->hide();
  state_.CurFrame = t;
}

// ---- events -----------------------------------------------------------------

NwBox MainFrm::boxOf(QObject* obj) const {
  for (int b = 0; b < BOX_COUNT; ++b)
    if (boxes_[b] == obj) return static_cast<NwBox>(b);
  return BOX_COUNT;
}

bool MainFrm::lostFocus(NwBox b, QWidget* next) {
  if (checking_ || closing_ || b >= BOX_COUNT) return true;
  checking_ = true;
  const bool ok = nw_check_box(*this, prompt(), state_, b, next == outLvlChck_);
  checking_ = false;
  lastCheckOk_ = ok;
  return ok;
}

bool MainFrm::eventFilter(QObject* obj, QEvent* ev) {
  switch (ev->type()) {
    case QEvent::FocusOut: {
      const NwBox b = boxOf(obj);
      if (b == BOX_COUNT) break;
      const Qt::FocusReason why = static_cast<QFocusEvent*>(ev)->reason();
      // Only a focus move inside the window counts, not a switch to another
      // window, a menu or a message box.
      if (why == Qt::ActiveWindowFocusReason || why == Qt::PopupFocusReason) break;
      if (checking_ || closing_) break;
      QWidget* next = QApplication::focusWidget();
      if (!lostFocus(b, next) && why == Qt::MouseFocusReason) swallowPress_ = true;
      break;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
      // The click that took the focus from a refused box does not act.
      if (swallowPress_) {
        swallowPress_ = false;
        return true;
      }
      break;
    case QEvent::Enter:
      for (QPushButton* b : hoverButtons_)
        if (b == obj) setBold(b, true);
      break;
    case QEvent::MouseMove:
      if (obj == frame1_) {
        for (QPushButton* b : {browCmd_, lvlCmd_, elementCmd_, styCmd_, weightCmd_, colorCmd_, classesCmd_})
          setBold(b, false);
      } else if (obj == frame3_) {
        for (QPushButton* b : {clearCmd_, applyCmd_, endCmd_}) setBold(b, false);
      }
      break;
    default:
      break;
  }
  return QMainWindow::eventFilter(obj, ev);
}

bool MainFrm::event(QEvent* ev) {
  if (ev->type() == QEvent::WindowActivate) {
    nw_fresh_activation(this);
    activated();
  }
  return QMainWindow::event(ev);
}

void MainFrm::closeEvent(QCloseEvent* ev) {
  closing_ = true;
  for (QWidget* w : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
    if (w->isWindow()) w->hide();
  emit exitRequested();
  ev->accept();
}

void MainFrm::exitProgram() { close(); }

// Runs the check of the box that has the focus, as a focus move would: a menu
// entry takes no focus, so its box would otherwise go unchecked.
bool MainFrm::flushFocusedCheck() {
  const NwBox b = boxOf(QApplication::focusWidget());
  if (b == BOX_COUNT) return true;
  return lostFocus(b, nullptr);
}
