// outsymfrm: the Output Options dialog (OutSymFrm): style, weight, color and
// class picks that fill command-line slot 14 (-S).
#ifndef NW_FRONTEND_UI_OUTSYMFRM_H
#define NW_FRONTEND_UI_OUTSYMFRM_H

#include <QDialog>

class QComboBox;
class NwHost;

class OutSymFrm : public QDialog {
  Q_OBJECT

 public:
  OutSymFrm(NwHost* host, QWidget* parent);
  // 0 style, 1 weight, 2 color, 3 class.
  QComboBox* pick(int i) const { return (i >= 0 && i < 4) ? picks_[i] : nullptr; }

 public slots:
  void apply();
  void cancel();
  void clearPicks();  // Clear: slot 14 emptied, no picks; stays open

 protected:
  void reject() override { cancel(); }

 private:
  NwHost* host_;
  QComboBox* picks_[4] = {};
};

#endif
