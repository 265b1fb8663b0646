// aboutfrm: the About box: title, version, a short description, OK and a
// system-information button.
#ifndef NW_FRONTEND_UI_ABOUTFRM_H
#define NW_FRONTEND_UI_ABOUTFRM_H

#include <QDialog>

class NwHost;

class AboutFrm : public QDialog {
  Q_OBJECT

 public:
  AboutFrm(NwHost* host, QWidget* parent);
  // The system-information tool found on PATH, empty when none.
  static QString systemInfoTool();

 public slots:
  void systemInfo();

 private:
  NwHost* host_;
};

#endif
