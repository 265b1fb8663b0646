// elefrm: the Input Criteria dialog (EleFrm): ten element-type check boxes,
// Clear, Apply and Cancel.
#ifndef NW_FRONTEND_UI_ELEFRM_H
#define NW_FRONTEND_UI_ELEFRM_H

#include <QDialog>

class QCheckBox;
class NwHost;

class EleFrm : public QDialog {
  Q_OBJECT

 public:
  EleFrm(NwHost* host, QWidget* parent);
  QCheckBox* typeBox(int index) const { return (index >= 0 && index < 10) ? checks_[index] : nullptr; }

 public slots:
  void activate();  // re-read the main window's elements box
  void clearTypes();
  void apply();
  void cancel();

 signals:
  void closedByUser();

 protected:
  bool event(QEvent* ev) override;
  void hideEvent(QHideEvent* ev) override;
  void reject() override { cancel(); }

 private:
  void writeList();

  NwHost* host_;
  QCheckBox* checks_[10] = {};
};

#endif
