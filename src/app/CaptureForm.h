#pragma once
// The main window: its controls at their design bounds, its life (creation, first show, the
// deferred start at the first idle moment, close and destruction), the layout of the preview
// and the switching of the option panels. The work behind the capture commands is added by the
// recording, engine and panel code as it comes.

#include <QFrame>
#include <QLabel>
#include <QList>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QString>
#include <QToolBar>
#include <QWidget>
#include <array>
#include <functional>
#include <map>
#include <memory>

#include "actions/ActionList.h"

#include "app/Plaque.h"
#include "app/StatusPanels.h"
#include "platform/ui/PostedMessages.h"
#include "settings/SavePreferences.h"

namespace vistrel::actions {
class TCustomSuperAction;
class TKeyDispatcher;
class TRaccourcisForm;
class TScript;
class TSwitch;
}  // namespace vistrel::actions

namespace vistrel::settings {
class TparameterList;
class TOrbanoPreferences;
}  // namespace vistrel::settings

namespace vistrel::app {

class Tplaque;

enum TEtatCapture : uint8_t { etatPreview = 1, etatCapture = 2, etatProgAttente = 3, etatProgCapture = 4 };

class TCaptureForm : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kPanelCount = 9;

  explicit TCaptureForm(QWidget* parent = nullptr);
  ~TCaptureForm() override;

  void setPlaque(Tplaque* plaque) { plaque_ = plaque; }
  // The shortcuts window, created after the main window by the program entry.
  void setRaccourcis(actions::TRaccourcisForm* form);
  Tplaque* plaque() const { return plaque_; }
  platform::ui::WindowHandle handle() const { return handle_; }
  settings::TparameterList& params() const { return *params_; }
  settings::TOrbanoPreferences& gp() const { return *gp_; }

  // Layout of the preview.
  void DisposerFenetre();
  void DimensionnerWithRatio();
  void PlacerEcran(int a, int b);

  // Option panels.
  void AfficherPanneau(int number);
  void MasquerPanneau();
  void NextPanneau();
  void BasculerPanneau();
  int shownPanel() const { return shownPanel_; }
  QFrame* panel(int number) const { return panels_.at(static_cast<size_t>(number)); }

  // Volume: the slider, mute and the gauge.
  void AppliquerVolume();
  void setMute(bool on);
  void setFullScreen(bool on);
  void setReduced(bool on);

  // Commands.
  actions::TActionList& al() const { return *al_; }
  actions::TCustomSuperAction* action(const QString& name) const;
  // The interactive execution of an action (as a button or a key runs it).
  bool runAction(const QString& name);
  actions::TSwitch& switch1() const { return *Switch1_; }
  actions::TScript& script1() const { return *Script1_; }

  // Start-up stages; public so that tests can drive them.
  void ChargerPrefs1();
  void AppEventsIdle();
  bool deferredStartDone() const { return deferredStartDone_; }
  void SauverPrefs();

  // Where the window's controls are, for tests and the later panels.
  QWidget* previewArea() const { return panel1_; }
  QWidget* videoWindow() const { return vwEcran_; }
  QWidget* noVideoPanel() const { return panel2_; }
  QWidget* buttonsPanel() const { return panelBoutons_; }
  QFrame* pictureFrame() const { return shape2_; }
  QToolBar* actionsToolbar() const { return tbActions_; }
  QToolBar* panelsToolbar() const { return tbPanneaux_; }
  StatusPanels* statusBar() const { return statusBar_; }
  QSlider* volumeSlider() const { return tb_; }
  bool hasVideoSource() const { return videoWidth_ > 0; }

  // The connected video's size and picture aspect (0:0 when the stream gives none), until the
  // engine provides them.
  void setConnectedVideo(int width, int height, int aspectX, int aspectY, bool dv);

 signals:
  void deferredStartFinished();

 protected:
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void createControls();
  void createPanels();
  void createActions();
  std::map<QString, actions::THandler> mainHandlers();
  void applyRunTimeActionTexts();
  void showPreviewMenu(const QPoint& at);
  void markShownPanel(int number, bool shown);
  void FormCreate();
  void FormShow();
  void FormCloseQuery();
  void FormDestroy();
  void gpLoadPrefs();
  void gpSavePrefs();
  void gpChangeMode(settings::TSavePreferences mode);
  void writeDisplayScalingFlag();
  void removeDisplayScalingFlag();
  void onPanel1Resized();
  void onWindowMessage(uint32_t message, intptr_t wParam, intptr_t lParam);
  QRect pictureBounds() const;

  std::unique_ptr<settings::TparameterList> params_;
  settings::TOrbanoPreferences* gp_ = nullptr;  // a child of the window
  QPointer<Tplaque> plaque_;
  platform::ui::WindowHandle handle_ = 0;
  QList<QIcon> images_;
  actions::TActionList* al_ = nullptr;
  actions::TScript* Script1_ = nullptr;
  actions::TSwitch* Switch1_ = nullptr;
  actions::TKeyDispatcher* keys_ = nullptr;
  QPointer<actions::TRaccourcisForm> raccourcis_;

  QToolBar* tbActions_ = nullptr;
  QToolBar* tbPanneaux_ = nullptr;
  QWidget* panel1_ = nullptr;
  QFrame* shape2_ = nullptr;
  QWidget* vwEcran_ = nullptr;
  QLabel* panel2_ = nullptr;
  QSlider* xslider_ = nullptr;
  QSlider* yslider_ = nullptr;
  QFrame* shape1_ = nullptr;
  QWidget* panelBoutons_ = nullptr;
  QLabel* lblVolume_ = nullptr;
  QSlider* tb_ = nullptr;
  QLabel* gaugeVolume_ = nullptr;
  QPushButton* btnCapture_ = nullptr;
  QPushButton* btnCouper_ = nullptr;
  QPushButton* btnGrab_ = nullptr;
  std::array<QFrame*, kPanelCount> panels_{};
  StatusPanels* statusBar_ = nullptr;

  TEtatCapture etat_ = etatPreview;
  int shownPanel_ = -1;
  int panelsLeft_ = 0;
  int previewOffset_ = 0;
  bool startupInProgress_ = true;
  bool firstShowDone_ = false;
  bool deferredStartDone_ = false;
  bool dvWideScreen_ = false;
  int videoWidth_ = 0, videoHeight_ = 0, aspectX_ = 0, aspectY_ = 0;
  bool videoIsDv_ = false;
  int engineVolume_ = 0;
};

}  // namespace vistrel::app
