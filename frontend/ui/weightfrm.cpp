// weightfrm: the Weighting Options dialog.
#include "frontend/ui/weightfrm.h"
#include "frontend/ui/button_row.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "frontend/nwweight.h"
#include "frontend/ui/nwhost.h"

WeightFrm::WeightFrm(NwHost* host, QWidget* parent) : QDialog(parent), host_(host) {
  setObjectName(QStringLiteral("WeightFrm"));
  setWindowTitle(QStringLiteral("Weighting Options"));
  QVBoxLayout* top = new QVBoxLayout(this);
  QLabel* heading = new QLabel(this);
  heading->setObjectName(QStringLiteral("HeadingLbl"));
  QFont f = heading->font();
  f.setBold(true);
  heading->setFont(f);
  heading->setAlignment(Qt::AlignCenter);
  // The heading's line break is a carriage return; shown as a line break.
  const QString text = QStringLiteral("Use the following weighting system to prioritize") +
                       QChar('\r') + QStringLiteral("the order inwhich the linework is mended.");
  heading->setProperty("nwText", text);
  heading->setText(QString(text).replace(QChar('\r'), QChar('\n')));
  top->addWidget(heading);

  QGridLayout* grid = new QGridLayout;
  grid->addWidget(new QLabel(QStringLiteral("Weight by:"), this), 0, 0);
  QLabel* valueHead = new QLabel(QStringLiteral("Value"), this);
  valueHead->setObjectName(QStringLiteral("ValueLbl"));
  valueHead->setToolTip(QStringLiteral("Separate multiple values with commas."));
  QLabel* weightHead = new QLabel(QStringLiteral("Weight"), this);
  weightHead->setObjectName(QStringLiteral("WeightLbl"));
  weightHead->setToolTip(QStringLiteral("Separate multiple weights with commas."));
  grid->addWidget(valueHead, 0, 1);
  grid->addWidget(weightHead, 0, 2);
  const char* const rows[3] = {"level", "color", "style"};
  const char* const names[6] = {"LvlvalTxt", "LvlwtTxt", "CovalTxt", "CowtTxt", "StyvalTxt", "StywtTxt"};
  for (int r = 0; r < 3; ++r) {
    grid->addWidget(new QLabel(QString::fromLatin1(rows[r]), this), r + 1, 0);
    for (int c = 0; c < 2; ++c) {
      QLineEdit* e = new QLineEdit(this);
      e->setObjectName(QString::fromLatin1(names[r * 2 + c]));
      boxes_[r * 2 + c] = e;
      grid->addWidget(e, r + 1, c + 1);
    }
  }
  top->addLayout(grid);
  nw_add_button_row<WeightFrm>(this, top, {{"ApplyCmd", "Apply", &WeightFrm::apply},
                    {"ClearCmd", "Clear", &WeightFrm::clearBoxes},
                    {"CancelCmd", "Cancel", &WeightFrm::cancel}});
}

void WeightFrm::apply() {
  std::string texts[NW_WEIGHT_BOXES];
  for (int i = 0; i < NW_WEIGHT_BOXES; ++i) texts[i] = boxes_[i]->text().toStdString();
  std::vector<NwWeightRule> rules;
  const int bad = nw_weight_read(host_->prompt(), texts, &rules);
  if (bad >= 0) {
    boxes_[bad]->setFocus(Qt::OtherFocusReason);
    return;
  }
  host_->state().Weighting = rules;
  hide();
}

void WeightFrm::clearBoxes() {
  for (QLineEdit* e : boxes_) e->clear();
  host_->state().Weighting.clear();
}

void WeightFrm::cancel() {
  clearBoxes();
  hide();
}
