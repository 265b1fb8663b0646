// levelfrm: the Levels dialog.
#include "frontend/ui/levelfrm.h"
#include "frontend/ui/button_row.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "frontend/nwdialogs.h"
#include "frontend/ui/nwhost.h"

namespace {
const QColor kOnFace(0x9A, 0x9A, 0x9A);
}

LevelFrm::LevelFrm(NwHost* host, QWidget* parent) : QDialog(parent), host_(host) {
  setObjectName(QStringLiteral("LevelFrm"));
  setWindowTitle(QStringLiteral("Levels"));
  QVBoxLayout* top = new QVBoxLayout(this);
  QGridLayout* grid = new QGridLayout;
  grid->setSpacing(2);
  for (int n = 1; n <= 63; ++n) {
    QPushButton* b = new QPushButton(QString::number(n), this);
    b->setObjectName(QStringLiteral("Level%1").arg(n));
    b->setFixedSize(34, 26);
    b->setAutoDefault(false);
    b->setAutoFillBackground(true);
    connect(b, &QPushButton::clicked, this, [this, n] {
      nw_levels_toggle(host_->state(), n);
      setLook(n, !host_->state().SelLevels[n].empty());
    });
    grid->addWidget(b, (n - 1) / 8, (n - 1) % 8);
    levels_[n] = b;
  }
  top->addLayout(grid);
  nw_add_button_row<LevelFrm>(this, top, {{"SelectAllCmd", "Select All", &LevelFrm::selectAll},
                    {"ClearCmd", "Clear", &LevelFrm::clearLevels},
                    {"ApplyCmd", "Apply", &LevelFrm::apply},
                    {"CancelCmd", "Cancel", &LevelFrm::cancel}});
  top->setSizeConstraint(QLayout::SetFixedSize);
  for (int n = 1; n <= 63; ++n) setLook(n, false);
}

bool LevelFrm::isOn(int n) const {
  return n >= 1 && n <= 63 && levels_[n]->font().bold();
}

void LevelFrm::setLook(int n, bool on) {
  QPushButton* b = levels_[n];
  QFont f = b->font();
  f.setBold(on);
  b->setFont(f);
  QPalette p = palette();  // the dialog's own palette has the system button face
  if (on) p.setColor(QPalette::Button, kOnFace);
  b->setPalette(p);
}

void LevelFrm::refresh() {
  for (int n = 1; n <= 63; ++n) setLook(n, !host_->state().SelLevels[n].empty());
}

void LevelFrm::hideEvent(QHideEvent* ev) {
  nw_activation_hidden(this);
  QDialog::hideEvent(ev);
}

bool LevelFrm::event(QEvent* ev) {
  if (ev->type() == QEvent::WindowActivate && nw_fresh_activation(this)) activate();
  return QDialog::event(ev);
}

void LevelFrm::activate() {
  if (nw_levels_activate(host_->form(), host_->prompt(), host_->state())) refresh();
}

void LevelFrm::selectAll() {
  nw_levels_select_all(host_->state());
  refresh();
}

void LevelFrm::clearLevels() {
  nw_levels_clear(host_->state());
  refresh();
}

void LevelFrm::apply() {
  const NwApplyResult r = nw_levels_apply(host_->form(), host_->prompt(), host_->state());
  refresh();
  if (r != NW_APPLY_DONE) return;
  hide();
  emit closedByUser();
}

void LevelFrm::cancel() {
  nw_levels_clear(host_->state());
  refresh();
  hide();
  emit closedByUser();
}
