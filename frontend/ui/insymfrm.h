// insymfrm: the Input Symbology dialog (InsymFrm): style, weight, color and
// class lists with multiple selection, Clear, Apply and Cancel.
#ifndef NW_FRONTEND_UI_INSYMFRM_H
#define NW_FRONTEND_UI_INSYMFRM_H

#include <QDialog>
#include <vector>

class QListWidget;
class NwHost;

class InsymFrm : public QDialog {
  Q_OBJECT

 public:
  InsymFrm(NwHost* host, QWidget* parent);
  // 0 styles, 1 weights, 2 colors, 3 classes.
  QListWidget* list(int i) const { return (i >= 0 && i < 4) ? lists_[i] : nullptr; }

 public slots:
  void activate();  // re-read the main window's four boxes
  void clearLists();
  void apply();
  void cancel();

 signals:
  void closedByUser();

 protected:
  bool event(QEvent* ev) override;
  void hideEvent(QHideEvent* ev) override;
  void reject() override { cancel(); }

 private:
  std::vector<bool> selection(int l) const;
  void select(int l, const std::vector<bool>& sel);

  NwHost* host_;
  QListWidget* lists_[4] = {};
};

#endif
