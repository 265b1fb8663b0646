// nodeweldf: the desktop front end of nodeweld.
#include <QApplication>
#include <QScreen>

#include "frontend/nwstate.h"
#include "frontend/ui/mainfrm.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral(NW_APP_TITLE));
  QApplication::setApplicationVersion(QString::fromStdString(nw_version_text()));
  MainFrm w;
  QObject::connect(&w, &MainFrm::exitRequested, &app, &QApplication::quit, Qt::QueuedConnection);
  w.show();
  // Opens centred on the screen.
  if (QScreen* screen = w.screen())
    w.move(screen->availableGeometry().center() - w.frameGeometry().center() + w.pos());
  return app.exec();
}
