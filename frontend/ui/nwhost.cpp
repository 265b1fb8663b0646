// nwhost: tracking which of the program's windows was last activated.
#include "frontend/ui/nwhost.h"

#include <QPointer>
#include <QWidget>

bool nw_fresh_activation(QWidget* w) {
  static QPointer<QWidget> last;
  const bool fresh = last.data() != w;
  last = w;
  return fresh;
}
