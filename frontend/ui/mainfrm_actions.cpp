// mainfrm_actions: what the main window's buttons and menus do: Browse,
// Clear, View, Run (with its log), Help, About and opening the dialogs.
#include <QApplication>
#include <QCheckBox>
#include <QDate>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QTime>
#include <QUrl>

#include "frontend/nwcmd.h"
#include "frontend/nwweight.h"
#include "frontend/ui/aboutfrm.h"
#include "frontend/ui/elefrm.h"
#include "frontend/ui/insymfrm.h"
#include "frontend/ui/levelfrm.h"
#include "frontend/ui/mainfrm.h"
#include "frontend/ui/outsymfrm.h"
#include "frontend/ui/runfrm.h"
#include "frontend/ui/weightfrm.h"

QFileDialog* MainFrm::createFileDialog() {
  QFileDialog* dlg = new QFileDialog(this);
  dlg->setObjectName(QStringLiteral("CommonDialog1"));
  dlg->setAcceptMode(QFileDialog::AcceptOpen);
  dlg->setFileMode(QFileDialog::ExistingFile);
  const QString project = qEnvironmentVariable("ACTIVEPROJECT");
  if (!project.isEmpty()) dlg->setDirectory(project);
  const QStringList filters = {QStringLiteral("All Files (*.*)"), QStringLiteral("Design Files(*.dgn)"),
                               QStringLiteral("ULF Files (*.ulf)")};
  dlg->setNameFilters(filters);
  dlg->selectNameFilter(filters[dgnOpt_->isChecked() ? 1 : 2]);
  return dlg;
}

void MainFrm::browse() {
  setBold(browCmd_, true);
  QFileDialog* dlg = createFileDialog();
  if (dlg->exec() == QDialog::Accepted && !dlg->selectedFiles().isEmpty())
    boxes_[BOX_Input]->setText(QDir::toNativeSeparators(dlg->selectedFiles().first()));
  delete dlg;
  setBold(browCmd_, false);
}

void MainFrm::clearAll() {
  // Clearing disables boxes, which moves the focus out of them: that is no
  // entry to check.
  const bool wasChecking = checking_;
  checking_ = true;
  boxes_[BOX_TolMend]->clear();
  dFlagMendChck_->setChecked(false);
  dangleMendRule(false);
  flagChck_->setChecked(false);
  for (NwBox b : {BOX_FlagProxTol, BOX_FlagLvl, BOX_FlagSize}) boxes_[b]->clear();
  outLvlChck_->setChecked(false);
  modalOpt_->setChecked(true);
  saveOrigChck_->setChecked(false);
  boxes_[BOX_Input]->clear();
  outSymFrm_->clearPicks();
  const char* const defaults[] = {"1-63", "3,4", "0-7", "0-30", "0-255", "0,2"};
  for (int i = 0; i < 6; ++i) boxes_[BOX_Lvl + i]->setText(QString::fromLatin1(defaults[i]));
  // Stored output level "0", level selection and every slot emptied.
  nw_state_clear(&state_);
  checking_ = wasChecking;
}

std::string MainFrm::buildCommand(std::vector<std::string>* words) {
  if (!flushFocusedCheck()) return std::string();
  return BuildCmd(*this, prompt(), state_, words);
}

void MainFrm::viewCommandLine() {
  const std::string line = buildCommand(nullptr);
  if (line.empty()) return;
  prompt().message("\"" + line + "\"", "Current nodeweld command line");
}

void MainFrm::runNodeweld() {
  std::vector<std::string> words;
  const std::string line = buildCommand(&words);
  if (line.empty()) return;
  // The command line names the weighting table: without it the driver would
  // refuse the run, and an old table would give the wrong weights.
  if (!state_.Weighting.empty()) {
    std::string err;
    if (!nw_weight_table_write(NW_WEIGHT_FILE, nw_weight_table_text(state_.Weighting), &err)) {
      prompt().message(std::string("The weighting table could not be written to " NW_WEIGHT_FILE
                                   " (") + err + ").  Nodeweld was not run.",
                       NW_APP_TITLE);
      return;
    }
  }
  if (saveChck_->isChecked()) {
    prompt().message("command line will be saved to NW_CMD.LOG", NW_APP_TITLE);
    const QLocale loc = QLocale::system();
    QString timeFormat = loc.timeFormat(QLocale::LongFormat);
    timeFormat.remove(QLatin1Char('t'));  // no time-zone name
    const std::string date = loc.toString(QDate::currentDate(), QLocale::ShortFormat).toStdString();
    const std::string time = loc.toString(QTime::currentTime(), timeFormat.trimmed()).toStdString();
    std::string err;
    if (!nw_log_append(NW_LOG_NAME, date, time, line, &err))
      prompt().message(std::string("The command line could not be saved to NW_CMD.LOG (") + err +
                           ").  The run goes on without a log entry.",
                       NW_APP_TITLE);
  }
  QStringList argv;
  for (const std::string& w : words) argv << QString::fromStdString(w);
  const int code = ExecCmd(argv, QString::fromStdString(line));
  prompt().message(nw_exit_message(code), NW_APP_TITLE);
  runFrm()->release();
  emit runFinished(QString::fromStdString(line), code);
}

int MainFrm::ExecCmd(const QStringList& words, const QString& cmdline) {
  return runFrm()->execute(words, cmdline);
}

QString MainFrm::helpPath() {
  const QString app = QCoreApplication::applicationDirPath();
  const QStringList candidates = {
    app + QStringLiteral("/../share/nodeweld/nodeweld-help.html"),
    app + QStringLiteral("/../../share/nodeweld/nodeweld-help.html"),
  };
  for (const QString& c : candidates)
    if (QFileInfo(c).isFile()) return QFileInfo(c).canonicalFilePath();
  return QString();
}

void MainFrm::showHelp() {
  const QString path = helpPath();
  if (path.isEmpty() || !QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
    prompt().message("The Nodeweld user guide (nodeweld-help.html) could not be opened.",
                     NW_APP_TITLE);
}

AboutFrm* MainFrm::aboutFrm() {
  if (!aboutFrm_) aboutFrm_ = new AboutFrm(this, this);
  return aboutFrm_;
}

void MainFrm::showAbout() { aboutFrm()->exec(); }

RunFrm* MainFrm::runFrm() {
  if (!runFrm_) runFrm_ = new RunFrm(this);
  return runFrm_;
}

EleFrm* MainFrm::eleFrm() {
  if (!eleFrm_) {
    eleFrm_ = new EleFrm(this, this);
    connect(eleFrm_, &EleFrm::closedByUser, this, [this] { setButtonNormal(elementCmd_); });
  }
  return eleFrm_;
}

InsymFrm* MainFrm::insymFrm() {
  if (!insymFrm_) {
    insymFrm_ = new InsymFrm(this, this);
    connect(insymFrm_, &InsymFrm::closedByUser, this, [this] {
      for (QPushButton* b : {styCmd_, colorCmd_, classesCmd_, weightCmd_}) setButtonNormal(b);
    });
  }
  return insymFrm_;
}

WeightFrm* MainFrm::weightFrm() {
  if (!weightFrm_) weightFrm_ = new WeightFrm(this, this);
  return weightFrm_;
}

void MainFrm::showDialog(QWidget* d) {
  if (!d->isVisible()) d->show();
  d->raise();
  d->activateWindow();
}

void MainFrm::showLevels() { showDialog(levelFrm_); }
void MainFrm::showElements() { showDialog(eleFrm()); }
void MainFrm::showInputSymbology() { showDialog(insymFrm()); }
void MainFrm::showOutputOptions() { showDialog(outSymFrm_); }
void MainFrm::showWeighting() { showDialog(weightFrm()); }
