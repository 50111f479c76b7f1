// The live preview: the video window in the preview area, the preview lock and what it allows
// for each capture format, the overlay and the flips, the overlay's position sliders, the
// freeze, and what depends on having a video or an audio source.
#include <QEvent>
#include <QSlider>

#include "actions/SuperAction.h"
#include "app/CaptureForm.h"
#include "app/SourcesFrame.h"
#include "engine/Tdm.h"
#include "filters/Tvt_Superposer.h"
#include "filters/Tvt_TimeStamper.h"
#include "platform/media/IVideoWindow.h"
#include "platform/media/filters/VideoRenderer.h"
#include "platform/ui/VideoWidget.h"
#include "settings/CaptureFormats.h"
#include "settings/Parameters.h"
#include "sources/Sources.h"

namespace vistrel::app {

using namespace platform::media;

void TCaptureForm::attachVideoWindow() {
  videoRenderer_ = VideoRenderer::create();
  dm().SetVideoRenderer(videoRenderer_);
  videoWindowItf_ = interfaceOf<IVideoWindow>(videoRenderer_);
  if (!videoWindowItf_) return;
  videoWindowItf_->put_Owner(panel1_);
  videoWindowItf_->put_WindowStyle(WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS);
  videoWindowItf_->put_Visible(false);
  if (auto renderer = std::dynamic_pointer_cast<VideoRenderer>(videoRenderer_);
      renderer && renderer->videoWindow())
    if (platform::ui::VideoWidget* widget = renderer->videoWindow()->widget()) {
      widget->setObjectName(QStringLiteral("VideoRendererWindow"));
      widget->setToolTip(vwEcran_->toolTip());
      connect(widget, &platform::ui::VideoWidget::leftClicked, this,
              [this] { runAction(QStringLiteral("saGrab")); });
      connect(widget, &platform::ui::VideoWidget::rightClicked, this,
              [this, widget](QPoint at) { showPreviewMenu(widget->mapToGlobal(at)); });
    }
  placeVideoWindow(pictureBounds());
}

void TCaptureForm::detachVideoWindow() {
  if (videoWindowItf_) {
    videoWindowItf_->put_Visible(false);
    videoWindowItf_->put_Owner(nullptr);
  }
  if (dm_) dm_->SetVideoRenderer(nullptr);
  videoWindowItf_.reset();
  videoRenderer_.reset();
}

void TCaptureForm::placeVideoWindow(const QRect& bounds) {
  if (!videoWindowItf_) return;
  videoWindowItf_->SetWindowPosition(bounds.left(), bounds.top(), bounds.width(), bounds.height());
}

void TCaptureForm::placeButtonBar() {
  const QRect picture = pictureBounds();
  panelBoutons_->move(panel1_->x() + (panel1_->width() - panelBoutons_->width()) / 2,
                      panel1_->y() + picture.top() + picture.height() + 24);
}

platform::ui::VideoWidget* TCaptureForm::videoRendererWidget() const {
  auto renderer = std::dynamic_pointer_cast<VideoRenderer>(videoRenderer_);
  return renderer && renderer->videoWindow() ? renderer->videoWindow()->widget() : nullptr;
}

// ------------------------------------------------------------------------------------------
// Preview lock

void TCaptureForm::VerrouillerPreview(bool locked) {
  using namespace settings;
  auto enable = [this](const char* name, bool on) {
    if (auto* a = action(QString::fromLatin1(name))) a->setEnabled(on);
  };
  auto run = [this](const char* name) { runAction(QString::fromLatin1(name)); };
  const char* const ratios[] = {"saRatioNormal", "saRatio4x3", "saRatio16x9", "saRatioNatif"};
  for (const char* r : ratios) enable(r, true);
  auto normalOnly = [&] {
    run("saRatioNormal");
    enable("saRatio4x3", false);
    enable("saRatio16x9", false);
    enable("saRatioNatif", false);
  };
  sources::TVideoSource* video = currentVideo();
  const bool dv = video && video->Device && video->Device->DeviceKind == sources::kDeviceDV;

  if (locked) {
    switch (params_->Enum(QStringLiteral("Capture Format")).Value) {
      case fcDV1Natif:
      case fcMpeg2Natif:
      case fcMpeg1Natif:
        processingAllowed_ = false;
        normalOnly();
        // The native stream carries its own sound: listen to that device's.
        if (video && video->Device && audioSources_) {
          sources::TAudioSource* audio = currentAudio();
          if (!audio || audio->Device != video->Device)
            for (int i = 0; i < audioSources_->Count(); ++i)
              if (audioSources_->Items(i)->Device == video->Device) {
                ActiverAudio(audioSources_->Items(i)->SourceName);
                break;
              }
        }
        break;
      case fcDV2Natif:
      case fcAviNatif:
        processingAllowed_ = false;
        normalOnly();
        break;
      case fcDV2Recomp: {
        processingAllowed_ = true;
        const QRect picture = pictureBounds();
        run(picture.width() * 9 < picture.height() * 14 ? "saRatio4x3" : "saRatio16x9");
        enable("saRatioNormal", false);
        enable("saRatioNatif", false);
        break;
      }
      case fcWmv:
        processingAllowed_ = true;
        run("saRatio4x3");
        enable("saRatioNormal", false);
        enable("saRatio16x9", false);
        enable("saRatioNatif", false);
        break;
      case fcImageImage:
        processingAllowed_ = !dv;
        if (dv) normalOnly();
        if (currentAudio()) ActiverAudio(kAucunFluxAudio);
        break;
      case fcDivx: {
        processingAllowed_ = true;
        const uint8_t aspect = params_->Enum(QStringLiteral("Aspect ratio")).Value;
        run(ratios[aspect < 4 ? aspect : 0]);
        break;
      }
      case fcWav:
      case fcMp3:
        if (currentVideo()) {
          processingAllowed_ = false;
          activervideo(kAucunFluxVideo);
        }
        break;
      default: break;
    }
  } else {
    processingAllowed_ = currentVideo() != nullptr;
    // With no audio source ever chosen by hand, the one connected stays.
    const QString wanted = params_->String(QStringLiteral("Want audio source")).Value;
    if (!wanted.isEmpty()) ActiverAudio(wanted);
  }
  AppliquerIncrustation();
  AppliquerMiroirV();
  AppliquerMiroirH();
  const bool processing = processingAllowed_ && currentVideo();
  for (const char* name : {"taIncruster", "acVertFlip", "acHorzFlip"}) enable(name, processing);
}

// ------------------------------------------------------------------------------------------
// Overlay and flips

filters::Tvt_Superposer* TCaptureForm::superposer() { return dm_ ? dm_->Superposer.get() : nullptr; }

void TCaptureForm::AppliquerIncrustation() {
  overlayApplied_ = params_->Boolean(QStringLiteral("Want Incrust")).Value != 0 && processingAllowed_;
  if (filters::Tvt_Superposer* s = superposer()) {
    if (overlayApplied_) s->setincrust(params_->IncrustRec(QStringLiteral("IncrustRec")).Value);
    s->SetOverlaySwitch(overlayApplied_);
  }
  ActualiserStatut();
}

void TCaptureForm::AppliquerMiroirV() {
  vflipApplied_ = params_->Boolean(QStringLiteral("Want vert Flip")).Value != 0 && processingAllowed_;
  if (filters::Tvt_Superposer* s = superposer()) s->SetVerticalFlip(vflipApplied_);
  ActualiserStatut();
}

void TCaptureForm::AppliquerMiroirH() {
  hflipApplied_ = params_->Boolean(QStringLiteral("Want Horz flip")).Value != 0 && processingAllowed_;
  if (filters::Tvt_Superposer* s = superposer()) s->SetHorizontalFlip(hflipApplied_);
  ActualiserStatut();
}

void TCaptureForm::setIncruster(bool on) {
  params_->Boolean(QStringLiteral("Want Incrust")).Value = on ? 1 : 0;
  if (auto* a = action(QStringLiteral("taIncruster"))) a->SetChecked(on);
  AppliquerIncrustation();
}

void TCaptureForm::setActiverSuperposition(bool on) {
  params_->Boolean(QStringLiteral("Activer Superposition")).Value = on ? 1 : 0;
  for (const char* name : {"taIncruster", "acVertFlip", "acHorzFlip"})
    if (auto* a = action(QString::fromLatin1(name))) a->setVisible(on);
}

void TCaptureForm::toggleSliders() {
  const bool show = !xslider_->isVisible();
  xslider_->setVisible(show);
  yslider_->setVisible(show);
  if (show && params_->Boolean(QStringLiteral("Want Incrust")).Value == 0)
    runAction(QStringLiteral("taIncruster"));
  if (auto* a = action(QStringLiteral("acSliders")))
    a->setCaption(show ? QStringLiteral("Masquer les curseurs de l'incrustation")
                       : QStringLiteral("Afficher les curseurs de l'incrustation"));
}

void TCaptureForm::XsliderChange() {
  if (!params_->Find(QStringLiteral("IncrustRec"))) return;
  auto& rec = params_->IncrustRec(QStringLiteral("IncrustRec")).Value;
  if (rec.Alignement == 3) rec.Alignement = 1;
  rec.Xpos = xslider_->value();
  if (filters::Tvt_Superposer* s = superposer()) s->setincrust(rec);
}

void TCaptureForm::YsliderChange() {
  if (!params_->Find(QStringLiteral("IncrustRec"))) return;
  auto& rec = params_->IncrustRec(QStringLiteral("IncrustRec")).Value;
  rec.Ypos = yslider_->maximum() - yslider_->value();
  if (filters::Tvt_Superposer* s = superposer()) s->setincrust(rec);
}

void TCaptureForm::setFreezePreview(bool on) {
  if (dm_)
    for (const auto& stamper : {dm_->ControlPreviewVideo, dm_->ControlPreviewAudio})
      if (stamper) stamper->SetDrop(on);
  params_->Boolean(QStringLiteral("Freeze Preview")).Value = on ? 1 : 0;
  if (auto* a = action(QStringLiteral("taFreezepreview"))) a->SetChecked(on);
}

void TCaptureForm::setLock(bool on) {
  params_->Boolean(QStringLiteral("Preview Locked")).Value = on ? 1 : 0;
  if (auto* a = action(QStringLiteral("taLock"))) a->SetChecked(on);
  VerrouillerPreview(on);
}

// ------------------------------------------------------------------------------------------
// Video and audio presence

void TCaptureForm::AvecVideo() {
  panel2_->hide();
  vwEcran_->show();
  if (videoWindowItf_) videoWindowItf_->put_Visible(true);
  if (QWidget* w = videoRendererWidget()) w->raise();
  shape1_->show();
  shape1_->raise();
  for (const char* name : {"acSliders", "saGrab", "saCapturerBascule", "tafullscreen"})
    if (auto* a = action(QString::fromLatin1(name))) a->setEnabled(true);
  grabAvecVideo();
  for (const char* name : {"taIncruster", "acVertFlip", "acHorzFlip"})
    if (auto* a = action(QString::fromLatin1(name))) a->setEnabled(processingAllowed_);
  sourcesFrame_->LabVideo->show();
  sourcesFrame_->sbVideoSettings->show();
}

void TCaptureForm::SansVideo() {
  panel2_->show();
  panel2_->raise();
  vwEcran_->hide();
  if (videoWindowItf_) videoWindowItf_->put_Visible(false);
  videoWidth_ = videoHeight_ = aspectX_ = aspectY_ = 0;
  videoIsDv_ = false;
  shape2_->setGeometry(panel2_->geometry().adjusted(-12, -12, 12, 12));
  if (xslider_->isVisible()) toggleSliders();
  shape1_->hide();
  for (const char* name : {"saGrab", "acSliders", "taIncruster", "saCapturerBascule", "acVertFlip",
                           "acHorzFlip", "tafullscreen"})
    if (auto* a = action(QString::fromLatin1(name))) a->setEnabled(false);
  grabSansVideo();
  sourcesFrame_->LabVideo->hide();
  sourcesFrame_->sbVideoSettings->hide();
}

void TCaptureForm::AvecAudio() {
  lblVolume_->show();
  tb_->show();
  gaugeVolume_->show();
  for (const char* name : {"taMute", "acIncVolume", "acDecVolume"})
    if (auto* a = action(QString::fromLatin1(name))) a->setEnabled(true);
  sourcesFrame_->LabAudio->show();
  sourcesFrame_->sbAudioSettings->show();
  sources::TAudioSource* audio = currentAudio();
  sourcesFrame_->cbEntries->setVisible(audio && audio->Device &&
                                       audio->Device->DeviceKind == sources::kDeviceAudio &&
                                       sourcesFrame_->cbEntries->count() > 0);
}

void TCaptureForm::SansAudio() {
  lblVolume_->hide();
  tb_->hide();
  gaugeVolume_->hide();
  for (const char* name : {"taMute", "acIncVolume", "acDecVolume"})
    if (auto* a = action(QString::fromLatin1(name))) a->setEnabled(false);
  sourcesFrame_->LabAudio->hide();
  sourcesFrame_->sbAudioSettings->hide();
  sourcesFrame_->cbEntries->hide();
}

std::map<QString, actions::THandler> TCaptureForm::previewHandlers() {
  std::map<QString, actions::THandler> h;
  h["taIncrusterfalseExecute"] = [this](QObject*) { setIncruster(true); };
  h["taIncrusterTrueExecute"] = [this](QObject*) { setIncruster(false); };
  h["acVertFlipExecute"] = [this](QObject*) {
    auto* a = action(QStringLiteral("acVertFlip"));
    params_->Boolean(QStringLiteral("Want vert Flip")).Value = a && a->Checked() ? 1 : 0;
    AppliquerMiroirV();
  };
  h["acHorzFlipExecute"] = [this](QObject*) {
    auto* a = action(QStringLiteral("acHorzFlip"));
    params_->Boolean(QStringLiteral("Want Horz flip")).Value = a && a->Checked() ? 1 : 0;
    AppliquerMiroirH();
  };
  h["acSlidersExecute"] = [this](QObject*) { toggleSliders(); };
  h["taLockfalseExecute"] = [this](QObject*) { setLock(true); };
  h["taLockTrueExecute"] = [this](QObject*) { setLock(false); };
  h["taFreezepreviewfalseExecute"] = [this](QObject*) { setFreezePreview(true); };
  h["taFreezepreviewTrueExecute"] = [this](QObject*) { setFreezePreview(false); };
  return h;
}

bool TCaptureForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == shape1_ && event->type() == QEvent::MouseButtonRelease) {
    runAction(QStringLiteral("acSliders"));
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void TCaptureForm::connectPreviewControls() {
  connect(xslider_, &QSlider::valueChanged, this, [this] { XsliderChange(); });
  connect(yslider_, &QSlider::valueChanged, this, [this] { YsliderChange(); });
  shape1_->installEventFilter(this);
}

}  // namespace vistrel::app
