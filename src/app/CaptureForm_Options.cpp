// The options panel in the main window: its links to the window, loading and saving.
#include "app/CaptureForm.h"
#include "app/OptionsFrame.h"
#include "app/SourcesFrame.h"
#include "engine/Tdm.h"
#include "platform/wmf/WmProfileManager.h"
#include "settings/CaptureFormats.h"
#include "settings/OrbanoPreferences.h"
#include "settings/Parameters.h"

namespace vistrel::app {

void TCaptureForm::connectOptionsFrame() {
  TOptionsFrame* f = optionsFrame_;
  // A set box means device changes are handled where they are notified; a clear one routes the
  // engine's device losses here.
  f->OnNotifierChanged = [this](bool notify) { routeDeviceLost(!notify); };
  f->OnSuperpositionChanged = [this](bool on) { setActiverSuperposition(on); };
  f->OnStoreModeChosen = [this](settings::TSavePreferences mode) { gp_->SetMode(mode); };
  f->OnExtensionChanged = [this](int extension) { setImageExtension(extension); };
  connect(sourcesFrame_->sbFormatCapturesettings, &QToolButton::clicked, this, [this] {
    AfficherPanneau(5);
    optionsFrame_->ShowFormatPage(
        settings::StrToFormatCapture(sourcesFrame_->cbFormatCapture->currentText()));
  });
}

void TCaptureForm::chargerOptions1() {
  optionsFrame_->SetParameters(params_.get());
  optionsFrame_->LoadFromParameters(settings::currentStoreMode());
}

bool TCaptureForm::chargerOptions2() {
  TOptionsFrame* f = optionsFrame_;
  // Without the Windows Media runtime there is no manager and the profile list stays empty.
  std::shared_ptr<platform::wmf::IWMProfileManager> manager;
  if (platform::media::SUCCEEDED(platform::wmf::WMCreateProfileManager(manager)))
    f->SetProfileManager(manager);
  f->rgversion->setItemIndex(params_->Integer(QStringLiteral("Version wmv")).Value);
  if (!f->RemplirProfilsWmv()) return false;
  f->SelectFavouriteProfile();
  return true;
}

void TCaptureForm::sauverOptions() {
  optionsFrame_->SaveToParameters();
  const int mode = optionsFrame_->rgPrefs->itemIndex();
  if (mode >= 0) settings::setCurrentStoreMode(static_cast<settings::TSavePreferences>(mode));
}

}  // namespace vistrel::app
