// outsymfrm: the Output Options dialog.
#include "frontend/ui/outsymfrm.h"
#include "frontend/ui/button_row.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "frontend/nwdialogs.h"
#include "frontend/ui/nwhost.h"

OutSymFrm::OutSymFrm(NwHost* host, QWidget* parent) : QDialog(parent), host_(host) {
  setObjectName(QStringLiteral("OutSymFrm"));
  setWindowTitle(QStringLiteral("Output Options"));
  QVBoxLayout* top = new QVBoxLayout(this);
  QLabel* head = new QLabel(QStringLiteral("Output symbology:"), this);
  QFont f = head->font();
  f.setBold(true);
  head->setFont(f);
  top->addWidget(head);
  QGridLayout* grid = new QGridLayout;
  const char* const names[4] = {"StyleCombo", "WeightCombo", "ColorCombo", "ClassCombo"};
  const char* const labels[4] = {"style:", "weight:", "color:", "class:"};
  const int highest[4] = {7, 30, 255, 7};
  for (int i = 0; i < 4; ++i) {
    picks_[i] = new QComboBox(this);
    picks_[i]->setObjectName(QString::fromLatin1(names[i]));
    picks_[i]->setEditable(false);
    for (int v = 0; v <= highest[i]; ++v) picks_[i]->addItem(QString::number(v));
    picks_[i]->setCurrentIndex(-1);
    picks_[i]->setMinimumWidth(70);
    grid->addWidget(new QLabel(QString::fromLatin1(labels[i]), this), i, 0);
    grid->addWidget(picks_[i], i, 1);
  }
  top->addLayout(grid);
  nw_add_button_row<OutSymFrm>(this, top, {{"ClearCmd", "Clear", &OutSymFrm::clearPicks},
                    {"ApplyCmd", "Apply", &OutSymFrm::apply},
                    {"CancelCmd", "Cancel", &OutSymFrm::cancel}});
  top->setSizeConstraint(QLayout::SetFixedSize);
}

void OutSymFrm::apply() {
  nw_outsym_apply(host_->state(), picks_[0]->currentIndex(), picks_[1]->currentIndex(),
                  picks_[2]->currentIndex(), picks_[3]->currentIndex());
  hide();
}

void OutSymFrm::cancel() {
  clearPicks();
  hide();
}

void OutSymFrm::clearPicks() {
  nw_slot_clear(&host_->state(), NW_SLOT_SYMBOLOGY);
  for (QComboBox* c : picks_) c->setCurrentIndex(-1);
}
