// qtprompt: message boxes for the front end's messages and questions.
#include "frontend/ui/qtprompt.h"

#include <QApplication>
#include <QMessageBox>

namespace {

// Messages break lines with a lone carriage return; the box wants line feeds.
QString shown(const std::string& text) {
  QString s = QString::fromStdString(text);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  s.replace(QChar('\r'), QChar('\n'));
  return s;
}

QWidget* parent_for(QWidget* owner) {
  QWidget* w = QApplication::activeWindow();
  return w ? w : owner;
}

}  // namespace

void NwQtPrompt::message(const std::string& text, const std::string& title) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(title), shown(text),
                  QMessageBox::Ok, parent_for(owner_));
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

bool NwQtPrompt::question(const std::string& text, const std::string& title, NwAsk kind) {
  const bool yesNo = kind == NW_ASK_YESNO;
  QMessageBox box(QMessageBox::Question, QString::fromStdString(title), shown(text),
                  yesNo ? (QMessageBox::Yes | QMessageBox::No)
                        : (QMessageBox::Ok | QMessageBox::Cancel),
                  parent_for(owner_));
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(yesNo ? QMessageBox::Yes : QMessageBox::Ok);
  const int r = box.exec();
  return r == QMessageBox::Yes || r == QMessageBox::Ok;
}
