// levelfrm: the Levels dialog (LevelFrm): 63 level buttons over SelLevels,
// Select All, Clear, Apply and Cancel.
#ifndef NW_FRONTEND_UI_LEVELFRM_H
#define NW_FRONTEND_UI_LEVELFRM_H

#include <QDialog>

class QPushButton;
class NwHost;

class LevelFrm : public QDialog {
  Q_OBJECT

 public:
  LevelFrm(NwHost* host, QWidget* parent);
  QPushButton* levelButton(int n) const { return (n >= 1 && n <= 63) ? levels_[n] : nullptr; }
  // A level button's look: on = bold caption on a dark grey face.
  bool isOn(int n) const;

 public slots:
  void activate();  // re-read the main window's levels box
  void selectAll();
  void clearLevels();
  void apply();
  void cancel();

 signals:
  void closedByUser();

 protected:
  bool event(QEvent* ev) override;
  void hideEvent(QHideEvent* ev) override;
  void reject() override { cancel(); }

 private:
  void refresh();
  void setLook(int n, bool on);

  NwHost* host_;
  QPushButton* levels_[64] = {};
};

#endif
