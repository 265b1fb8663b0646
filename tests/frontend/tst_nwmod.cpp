// Tests of the front end's plain logic: ParseList, PackList, the list
// messages, the exit-status texts, FileExists and the command-line log.
#include <QTemporaryDir>
#include <QtTest>

#include <fstream>
#include <sstream>

#include "frontend/nwcmd.h"
#include "frontend/nwmod.h"

class TstNwmod : public QObject {
  Q_OBJECT

 private slots:
  void parseList_data();
  void parseList();
  void parseListKeepsTypedDigits();
  void parseListHugeNumber();
  void packList_data();
  void packList();
  void packRoundTrip();
  void listMessages_data();
  void listMessages();
  void exitMessages();
  void fileExists();
  void logAppend();
  void logAppendFailure();
};

void TstNwmod::parseList_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("lo");
  QTest::addColumn<int>("hi");
  QTest::addColumn<int>("code");
  QTest::addColumn<QString>("detail");
  QTest::addColumn<QString>("textAfter");
  QTest::addColumn<QString>("packed");  // PackList of lo..hi after parsing
  QTest::newRow("range and single") << "1-5,7" << 1 << 63 << 0 << "" << "1-5,7" << "1-5,7";
  QTest::newRow("reversed") << "5-3" << 1 << 63 << 2 << "5-3" << "5-3" << "";
  QTest::newRow("out of range") << "70" << 1 << 63 << 1 << "70" << "70" << "";
  QTest::newRow("blank") << "1 2" << 1 << 63 << 3 << " " << "1 2" << "";
  QTest::newRow("bad char") << "3,x4" << 1 << 63 << 4 << "x" << "3,x4" << "3";
  QTest::newRow("double comma") << "1,,2" << 1 << 63 << 6 << "1,," << "1,,2" << "1";
  QTest::newRow("leading dash") << "-5" << 1 << 63 << 6 << "-" << "-5" << "";
  QTest::newRow("no digits") << "abc" << 1 << 63 << 5 << "" << "" << "";
  QTest::newRow("trailing comma dropped") << "1-5," << 1 << 63 << 0 << "" << "1-5" << "1-5";
  QTest::newRow("second dash replaces start") << "1-5-9" << 1 << 63 << 0 << "" << "1-5-9" << "5-9";
  QTest::newRow("below range") << "0" << 1 << 63 << 1 << "0" << "0" << "";
  QTest::newRow("leading zeros in detail") << "0070" << 1 << 63 << 1 << "70" << "0070" << "";
  QTest::newRow("styles reversed") << "7-3" << 0 << 7 << 2 << "7-3" << "7-3" << "";
  QTest::newRow("colors 256") << "256" << 0 << 255 << 1 << "256" << "256" << "";
  QTest::newRow("reversed after zeros") << "09-003" << 1 << 63 << 2 << "9-3" << "09-003" << "";
  QTest::newRow("non-ascii char") << QString::fromUtf8("1,\xc3\xa9") << 1 << 63 << 0 << ""
                                  << "1" << "1";
  QTest::newRow("non-ascii inside") << QString::fromUtf8("1\xc3\xa9" "2") << 1 << 63 << 4
                                    << QString::fromUtf8("\xc3\xa9") << QString::fromUtf8("1\xc3\xa9" "2") << "";
}

void TstNwmod::parseList() {
  QFETCH(QString, text);
  QFETCH(int, lo);
  QFETCH(int, hi);
  QFETCH(int, code);
  QFETCH(QString, detail);
  QFETCH(QString, textAfter);
  QFETCH(QString, packed);
  std::string t = text.toStdString(), d;
  std::vector<std::string> values(257);
  QCOMPARE(ParseList(t, values, lo, hi, d), code);
  QCOMPARE(QString::fromStdString(d), detail);
  QCOMPARE(QString::fromStdString(t), textAfter);
  QCOMPARE(QString::fromStdString(PackList(values, lo, hi)), packed);
}

void TstNwmod::parseListKeepsTypedDigits() {
  std::string t = "007,9-11", d;
  std::vector<std::string> values(257, "stale");
  QCOMPARE(ParseList(t, values, 0, 255, d), 0);
  QCOMPARE(QString::fromStdString(values[7]), QString("007"));
  QCOMPARE(QString::fromStdString(values[10]), QString("10"));
  QVERIFY(values[8].empty());    // entries lo..hi are emptied first
  QCOMPARE(QString::fromStdString(values[256]), QString("stale"));  // beyond hi untouched
  QCOMPARE(QString::fromStdString(PackList(values, 0, 255)), QString("007,9-11"));
}

void TstNwmod::parseListHugeNumber() {
  std::string t = "99999999999999999999999", d;
  std::vector<std::string> values(65);
  QCOMPARE(ParseList(t, values, 1, 63, d), 1);
  QCOMPARE(QString::fromStdString(d), QString("99999999999999999999999"));
  // A range far past the array is refused before anything is stored.
  t = "1-4000000000";
  QCOMPARE(ParseList(t, values, 1, 63, d), 1);
  // hi beyond a short array: the array grows instead of being overrun.
  std::vector<std::string> small(3);
  t = "200";
  QCOMPARE(ParseList(t, small, 0, 255, d), 0);
  QCOMPARE(QString::fromStdString(small[200]), QString("200"));
}

void TstNwmod::packList_data() {
  QTest::addColumn<QList<int>>("set");
  QTest::addColumn<QString>("packed");
  QTest::newRow("example") << QList<int>{1, 2, 3, 5, 7, 8} << "1-3,5,7-8";
  QTest::newRow("two consecutive") << QList<int>{0, 1} << "0-1";
  QTest::newRow("empty") << QList<int>{} << "";
  QTest::newRow("all") << [] { QList<int> l; for (int i = 1; i <= 63; ++i) l << i; return l; }() << "1-63";
  QTest::newRow("last alone") << QList<int>{63} << "63";
  QTest::newRow("edges") << QList<int>{1, 62, 63} << "1,62-63";
}

void TstNwmod::packList() {
  QFETCH(QList<int>, set);
  QFETCH(QString, packed);
  std::vector<std::string> values(65);
  for (int v : set) values[v] = std::to_string(v);
  const int lo = set.contains(0) ? 0 : 1;
  QCOMPARE(QString::fromStdString(PackList(values, lo, 63)), packed);
}

void TstNwmod::packRoundTrip() {
  // Every subset of a small range packs to a text that parses back to it.
  for (int mask = 0; mask < (1 << 8); ++mask) {
    std::vector<std::string> values(10);
    for (int b = 0; b < 8; ++b)
      if (mask & (1 << b)) values[b] = std::to_string(b);
    std::string text = PackList(values, 0, 7), d;
    std::vector<std::string> back(10);
    const int r = ParseList(text, back, 0, 7, d);
    QCOMPARE(r, mask == 0 ? 5 : 0);
    for (int b = 0; b < 8; ++b) QCOMPARE(back[b].empty(), values[b].empty());
  }
}

void TstNwmod::listMessages_data() {
  QTest::addColumn<int>("kind");
  QTest::addColumn<int>("code");
  QTest::addColumn<QString>("detail");
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("title");
  QTest::newRow("levels 1") << int(NW_LEVELS) << 1 << "70" << "Level 70 is an invalid level.  Please enter the levels again." << "Nodeweld levels";
  QTest::newRow("levels 2") << int(NW_LEVELS) << 2 << "5-3" << "'Levels 5-3' is invalid.  Please enter the levels again." << "Nodeweld levels";
  QTest::newRow("levels 3") << int(NW_LEVELS) << 3 << " " << "Spaces are not allowed in level input.  Instead, use commas to separate level numbers.  Please enter the levels again." << "Nodeweld levels";
  QTest::newRow("levels 4") << int(NW_LEVELS) << 4 << "x" << "The character x is an invalid character in the levels text box.  Please enter the levels again." << "Nodeweld levels";
  QTest::newRow("levels 5") << int(NW_LEVELS) << 5 << "" << "Please enter a value for the input levels.  The default is levels: 1-63." << "Nodeweld levels";
  QTest::newRow("levels 6") << int(NW_LEVELS) << 6 << "1,," << "A value is missing.  There are too many commas or dashes in your input '1,,'.  Please enter the levels again." << "Nodeweld levels";
  QTest::newRow("elements 1") << int(NW_ELEMENTS) << 1 << "5" << "Element type 5 is an invalid element type.  Please enter the element types again." << "Nodeweld element types";
  QTest::newRow("elements 3") << int(NW_ELEMENTS) << 3 << " " << "Spaces are not allowed in element type input.  Instead, use commas to separate element types.  Please enter the element types again." << "Nodeweld element types";
  QTest::newRow("elements 5") << int(NW_ELEMENTS) << 5 << "" << "Please enter a value for the input element types.  The default is element types: 3,4." << "Nodeweld element types";
  QTest::newRow("elements 6") << int(NW_ELEMENTS) << 6 << "3,," << "A value is missing.  There are too many commas or dashes in your input '3,,'.  Please enter the elements again." << "Nodeweld elements";
  QTest::newRow("styles 2") << int(NW_STYLES) << 2 << "7-3" << "'Styles 7-3' is invalid.  Please enter the styles again." << "Nodeweld styles";
  QTest::newRow("weights 4") << int(NW_WEIGHTS) << 4 << "w" << "The character w is an invalid character in the weights text box.  Please enter the weights again." << "Nodeweld weights";
  QTest::newRow("colors 1") << int(NW_COLORS) << 1 << "256" << "Color 256 is an invalid color.  Please enter the colors again." << "Nodeweld colors";
  QTest::newRow("colors 5") << int(NW_COLORS) << 5 << "" << "Please enter a value for the input colors.  The default is colors: 0-255." << "Nodeweld colors";
  QTest::newRow("classes 3") << int(NW_CLASSES) << 3 << " " << "Spaces are not allowed in class input.  Instead, use commas to separate classes.  Please enter the classes again." << "Nodeweld classes";
  QTest::newRow("classes 6") << int(NW_CLASSES) << 6 << "," << "A value is missing.  There are too many commas or dashes in your input ','.  Please enter the classes again." << "Nodeweld classes";
  QTest::newRow("levels dialog 6") << int(NW_LEVELS_DIALOG) << 6 << "1,," << "A value is missing.  There are too many commas or dashes in your input'1,,'.  Please enter the levels again." << "Linkfuse levels";
  QTest::newRow("levels dialog 1") << int(NW_LEVELS_DIALOG) << 1 << "64" << "Level 64 is an invalid level.  Please enter the levels again." << "Linkfuse levels";
  QTest::newRow("elements dialog 3") << int(NW_ELEMENTS_DIALOG) << 3 << " " << "Spaces are not allowed in element type input.  Instead, use commas to separate element type numbers.  Please enter the element types again." << "Nodeweld element types";
  QTest::newRow("elements dialog 6") << int(NW_ELEMENTS_DIALOG) << 6 << "," << "A value is missing.  There are too many commas or dashes in your input','.  Please enter the element types again." << "Nodeweld element types";
}

void TstNwmod::listMessages() {
  QFETCH(int, kind);
  QFETCH(int, code);
  QFETCH(QString, detail);
  QFETCH(QString, text);
  QFETCH(QString, title);
  std::string t, ti;
  nw_list_message(static_cast<NwListKind>(kind), code, detail.toStdString(), &t, &ti);
  QCOMPARE(QString::fromStdString(t), text);
  QCOMPARE(QString::fromStdString(ti), title);
}

void TstNwmod::exitMessages() {
  QCOMPARE(QString::fromStdString(nw_exit_message(0)), QString("Process Completed Successfully"));
  QCOMPARE(QString::fromStdString(nw_exit_message(NW_EXIT_INTERRUPTED)), QString("Shell was Interupted"));
  QCOMPARE(QString::fromStdString(nw_exit_message(3)), QString("Abnormal Exit, Exit Code: 3"));
  QCOMPARE(QString::fromStdString(nw_exit_message(-1)), QString("Abnormal Exit, Exit Code: -1"));
}

void TstNwmod::fileExists() {
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  const std::string file = (dir.path() + "/a b.dgn").toStdString();
  QVERIFY(!FileExists(file));
  std::ofstream(file) << "x";
  QVERIFY(FileExists(file));
  QVERIFY(!FileExists(dir.path().toStdString()));  // a folder is not an input file
  QVERIFY(!FileExists(""));
}

void TstNwmod::logAppend() {
  QTemporaryDir dir;
  const std::string log = (dir.path() + "/NW_CMD.LOG").toStdString();
  std::string err;
  QVERIFY(nw_log_append(log, "12/11/26", "10:01:02", "perl -S nodeweld.pl -F a.dgn -T 1", &err));
  QVERIFY(nw_log_append(log, "12/11/26", "10:05:00", "perl -S nodeweld.pl -U b.ulf -T 2", &err));
  std::ifstream in(log, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  QCOMPARE(QString::fromStdString(ss.str()),
           QString("12/11/26\r\n10:01:02\r\nperl -S nodeweld.pl -F a.dgn -T 1\r\n"
                   "12/11/26\r\n10:05:00\r\nperl -S nodeweld.pl -U b.ulf -T 2\r\n"));
}

void TstNwmod::logAppendFailure() {
  QTemporaryDir dir;
  std::string err;
  QVERIFY(!nw_log_append((dir.path() + "/missing/NW_CMD.LOG").toStdString(), "d", "t", "c", &err));
  QVERIFY(!err.empty());
  if (QFile::exists("/dev/full")) {
    err.clear();
    QVERIFY(!nw_log_append("/dev/full", "d", "t", "c", &err));
    QVERIFY(!err.empty());
  }
}

QTEST_APPLESS_MAIN(TstNwmod)
#include "tst_nwmod.moc"
