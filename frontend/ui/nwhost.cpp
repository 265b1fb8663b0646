// nwhost: tracking which of the program's windows was last activated.
#include "frontend/ui/nwhost.h"

#include <QPointer>
#include <QWidget>

namespace {
QPointer<QWidget> last;
}

bool nw_fresh_activation(QWidget* w) {
  const bool fresh = last.data() != w;
  last = w;
  return fresh;
}

void nw_activation_hidden(QWidget* w) {
  if (last.data() == w) last = nullptr;
}
