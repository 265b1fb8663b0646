// Tests of Run end to end: the real window starts a recording stand-in for
// the driver script (fakebin/nodeweld.pl, first on PATH) and reports its exit
// status; the run window stays live; NW_CMD.LOG gets three lines per run.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <fstream>

#include "frontend/nwcmd.h"
#include "frontend/ui/runfrm.h"
#include "frontend/ui/weightfrm.h"
#include "tests/frontend/fe_fixture.h"

class TstRun : public QObject {
  Q_OBJECT
  FeWindow f;
  QTemporaryDir dir;
  QString input, record, oldCwd;
  QByteArray oldPath;

  QStringList recorded() {
    QFile r(record);
    if (!r.open(QIODevice::ReadOnly)) return {};
    QStringList lines = QString::fromUtf8(r.readAll()).split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
  }
  // The messages shown, texts only.
  QStringList texts() {
    QStringList t;
    for (const ShownPrompt& p : f.prompt.shown) t << QString::fromStdString(p.text);
    return t;
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir.isValid());
    input = dir.path() + "/sheet.dgn";
    record = dir.path() + "/record.txt";
    std::ofstream(input.toStdString()) << "x";
    oldPath = qgetenv("PATH");
    qputenv("PATH", QByteArray(NW_FE_TEST_DIR "/fakebin:") + oldPath);
    qputenv("NW_FAKE_RECORD", record.toLocal8Bit());
    oldCwd = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
  }
  void cleanupTestCase() {
    QDir::setCurrent(oldCwd);
    qputenv("PATH", oldPath);
  }
  void init() {
    QVERIFY(f.open());
    f.box(BOX_Input)->setText(input);
    f.box(BOX_TolMend)->setText("0.5");
    QFile::remove(record);
    QFile::remove(dir.path() + "/NW_CMD.LOG");
    QDir(dir.path()).rmdir("NW_CMD.LOG");
    QFile::remove(dir.path() + "/NW_WEIGHT.TBL");
    QDir(dir.path()).rmdir("NW_WEIGHT.TBL");
  }
  void cleanup() { f.close(); }

  void exitCodes_data();
  void exitCodes();
  void interruptButtonKeepsWindowLive();
  void driverNotStarted();
  void logThreeLinesPerRun();
  void logUnwritable();
  void pathWithBlank();
  void refusedBuildRunsNothing();
  void weightingTableWritten();
  void weightingTableUnwritable();
};

void TstRun::exitCodes_data() {
  QTest::addColumn<QString>("how");
  QTest::addColumn<QString>("message");
  QTest::addColumn<int>("code");
  QTest::newRow("success") << "0" << "Process Completed Successfully" << 0;
  QTest::newRow("exit 3") << "3" << "Abnormal Exit, Exit Code: 3" << 3;
  QTest::newRow("interrupt") << "INT" << "Shell was Interupted" << NW_EXIT_INTERRUPTED;
}

void TstRun::exitCodes() {
  QFETCH(QString, how);
  QFETCH(QString, message);
  QFETCH(int, code);
  qputenv("NW_FAKE_EXIT", how.toLatin1());
  QSignalSpy done(f.w.get(), &MainFrm::runFinished);
  QTest::mouseClick(f.find<QPushButton>("ApplyCmd"), Qt::LeftButton);
  QCOMPARE(done.count(), 1);
  QCOMPARE(done[0][1].toInt(), code);
  QCOMPARE(texts(), QStringList({message}));
  QCOMPARE(f.prompt.shown[0].title, std::string("Nodeweld"));
  QCOMPARE(recorded(), QStringList({"-F", input, "-T", "0.5"}));
  RunFrm* run = f.w->runFrm();
  QVERIFY(run->output().contains("fake driver: -F " + input + " -T 0.5"));
  // After the run the window no longer blocks the program.
  QCOMPARE(run->windowModality(), Qt::NonModal);
  QVERIFY(!run->running());
}

void TstRun::interruptButtonKeepsWindowLive() {
  qputenv("NW_FAKE_EXIT", "WAIT");
  RunFrm* run = f.w->runFrm();
  bool sawOutput = false, modal = false, busy = false, interruptEnabled = false;
  int ticks = 0;
  QTimer probe;
  probe.setInterval(50);
  connect(&probe, &QTimer::timeout, this, [&] {
    ++ticks;  // timers fire: the event loop runs while the child works
    if (!run->running()) return;
    if (run->output().contains("fake driver")) {
      sawOutput = true;
      modal = run->isVisible() && run->windowModality() == Qt::ApplicationModal;
      QProgressBar* bar = run->findChild<QProgressBar*>("BusyBar");
      busy = bar->minimum() == 0 && bar->maximum() == 0;
      QPushButton* stop = run->findChild<QPushButton*>("InterruptCmd");
      interruptEnabled = stop->isEnabled();
      stop->click();
    }
  });
  probe.start();
  f.w->runNodeweld();
  probe.stop();
  QVERIFY(ticks > 0);
  QVERIFY(sawOutput);
  QVERIFY(modal);
  QVERIFY(busy);
  QVERIFY(interruptEnabled);
  QCOMPARE(texts(), QStringList({"Shell was Interupted"}));
  QCOMPARE(run->findChild<QLabel*>("StatusLbl")->text(), QString("Shell was Interupted"));
}

void TstRun::driverNotStarted() {
  qputenv("NW_FAKE_EXIT", "0");
  qputenv("PATH", dir.path().toLocal8Bit());  // no perl here
  f.w->runNodeweld();
  qputenv("PATH", QByteArray(NW_FE_TEST_DIR "/fakebin:") + oldPath);
  QCOMPARE(texts(), QStringList({"Abnormal Exit, Exit Code: -1"}));
}

void TstRun::logThreeLinesPerRun() {
  f.w->setTicked(TICK_Save, true);
  const QString line = "perl -S nodeweld.pl -F " + input + " -T 0.5";
  RunFrm* run = f.w->runFrm();
  QList<bool> modal;  // each run blocks the program, also when the window stayed open
  connect(run, &RunFrm::started, this, [&] {
    modal << (run->isVisible() && run->windowModality() == Qt::ApplicationModal);
  });
  qputenv("NW_FAKE_EXIT", "0");
  f.w->runNodeweld();
  QVERIFY(run->isVisible());
  qputenv("NW_FAKE_EXIT", "3");
  f.w->runNodeweld();
  QCOMPARE(modal, QList<bool>({true, true}));
  QCOMPARE(texts(), QStringList({"command line will be saved to NW_CMD.LOG", "Process Completed Successfully",
                                 "command line will be saved to NW_CMD.LOG", "Abnormal Exit, Exit Code: 3"}));
  QFile log(dir.path() + "/NW_CMD.LOG");
  QVERIFY(log.open(QIODevice::ReadOnly));
  const QByteArray all = log.readAll();
  QVERIFY(all.endsWith("\r\n"));
  const QList<QByteArray> lines = all.left(all.size() - 1).split('\n');
  QCOMPARE(lines.size(), 6);
  for (const QByteArray& l : lines) QVERIFY(l.endsWith('\r') && l.size() > 1);
  QCOMPARE(QString::fromLocal8Bit(lines[2].chopped(1)), line);
  QCOMPARE(QString::fromLocal8Bit(lines[5].chopped(1)), line);
  QVERIFY(lines[0].contains(QByteArray::number(QDate::currentDate().day())));
  // A refused build logs nothing.
  f.box(BOX_TolMend)->setText("");
  f.w->runNodeweld();
  QCOMPARE(QFileInfo(log).size(), qint64(all.size()));
}

void TstRun::logUnwritable() {
  QVERIFY(QDir(dir.path()).mkdir("NW_CMD.LOG"));  // a folder where the log should go
  f.w->setTicked(TICK_Save, true);
  qputenv("NW_FAKE_EXIT", "0");
  f.w->runNodeweld();
  const QStringList t = texts();
  QCOMPARE(t.size(), 3);
  QCOMPARE(t[0], QString("command line will be saved to NW_CMD.LOG"));
  QVERIFY(t[1].startsWith("The command line could not be saved to NW_CMD.LOG ("));
  QVERIFY(t[1].endsWith(").  The run goes on without a log entry."));
  QCOMPARE(t[2], QString("Process Completed Successfully"));
  QCOMPARE(recorded().size(), 4);  // the run went on
}

void TstRun::pathWithBlank() {
  const QString spaced = dir.path() + "/my sheet.dgn";
  std::ofstream(spaced.toStdString()) << "x";
  f.box(BOX_Input)->setText(spaced);
  qputenv("NW_FAKE_EXIT", "0");
  f.w->runNodeweld();
  QCOMPARE(recorded(), QStringList({"-F", spaced, "-T", "0.5"}));
}

void TstRun::refusedBuildRunsNothing() {
  f.box(BOX_Input)->setText(dir.path() + "/missing.dgn");
  f.w->runNodeweld();
  QCOMPARE(texts(), QStringList({"The input file '" + dir.path() + "/missing.dgn' does not exist."}));
  QVERIFY(!QFile::exists(record));
}

void TstRun::weightingTableWritten() {
  WeightFrm* d = f.w->weightFrm();
  const char* boxes[6] = {"1-5,9", "40,20", "3", "200", "0", "10"};
  for (int i = 0; i < 6; ++i) d->box(i)->setText(boxes[i]);
  d->apply();
  qputenv("NW_FAKE_EXIT", "0");
  f.w->runNodeweld();
  QCOMPARE(texts(), QStringList({"Process Completed Successfully"}));
  QCOMPARE(recorded(), QStringList({"-F", input, "-w", "NW_WEIGHT.TBL", "-T", "0.5"}));
  QFile table(dir.path() + "/NW_WEIGHT.TBL");
  QVERIFY(table.open(QIODevice::ReadOnly));
  QCOMPARE(table.readAll(), QByteArray("level 1-5 40\nlevel 9 20\ncolour 3 200\nstyle 0 10\n"));
  // An ordinary file of the folder, not a private temporary one.
  const QString probe = dir.path() + "/probe.txt";
  std::ofstream(probe.toStdString()) << "x";
  QCOMPARE(table.permissions(), QFile(probe).permissions());
  QFile::remove(probe);
  table.close();
  // A changed table is written over the old one at the next run.
  d->box(0)->clear();
  d->box(2)->setText("7");
  d->apply();
  f.w->runNodeweld();
  QVERIFY(table.open(QIODevice::ReadOnly));
  QCOMPARE(table.readAll(), QByteArray("colour 7 200\nstyle 0 10\n"));
}

void TstRun::weightingTableUnwritable() {
  QVERIFY(QDir(dir.path()).mkdir("NW_WEIGHT.TBL"));  // a folder where the table should go
  WeightFrm* d = f.w->weightFrm();
  d->box(0)->setText("5");
  d->box(1)->setText("40");
  d->apply();
  f.w->setTicked(TICK_Save, true);
  qputenv("NW_FAKE_EXIT", "0");
  f.w->runNodeweld();
  const QStringList t = texts();
  QCOMPARE(t.size(), 1);
  QVERIFY2(t[0].startsWith("The weighting table could not be written to NW_WEIGHT.TBL ("), qPrintable(t[0]));
  QVERIFY2(t[0].endsWith(").  Nodeweld was not run."), qPrintable(t[0]));
  QCOMPARE(f.prompt.shown[0].title, std::string("Nodeweld"));
  QVERIFY(!QFile::exists(record));                         // no run
  QVERIFY(!QFile::exists(dir.path() + "/NW_CMD.LOG"));     // no log entry
  QCOMPARE(QDir(dir.path()).entryList({"NW_WEIGHT.TBL*"}, QDir::Files), QStringList());  // no leftovers
}

QTEST_MAIN(TstRun)
#include "tst_run.moc"
