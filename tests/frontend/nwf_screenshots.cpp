// Renders every window of nodeweldf into PNG files (offscreen platform):
// the main window on both tabs, the five dialogs and the About box.
// Usage: nwf_screenshots OUTPUT_DIR [SHEET.dgn]
// With a design file (and nodeweld.pl on PATH) the run window is rendered
// too, after a real mending run on that file.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QTabBar>
#include <cstdio>

#include "frontend/ui/aboutfrm.h"
#include "frontend/ui/elefrm.h"
#include "frontend/ui/insymfrm.h"
#include "frontend/ui/levelfrm.h"
#include "frontend/ui/mainfrm.h"
#include "frontend/ui/outsymfrm.h"
#include "frontend/ui/runfrm.h"
#include "frontend/ui/weightfrm.h"

namespace {

// Takes the run's exit message without showing a box.
struct QuietPrompt : NwPrompt {
  void message(const std::string& text, const std::string&) override {
    std::printf("message: %s\n", text.c_str());
  }
  bool question(const std::string&, const std::string&, NwAsk) override { return false; }
};

bool save(QWidget* w, const QString& dir, const char* name) {
  w->show();
  QApplication::processEvents();
  const QPixmap pix = w->grab();
  const QString path = dir + "/" + QString::fromLatin1(name);
  if (pix.isNull() || !pix.save(path, "PNG")) {
    std::fprintf(stderr, "nwf_screenshots: cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s %dx%d\n", qPrintable(path), pix.width(), pix.height());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: nwf_screenshots OUTPUT_DIR [SHEET.dgn]\n");
    return 2;
  }
  const QString dir = QString::fromLocal8Bit(argv[1]);
  if (!QDir().mkpath(dir)) {
    std::fprintf(stderr, "nwf_screenshots: cannot create %s\n", argv[1]);
    return 1;
  }
  bool ok = true;
  MainFrm w;
  w.show();
  // First page: a mending run with dangles flagged.
  w.setBoxText(BOX_Input, "/home/survey/sheets/roads.dgn");
  w.setBoxText(BOX_TolMend, "0.5");
  w.setTicked(TICK_DFlagMend, true);
  w.setBoxText(BOX_DLvlMend, "60");
  w.setBoxText(BOX_DFlagSizeMend, "2");
  w.setBoxText(BOX_Lvl, "1-59");
  ok &= save(&w, dir, "mainfrm-mend.png");
  // Second page: flag close points and dangles only.
  w.findChild<QTabBar*>("TabStrip1")->setCurrentIndex(1);
  w.setTicked(TICK_Flag, true);
  w.setBoxText(BOX_FlagProxTol, "1.0");
  w.setBoxText(BOX_FlagLvl, "61");
  w.setBoxText(BOX_FlagSize, "2.5");
  w.setTicked(TICK_DFlagNoMend, true);
  w.setBoxText(BOX_DLvlNoMend, "62");
  w.setBoxText(BOX_DFlagSizeNoMend, "3");
  ok &= save(&w, dir, "mainfrm-dont-mend.png");

  LevelFrm* levels = w.levelFrm();
  levels->show();
  levels->activate();
  ok &= save(levels, dir, "levels.png");
  levels->hide();

  EleFrm* ele = w.eleFrm();
  ele->show();
  ele->activate();
  ok &= save(ele, dir, "input-criteria.png");
  ele->hide();

  InsymFrm* sym = w.insymFrm();
  sym->show();
  sym->activate();
  ok &= save(sym, dir, "input-symbology.png");
  sym->hide();

  OutSymFrm* out = w.outSymFrm();
  out->pick(0)->setCurrentIndex(0);
  out->pick(2)->setCurrentIndex(3);
  ok &= save(out, dir, "output-options.png");
  out->hide();

  WeightFrm* weight = w.weightFrm();
  ok &= save(weight, dir, "weighting-options.png");
  weight->hide();

  ok &= save(w.aboutFrm(), dir, "about.png");
  w.aboutFrm()->hide();

  if (argc == 3) {
    QuietPrompt quiet;
    w.setPrompt(&quiet);
    w.findChild<QTabBar*>("TabStrip1")->setCurrentIndex(0);
    w.setTicked(TICK_DFlagMend, false);
    w.setBoxText(BOX_Lvl, "1-63");
    w.setBoxText(BOX_Input, argv[2]);
    w.setBoxText(BOX_TolMend, "0.01");
    w.runNodeweld();
    ok &= save(w.runFrm(), dir, "run.png");
    w.setPrompt(nullptr);
  }
  return ok ? 0 : 1;
}
