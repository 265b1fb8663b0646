// insymfrm: the Input Symbology dialog.
#include "frontend/ui/insymfrm.h"
#include "frontend/ui/button_row.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "frontend/nwdialogs.h"
#include "frontend/ui/nwhost.h"

InsymFrm::InsymFrm(NwHost* host, QWidget* parent) : QDialog(parent), host_(host) {
  setObjectName(QStringLiteral("InsymFrm"));
  setWindowTitle(QStringLiteral("Input Symbology"));
  QVBoxLayout* top = new QVBoxLayout(this);
  QGridLayout* grid = new QGridLayout;
  const char* const names[4] = {"StyList", "WtList", "CoList", "ClassList"};
  const char* const labels[4] = {"Styles:", "Weights:", "Colors:", "Classes:"};
  for (int l = 0; l < NW_SYM_LISTS; ++l) {
    QLabel* head = new QLabel(QString::fromLatin1(labels[l]), this);
    QFont f = head->font();
    f.setBold(true);
    head->setFont(f);
    lists_[l] = new QListWidget(this);
    lists_[l]->setObjectName(QString::fromLatin1(names[l]));
    lists_[l]->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lists_[l]->setFixedSize(76, 200);
    lists_[l]->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (int i = 0; i < nw_sym_items(l); ++i)
      lists_[l]->addItem(QString::fromStdString(nw_sym_item_text(l, i)));
    select(l, nw_sym_default_selection(l));
    grid->addWidget(head, 0, l);
    grid->addWidget(lists_[l], 1, l);
  }
  top->addLayout(grid);
  nw_add_button_row<InsymFrm>(this, top, {{"ClearCmd", "Clear", &InsymFrm::clearLists},
                    {"ApplyCmd", "Apply", &InsymFrm::apply},
                    {"CancelCmd", "Cancel", &InsymFrm::cancel}});
  top->setSizeConstraint(QLayout::SetFixedSize);
}

std::vector<bool> InsymFrm::selection(int l) const {
  std::vector<bool> sel(lists_[l]->count(), false);
  for (int i = 0; i < lists_[l]->count(); ++i) sel[i] = lists_[l]->item(i)->isSelected();
  return sel;
}

void InsymFrm::select(int l, const std::vector<bool>& sel) {
  for (int i = 0; i < lists_[l]->count(); ++i)
    lists_[l]->item(i)->setSelected(i < static_cast<int>(sel.size()) && sel[i]);
}

void InsymFrm::hideEvent(QHideEvent* ev) {
  nw_activation_hidden(this);
  QDialog::hideEvent(ev);
}

bool InsymFrm::event(QEvent* ev) {
  if (ev->type() == QEvent::WindowActivate && nw_fresh_activation(this)) activate();
  return QDialog::event(ev);
}

void InsymFrm::activate() {
  std::vector<bool> sel[NW_SYM_LISTS];
  const int done = nw_sym_activate(host_->form(), host_->prompt(), sel);
  for (int l = 0; l < done; ++l) select(l, sel[l]);
}

void InsymFrm::clearLists() {
  for (int l = 0; l < NW_SYM_LISTS; ++l) select(l, nw_sym_default_selection(l));
}

void InsymFrm::apply() {
  std::vector<bool> sel[NW_SYM_LISTS];
  for (int l = 0; l < NW_SYM_LISTS; ++l) sel[l] = selection(l);
  const int failed = nw_sym_apply(host_->form(), host_->prompt(), sel);
  if (failed >= 0) {
    select(failed, sel[failed]);
    return;
  }
  hide();
  emit closedByUser();
}

void InsymFrm::cancel() {
  hide();
  emit closedByUser();
}
