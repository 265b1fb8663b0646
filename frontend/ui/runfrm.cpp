// runfrm: running the driver and showing its output.
#include "frontend/ui/runfrm.h"

#include <signal.h>
#include <unistd.h>

#include <QCloseEvent>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include "frontend/nwcmd.h"

RunFrm::RunFrm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("RunFrm"));
  setWindowTitle(QStringLiteral("Nodeweld Run"));
  QVBoxLayout* top = new QVBoxLayout(this);
  cmdLabel_ = new QLabel(this);
  cmdLabel_->setObjectName(QStringLiteral("CmdLbl"));
  cmdLabel_->setWordWrap(true);
  cmdLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  top->addWidget(cmdLabel_);
  output_ = new QPlainTextEdit(this);
  output_->setObjectName(QStringLiteral("OutputTxt"));
  output_->setReadOnly(true);
  output_->setMaximumBlockCount(50000);
  output_->setFont(QFont(QStringLiteral("monospace")));
  output_->setMinimumSize(560, 300);
  top->addWidget(output_, 1);
  busy_ = new QProgressBar(this);
  busy_->setObjectName(QStringLiteral("BusyBar"));
  busy_->setTextVisible(false);
  top->addWidget(busy_);
  QHBoxLayout* row = new QHBoxLayout;
  statusLabel_ = new QLabel(this);
  statusLabel_->setObjectName(QStringLiteral("StatusLbl"));
  row->addWidget(statusLabel_, 1);
  interruptCmd_ = new QPushButton(QStringLiteral("Interrupt"), this);
  interruptCmd_->setObjectName(QStringLiteral("InterruptCmd"));
  interruptCmd_->setAutoDefault(false);
  closeCmd_ = new QPushButton(QStringLiteral("Close"), this);
  closeCmd_->setObjectName(QStringLiteral("CloseCmd"));
  closeCmd_->setAutoDefault(false);
  row->addWidget(interruptCmd_);
  row->addWidget(closeCmd_);
  top->addLayout(row);
  timer_ = new QTimer(this);
  timer_->setInterval(1000);
  connect(timer_, &QTimer::timeout, this, &RunFrm::tick);
  connect(interruptCmd_, &QPushButton::clicked, this, &RunFrm::interrupt);
  connect(closeCmd_, &QPushButton::clicked, this, &QDialog::hide);
}

RunFrm::~RunFrm() {
  // The program is ending with a run still going: stop the child.
  if (proc_) {
    interrupt();
    if (!proc_->waitForFinished(3000)) proc_->kill();
    proc_->waitForFinished(3000);
  }
}

QString RunFrm::output() const { return output_->toPlainText(); }

void RunFrm::tick() {
  statusLabel_->setText(QStringLiteral("Running ... %1 s").arg(clock_.elapsed() / 1000));
}

void RunFrm::readOutput() {
  if (!proc_) return;
  const QByteArray data = proc_->readAll();
  if (data.isEmpty()) return;
  QScrollBar* bar = output_->verticalScrollBar();
  const bool atEnd = bar->value() == bar->maximum();
  QTextCursor c(output_->document());
  c.movePosition(QTextCursor::End);
  c.insertText(decoder_.decode(data));
  if (atEnd) bar->setValue(bar->maximum());
}

int RunFrm::execute(const QStringList& words, const QString& cmdline) {
  if (proc_ || words.isEmpty()) return -1;
  output_->clear();
  decoder_.resetState();
  cmdLabel_->setText(cmdline);
  busy_->setRange(0, 0);  // moving bar: work is going on
  interruptCmd_->setEnabled(true);
  closeCmd_->setEnabled(false);
  clock_.start();
  tick();
  timer_->start();
  hide();  // modality changes take effect when the window is shown
  setWindowModality(Qt::ApplicationModal);
  show();
  raise();

  QProcess proc;
  proc_ = &proc;
  proc.setProcessChannelMode(QProcess::MergedChannels);
  proc.setInputChannelMode(QProcess::ForwardedInputChannel);
  // Own process group, so an interrupt reaches the driver and what it started.
  proc.setChildProcessModifier([] { setpgid(0, 0); });
  QEventLoop loop;
  connect(&proc, &QProcess::readyRead, this, &RunFrm::readOutput);
  connect(&proc, &QProcess::finished, &loop, &QEventLoop::quit);
  connect(&proc, &QProcess::errorOccurred, &loop, [&loop, &proc](QProcess::ProcessError e) {
    if (e == QProcess::FailedToStart || proc.state() == QProcess::NotRunning) loop.quit();
  });
  proc.start(words.first(), words.mid(1));
  int code = -1;
  if (proc.waitForStarted(30000)) {
    emit started(proc.processId());
    if (proc.state() != QProcess::NotRunning) loop.exec();
    readOutput();
    if (proc.state() == QProcess::NotRunning && proc.error() != QProcess::FailedToStart) {
      if (proc.exitStatus() == QProcess::NormalExit)
        code = proc.exitCode();
      else
        code = proc.exitCode() == SIGINT ? NW_EXIT_INTERRUPTED : 128 + proc.exitCode();
    }
  } else {
    output_->appendPlainText(QStringLiteral("Could not start %1: %2").arg(words.first(), proc.errorString()));
  }
  proc_ = nullptr;
  timer_->stop();
  busy_->setRange(0, 1);
  busy_->setValue(1);
  interruptCmd_->setEnabled(false);
  closeCmd_->setEnabled(true);
  statusLabel_->setText(QString::fromStdString(nw_exit_message(code)));
  return code;
}

void RunFrm::release() {
  if (windowModality() == Qt::NonModal) return;
  const bool shown = isVisible();
  hide();
  setWindowModality(Qt::NonModal);
  if (shown) show();
}

void RunFrm::interrupt() {
  if (!proc_ || proc_->processId() <= 0) return;
  const pid_t pid = static_cast<pid_t>(proc_->processId());
  if (::kill(-pid, SIGINT) != 0) ::kill(pid, SIGINT);
}

void RunFrm::closeEvent(QCloseEvent* ev) {
  if (proc_) {
    ev->ignore();  // the run is modal until the child ends
    return;
  }
  QDialog::closeEvent(ev);
}

void RunFrm::reject() {
  if (!proc_) QDialog::reject();
}
