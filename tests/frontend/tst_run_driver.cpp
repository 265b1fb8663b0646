// End to end: the window runs the real driver script, which runs the engine
// and the design-file server on a generated sheet. Shows that the command
// lines the front end builds are taken by the driver and the engine.
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "frontend/ui/runfrm.h"
#include "frontend/ui/weightfrm.h"
#include "tests/frontend/fe_fixture.h"

class TstRunDriver : public QObject {
  Q_OBJECT
  FeWindow f;
  QTemporaryDir dir;
  QString sheet, oldCwd;
  QByteArray oldPath;

  QByteArray digest(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
  }
  QStringList texts() {
    QStringList t;
    for (const ShownPrompt& p : f.prompt.shown) t << QString::fromStdString(p.text);
    return t;
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir.isValid());
    sheet = dir.path() + "/roads.dgn";
    QProcess gen;
    gen.start(NW_BIN_DIR "/dgngen", {"-n", "100", sheet});
    QVERIFY(gen.waitForFinished(60000));
    QCOMPARE(gen.exitCode(), 0);
    oldPath = qgetenv("PATH");
    qputenv("PATH", QByteArray(NW_BIN_DIR ":") + oldPath);
    oldCwd = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
  }
  void cleanupTestCase() {
    QDir::setCurrent(oldCwd);
    qputenv("PATH", oldPath);
  }
  void init() { QVERIFY(f.open()); }
  void cleanup() { f.close(); }

  void mendingRun();
  void flaggingRunWithCriteria();
  void driverRefusesInput();
  void weightingTable();
};

void TstRunDriver::mendingRun() {
  const QByteArray before = digest(sheet);
  f.box(BOX_Input)->setText("roads.dgn");  // relative to the current folder
  f.box(BOX_TolMend)->setText("0.01");
  f.w->runNodeweld();
  QCOMPARE(texts(), QStringList({"Process Completed Successfully"}));
  const QString out = f.w->runFrm()->output();
  QVERIFY2(out.contains("linear elements in roads.dgn"), qPrintable(out));
  QVERIFY(digest(sheet) != before);
}

void TstRunDriver::flaggingRunWithCriteria() {
  f.box(BOX_Input)->setText(sheet);
  f.box(BOX_Lvl)->setText("1-9,11-63");
  f.box(BOX_Cl)->setText("0-1");
  f.box(BOX_Ele)->setText("3,4,12");
  f.showPage(2);
  f.w->setTicked(TICK_Flag, true);
  f.box(BOX_FlagProxTol)->setText("0.01");
  f.box(BOX_FlagLvl)->setText("60");
  f.box(BOX_FlagSize)->setText("0.5");
  f.w->setTicked(TICK_DFlagNoMend, true);
  f.box(BOX_DLvlNoMend)->setText("61");
  f.box(BOX_DFlagSizeNoMend)->setText("0.5");
  QSignalSpy done(f.w.get(), &MainFrm::runFinished);
  f.w->runNodeweld();
  QCOMPARE(done.count(), 1);
  QCOMPARE(done[0][0].toString(), "perl -S nodeweld.pl -F " + sheet +
                                      " -e 3,4,12 -ll 1-9,11-63 -f 60,0.5 -T 0.01 -lc 0-1 -D 61,0.5");
  QCOMPARE(texts(), QStringList({"Process Completed Successfully"}));
  QVERIFY2(f.w->runFrm()->output().contains("flags on level 60"), qPrintable(f.w->runFrm()->output()));
}

void TstRunDriver::driverRefusesInput() {
  QFile bad(dir.path() + "/notes.dgn");
  QVERIFY(bad.open(QIODevice::WriteOnly));
  bad.write("this is not a design file\n");
  bad.close();
  f.box(BOX_Input)->setText(bad.fileName());
  f.box(BOX_TolMend)->setText("0.5");
  f.w->runNodeweld();
  QCOMPARE(texts().size(), 1);
  QVERIFY2(texts()[0].startsWith("Abnormal Exit, Exit Code: "), qPrintable(texts()[0]));
  QVERIFY(texts()[0] != "Abnormal Exit, Exit Code: -1");
  QVERIFY(f.w->runFrm()->output().contains("nodeweld.pl"));
}

void TstRunDriver::weightingTable() {
  // The table written at Run is read by the driver (a table it cannot read
  // ends the run with its usage status), on both pages.
  WeightFrm* d = f.w->weightFrm();
  const char* boxes[6] = {"1-5,9", "40,20", "0-3", "200", "0", "10"};
  for (int i = 0; i < 6; ++i) d->box(i)->setText(boxes[i]);
  d->apply();
  QVERIFY(f.prompt.shown.empty());
  f.box(BOX_Input)->setText("roads.dgn");
  f.box(BOX_TolMend)->setText("0.01");
  QSignalSpy done(f.w.get(), &MainFrm::runFinished);
  f.w->runNodeweld();
  QCOMPARE(done.count(), 1);
  QCOMPARE(done[0][0].toString(), QString("perl -S nodeweld.pl -F roads.dgn -w NW_WEIGHT.TBL -T 0.01"));
  QCOMPARE(done[0][1].toInt(), 0);
  QCOMPARE(texts(), QStringList({"Process Completed Successfully"}));
  // The engine ran (the sheet may have been mended by an earlier case).
  QVERIFY2(f.w->runFrm()->output().contains("VKR_nodeweld finishing"), qPrintable(f.w->runFrm()->output()));

  f.prompt.reset();
  f.showPage(2);
  f.w->setTicked(TICK_Flag, true);
  f.box(BOX_FlagProxTol)->setText("0.01");
  f.box(BOX_FlagLvl)->setText("60");
  f.box(BOX_FlagSize)->setText("0.5");
  f.w->runNodeweld();
  QCOMPARE(done.count(), 2);
  QCOMPARE(done[1][0].toString(),
           QString("perl -S nodeweld.pl -F roads.dgn -w NW_WEIGHT.TBL -f 60,0.5 -T 0.01"));
  QCOMPARE(texts(), QStringList({"Process Completed Successfully"}));
}

QTEST_MAIN(TstRunDriver)
#include "tst_run_driver.moc"
