#pragma once
// The sources panel: the video source, the audio source with the sound card's input, the capture
// format, the next file name and the refresh button. The panel holds the controls; the main
// window fills the lists and connects what is chosen.

#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

#include "app/DossiersFrame.h"

namespace vistrel::app {

inline const QString kAucunFluxVideo = QStringLiteral("aucun flux vidéo");
inline const QString kAucunFluxAudio = QStringLiteral("aucun flux audio");

class TSourcesFrame : public QFrame {
  Q_OBJECT
 public:
  explicit TSourcesFrame(QWidget* parent = nullptr);

  QGroupBox* gbVideo;
  QComboBox* cboxvideo;
  QLabel* LabVideo;
  QToolButton* sbVideoSettings;
  QToolButton* sbVideoPilotVCR;

  QGroupBox* gbAudio;
  QComboBox* cboxAudio;
  QLabel* LabAudio;
  QToolButton* sbAudioSettings;
  QToolButton* sbAudioPilotVCR;
  QComboBox* cbEntries;

  QGroupBox* gbFormat;
  QComboBox* cbFormatCapture;
  QToolButton* sbFormatCapturesettings;
  QLabel* lbFramerate;
  QLineEdit* leFramerate;

  TLinkLabel* LabelVideo;
  QToolButton* ActualiserVideoSpeedBtn;
  QToolButton* sbVideo;
  QToolButton* sbKronel;

  // Shows the frame-rate field with its caption, or hides both.
  void setFramerateVisible(bool visible);
  // Draws a list's text grey when its source is not used by the chosen format.
  static void setGreyText(QComboBox* box, bool grey);
};

}  // namespace vistrel::app
