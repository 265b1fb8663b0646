// weightfrm: the Weighting Options dialog (WeightFrm): value and weight boxes
// for levels, colors and styles. Apply reads them into the window state's
// weighting table (the run hands it to the driver with -w); Clear and Cancel
// empty the boxes and drop the table, so the boxes never hide a table in force.
#ifndef NW_FRONTEND_UI_WEIGHTFRM_H
#define NW_FRONTEND_UI_WEIGHTFRM_H

#include <QDialog>

class QLabel;
class QLineEdit;
class NwHost;

class WeightFrm : public QDialog {
  Q_OBJECT

 public:
  WeightFrm(NwHost* host, QWidget* parent);
  QLineEdit* box(int i) const { return (i >= 0 && i < 6) ? boxes_[i] : nullptr; }

 public slots:
  // Applies the boxes; a bad entry is refused with a message and the dialog
  // stays open with the focus on the box to correct.
  void apply();
  void clearBoxes();
  void cancel();

 protected:
  void reject() override { cancel(); }

 private:
  NwHost* host_;
  QLineEdit* boxes_[6] = {};  // LvlvalTxt LvlwtTxt CovalTxt CowtTxt StyvalTxt StywtTxt
};

#endif
