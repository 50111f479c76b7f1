#pragma once
// The grab panel: the thumbnail of the last saved picture, the name of the next one and the
// intervalometer (switch, countdown, interval and unit, beeps). The panel holds the controls;
// the main window grabs, saves and drives the overlay filter.

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include "app/DossiersFrame.h"

namespace vistrel::app {

class TExtraireFrame : public QFrame {
  Q_OBJECT
 public:
  explicit TExtraireFrame(QWidget* parent = nullptr);

  QLabel* Caption;
  QFrame* Bevel3;
  QLabel* Image;
  QGroupBox* gbProchaine;
  TLinkLabel* destlabel;
  QPushButton* RxSwitch1;  // checkable: on runs the intervalometer
  QLabel* chronoLab;
  QSpinBox* RxSpinEdit7;
  QComboBox* cbUnites;
  QCheckBox* cbBeeps;
};

}  // namespace vistrel::app
