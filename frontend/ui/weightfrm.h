// weightfrm: the Weighting Options dialog (WeightFrm): value and weight boxes
// for levels, colors and styles. Its Apply changes nothing: the driver has no
// weighting option yet.
#ifndef NW_FRONTEND_UI_WEIGHTFRM_H
#define NW_FRONTEND_UI_WEIGHTFRM_H

#include <QDialog>

class QLabel;
class QLineEdit;

class WeightFrm : public QDialog {
  Q_OBJECT

 public:
  explicit WeightFrm(QWidget* parent);
  QLineEdit* box(int i) const { return (i >= 0 && i < 6) ? boxes_[i] : nullptr; }

 public slots:
  void apply();
  void clearBoxes();
  void cancel();

 protected:
  void reject() override { cancel(); }

 private:
  QLineEdit* boxes_[6] = {};  // LvlvalTxt LvlwtTxt CovalTxt CowtTxt StyvalTxt StywtTxt
};

#endif
