// aboutfrm: the About box.
#include "frontend/ui/aboutfrm.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "frontend/nwstate.h"
#include "frontend/ui/nwhost.h"

AboutFrm::AboutFrm(NwHost* host, QWidget* parent) : QDialog(parent), host_(host) {
  setObjectName(QStringLiteral("frmAbout"));
  setWindowTitle(QStringLiteral("About ") + QStringLiteral(NW_APP_TITLE));
  QVBoxLayout* top = new QVBoxLayout(this);
  QLabel* title = new QLabel(QStringLiteral(NW_APP_TITLE), this);
  title->setObjectName(QStringLiteral("lblTitle"));
  QFont f = title->font();
  f.setBold(true);
  f.setPointSizeF(f.pointSizeF() * 1.6);
  title->setFont(f);
  QLabel* version = new QLabel(QStringLiteral("Version ") + QString::fromStdString(nw_version_text()), this);
  version->setObjectName(QStringLiteral("lblVersion"));
  QLabel* desc = new QLabel(
      QStringLiteral("Front end of nodeweld: choose a design or ULF file, the selection "
                     "criteria and the mending or flagging options, and run the cleanup of "
                     "vector linework whose end points nearly meet."),
      this);
  desc->setObjectName(QStringLiteral("lblDescription"));
  desc->setWordWrap(true);
  desc->setMinimumWidth(320);
  top->addWidget(title);
  top->addWidget(version);
  top->addWidget(desc);
  QHBoxLayout* row = new QHBoxLayout;
  row->addStretch(1);
  QPushButton* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("cmdOK"));
  ok->setDefault(true);
  QPushButton* sys = new QPushButton(QStringLiteral("&System Info..."), this);
  sys->setObjectName(QStringLiteral("cmdSysInfo"));
  sys->setAutoDefault(false);
  row->addWidget(ok);
  row->addWidget(sys);
  top->addLayout(row);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(sys, &QPushButton::clicked, this, &AboutFrm::systemInfo);
}

QString AboutFrm::systemInfoTool() {
  for (const char* name : {"hardinfo", "kinfocenter", "gnome-system-monitor", "xfce4-taskmanager"}) {
    const QString path = QStandardPaths::findExecutable(QString::fromLatin1(name));
    if (!path.isEmpty()) return path;
  }
  return QString();
}

void AboutFrm::systemInfo() {
  const QString tool = systemInfoTool();
  if (tool.isEmpty() || !QProcess::startDetached(tool, QStringList()))
    host_->prompt().message("System Information Is Unavailable At This Time", NW_APP_TITLE);
}
