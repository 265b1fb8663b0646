// runfrm: the run window: starts the driver's command line as a child
// process, shows its output as it arrives with a busy indicator, and blocks
// the rest of the program (modal) until the child ends, repainting all along.
#ifndef NW_FRONTEND_UI_RUNFRM_H
#define NW_FRONTEND_UI_RUNFRM_H

#include <QDialog>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringDecoder>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;

class RunFrm : public QDialog {
  Q_OBJECT

 public:
  explicit RunFrm(QWidget* parent);
  ~RunFrm() override;
  // Starts words[0] with the other words as its arguments and waits for its
  // end. Returns the exit status; NW_EXIT_INTERRUPTED for a child ended by
  // SIGINT, 128 + the signal for other signals, -1 when it could not start.
  int execute(const QStringList& words, const QString& cmdline);
  // After the exit message: the window stays as a plain output window.
  void release();
  bool running() const { return proc_ != nullptr; }
  QString output() const;

 public slots:
  void interrupt();  // sends SIGINT to the child's process group

 signals:
  void started(qint64 pid);

 protected:
  void closeEvent(QCloseEvent* ev) override;
  void reject() override;

 private:
  void readOutput();
  void tick();

  QLabel* cmdLabel_;
  QLabel* statusLabel_;
  QPlainTextEdit* output_;
  QProgressBar* busy_;
  QPushButton* interruptCmd_;
  QPushButton* closeCmd_;
  QTimer* timer_;
  QElapsedTimer clock_;
  QProcess* proc_ = nullptr;
  QStringDecoder decoder_{QStringDecoder::System};  // keeps split characters
};

#endif
