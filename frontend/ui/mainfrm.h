// mainfrm: the main window Mainfrm: input options, selection criteria, the two
// tab pages, the run buttons and the menus; the enabling, colouring and hover
// rules; lost-focus checks; Clear, Browse, Help, About, View and Run.
#ifndef NW_FRONTEND_UI_MAINFRM_H
#define NW_FRONTEND_UI_MAINFRM_H

#include <QMainWindow>
#include <QColor>
#include <QList>
#include <QStringList>
#include <memory>

#include "frontend/nwform.h"
#include "frontend/nwstate.h"
#include "frontend/ui/nwhost.h"

class QAbstractButton;
class QCheckBox;
class QFileDialog;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabBar;
class LevelFrm;
class EleFrm;
class InsymFrm;
class OutSymFrm;
class WeightFrm;
class RunFrm;
class AboutFrm;

class MainFrm : public QMainWindow, public NwForm, public NwHost {
  Q_OBJECT

 public:
  explicit MainFrm(QWidget* parent = nullptr);
  ~MainFrm() override;

  // NwForm
  std::string boxText(NwBox box) override;
  void setBoxText(NwBox box, const std::string& text) override;
  bool ticked(NwTick tick) override;
  void setTicked(NwTick tick, bool on) override;
  void setBoxEnabled(NwBox box, bool on) override;
  void focusBox(NwBox box) override;
  std::string selectedTabCaption() override;

  // NwHost
  NwForm& form() override { return *this; }
  NwState& state() override { return state_; }
  NwPrompt& prompt() override;

  // Messages go to p instead of message boxes (tests); nullptr restores them.
  void setPrompt(NwPrompt* p) { testPrompt_ = p; }

  QLineEdit* box(NwBox b) const { return boxes_[b]; }
  QAbstractButton* tickControl(NwTick t) const;
  LevelFrm* levelFrm() const { return levelFrm_; }
  OutSymFrm* outSymFrm() const { return outSymFrm_; }
  EleFrm* eleFrm();
  InsymFrm* insymFrm();
  WeightFrm* weightFrm();
  RunFrm* runFrm();
  AboutFrm* aboutFrm();

  // Runs the lost-focus check of a box as if the focus went to next.
  bool lostFocus(NwBox b, QWidget* next);
  // Starts the command line's words as a child, shows its output and waits.
  int ExecCmd(const QStringList& words, const QString& cmdline);
  // The configured file dialog of Browse (caller owns it).
  QFileDialog* createFileDialog();
  // The user guide shipped with the program; empty when not found.
  static QString helpPath();

 public slots:
  void browse();
  void clearAll();
  void viewCommandLine();
  void runNodeweld();
  void showHelp();
  void showAbout();
  void exitProgram();
  void showLevels();
  void showElements();
  void showInputSymbology();
  void showOutputOptions();
  void showWeighting();
  void setButtonNormal(QAbstractButton* b);

 signals:
  void exitRequested();
  // After every run: the command line and the exit code reported.
  void runFinished(const QString& cmdline, int code);

 protected:
  bool eventFilter(QObject* obj, QEvent* ev) override;
  bool event(QEvent* ev) override;
  void closeEvent(QCloseEvent* ev) override;

 private:
  void buildWidgets();
  void buildMenus();
  void applyStartDefaults();
  void connectRules();
  void activated();
  void tabClicked();
  void dangleMendRule(bool on);
  void dangleNoMendRule(bool on);
  void flagRule(bool on);
  void outLevelRule(bool on);
  void paintBox(QLineEdit* b, bool on);
  void setBold(QAbstractButton* b, bool bold);
  bool flushFocusedCheck();
  void showDialog(QWidget* d);
  std::string buildCommand(std::vector<std::string>* words);
  NwBox boxOf(QObject* obj) const;

  NwState state_;
  std::unique_ptr<NwPrompt> qtPrompt_;
  NwPrompt* testPrompt_ = nullptr;
  bool checking_ = false;      // a lost-focus check is running
  bool swallowPress_ = false;  // drop the click that moved focus out of a refused box
  bool closing_ = false;
  bool lastCheckOk_ = true;    // result of the latest lost-focus check

  QLineEdit* boxes_[BOX_COUNT] = {};
  QRadioButton *dgnOpt_ = nullptr, *ulfOpt_ = nullptr, *modalOpt_ = nullptr,
               *coordAveOpt_ = nullptr;
  QCheckBox *dFlagMendChck_ = nullptr, *outLvlChck_ = nullptr, *saveOrigChck_ = nullptr,
            *flagChck_ = nullptr, *dFlagNoMendChck_ = nullptr, *saveChck_ = nullptr;
  QLabel *dLvlMendLbl_ = nullptr, *dFlagSizeMendLbl_ = nullptr, *flagProxTolLbl_ = nullptr,
         *flagLvlLbl_ = nullptr, *flagSizeLbl_ = nullptr, *dLvlNoMendLbl_ = nullptr,
         *dFlagSizeNoMendLbl_ = nullptr, *versionLbl_ = nullptr;
  QPushButton *browCmd_ = nullptr, *lvlCmd_ = nullptr, *elementCmd_ = nullptr,
              *styCmd_ = nullptr, *weightCmd_ = nullptr, *colorCmd_ = nullptr,
              *classesCmd_ = nullptr, *clearCmd_ = nullptr, *applyCmd_ = nullptr,
              *endCmd_ = nullptr, *weightingCmd_ = nullptr, *outputCmd_ = nullptr;
  QGroupBox *frame1_ = nullptr, *frame3_ = nullptr;
  QTabBar* tabStrip_ = nullptr;
  QFrame* frameTab_[3] = {};  // pages 1 and 2
  QColor buttonFace_;
  QList<QPushButton*> hoverButtons_;

  LevelFrm* levelFrm_ = nullptr;
  OutSymFrm* outSymFrm_ = nullptr;
  EleFrm* eleFrm_ = nullptr;
  InsymFrm* insymFrm_ = nullptr;
  WeightFrm* weightFrm_ = nullptr;
  RunFrm* runFrm_ = nullptr;
  AboutFrm* aboutFrm_ = nullptr;
};

#endif
