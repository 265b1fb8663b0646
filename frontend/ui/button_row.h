// button_row: the row of push buttons at the foot of the selection dialogs
// (Clear, Apply, Cancel and their like), each named after its control so
// tests find it, none a default button, each wired to a slot of the dialog.
#ifndef NW_FRONTEND_UI_BUTTON_ROW_H
#define NW_FRONTEND_UI_BUTTON_ROW_H

#include <QBoxLayout>
#include <QPushButton>

#include <initializer_list>

template <class Dialog>
struct NwButton {
  const char* name;
  const char* caption;
  void (Dialog::*slot)();
};

template <class Dialog>
void nw_add_button_row(Dialog* dialog, QBoxLayout* top, std::initializer_list<NwButton<Dialog>> buttons) {
  QHBoxLayout* row = new QHBoxLayout;
  for (const NwButton<Dialog>& d : buttons) {
    QPushButton* b = new QPushButton(QString::fromLatin1(d.caption), dialog);
    b->setObjectName(QString::fromLatin1(d.name));
    b->setAutoDefault(false);
    QObject::connect(b, &QPushButton::clicked, dialog, d.slot);
    row->addWidget(b);
  }
  top->addLayout(row);
}

#endif
