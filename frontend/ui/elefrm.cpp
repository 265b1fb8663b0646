// elefrm: the Input Criteria dialog.
#include "frontend/ui/elefrm.h"
#include "frontend/ui/button_row.h"

#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "frontend/nwdialogs.h"
#include "frontend/ui/nwhost.h"

EleFrm::EleFrm(NwHost* host, QWidget* parent) : QDialog(parent), host_(host) {
  setObjectName(QStringLiteral("EleFrm"));
  setWindowTitle(QStringLiteral("Input Criteria"));
  QVBoxLayout* top = new QVBoxLayout(this);
  QLabel* head = new QLabel(QStringLiteral("Element Types:"), this);
  QFont f = head->font();
  f.setBold(true);
  head->setFont(f);
  top->addWidget(head);
  for (int i = 0; i < NW_ELE_TYPES; ++i) {
    checks_[i] = new QCheckBox(QString::fromLatin1(nw_ele_caption(i)), this);
    checks_[i]->setObjectName(QStringLiteral("Check%1").arg(nw_ele_type(i)));
    top->addWidget(checks_[i]);
  }
  nw_add_button_row<EleFrm>(this, top, {{"ClearCmd", "Clear", &EleFrm::clearTypes},
                    {"ApplyCmd", "Apply", &EleFrm::apply},
                    {"CancelCmd", "Cancel", &EleFrm::cancel}});
  top->setSizeConstraint(QLayout::SetFixedSize);
}

void EleFrm::hideEvent(QHideEvent* ev) {
  nw_activation_hidden(this);
  QDialog::hideEvent(ev);
}

bool EleFrm::event(QEvent* ev) {
  if (ev->type() == QEvent::WindowActivate && nw_fresh_activation(this)) activate();
  return QDialog::event(ev);
}

void EleFrm::activate() {
  bool ticks[NW_ELE_TYPES];
  for (int i = 0; i < NW_ELE_TYPES; ++i) ticks[i] = checks_[i]->isChecked();
  nw_ele_activate(host_->form(), host_->prompt(), ticks);
  for (int i = 0; i < NW_ELE_TYPES; ++i) checks_[i]->setChecked(ticks[i]);
}

void EleFrm::writeList() {
  bool ticks[NW_ELE_TYPES];
  for (int i = 0; i < NW_ELE_TYPES; ++i) ticks[i] = checks_[i]->isChecked();
  WriteEleList(host_->form(), host_->state(), ticks);
}

void EleFrm::clearTypes() {
  for (QCheckBox* c : checks_) c->setChecked(false);
  writeList();
}

void EleFrm::apply() {
  writeList();
  hide();
  emit closedByUser();
}

void EleFrm::cancel() {
  hide();
  emit closedByUser();
}
