// The settings menus of the connected sources: the capture driver's own dialogs, the property
// pages of the capture filter, its pins, crossbars and tuner, and the video inputs.
#include "engine/DirectShowUtils.h"
#include "engine/Tdm.h"
#include "platform/media/ISpecifyPropertyPages.h"
#include "platform/ui/PropertyFrame.h"
#include "sources/Crossbar.h"

namespace vistrel::engine {

using namespace platform::media;

namespace {

bool hasPages(const std::shared_ptr<Unknown>& object) {
  auto specify = interfaceOf<ISpecifyPropertyPages>(object);
  if (!specify) return false;
  std::vector<GUID> pages;
  return SUCCEEDED(specify->GetPages(pages)) && !pages.empty();
}

}  // namespace

bool Tdm::AddVfwEntries(SettingsMenu& menu, bool video) {
  bool formatAdded = false;
  auto dialogs = VideoVfwDialogs;
  if (!dialogs) return false;
  const struct {
    int dialog;
    const QString& caption;
  } entries[] = {{VfwCaptureDialog_Format, kMenuFormatVideo},
                 {VfwCaptureDialog_Display, kMenuDisplayVideo},
                 {VfwCaptureDialog_Source, kMenuSourceVideo}};
  for (const auto& e : entries) {
    if (dialogs->HasDialog(e.dialog) != S_OK) continue;
    if (e.dialog == VfwCaptureDialog_Format) formatAdded = true;
    SettingsMenuEntry entry;
    entry.caption = e.caption;
    entry.action = [this, dialogs, dialog = e.dialog, video] {
      try {
        dialogs->ShowDialog(dialog, dialogOwner_);
      } catch (...) {
      }
      if (OnSettingsChanged) OnSettingsChanged(video);
    };
    menu.push_back(std::move(entry));
  }
  return formatAdded;
}

void Tdm::AddPropertyPageEntry(SettingsMenu& menu, const QString& caption,
                               const std::shared_ptr<Unknown>& object, bool video,
                               std::function<void()> after) {
  if (!object || !hasPages(object)) return;
  SettingsMenuEntry entry;
  entry.caption = caption;
  entry.action = [this, object, video, after = std::move(after)] {
    try {
      platform::ui::OleCreatePropertyFrame(dialogOwner_, 30, 30, QString(), object);
      if (after) after();
    } catch (...) {
    }
    if (OnSettingsChanged) OnSettingsChanged(video);
  };
  menu.push_back(std::move(entry));
}

void Tdm::FillVideoSettings(SettingsMenu& menu) {
  menu.clear();
  try {
    const bool formatAdded = AddVfwEntries(menu, true);
    if (VideoCaptureFilter && !formatAdded) {
      AddPropertyPageEntry(menu, kMenuCaptureFilterVideo, VideoCaptureFilter, true);
      AddPropertyPageEntry(menu, kMenuCapturePinVideo, VideoCaptureConfig, true,
                           [this] { UpdateFormatIndexFromPin(); });
      AddPropertyPageEntry(menu, kMenuPreviewPinVideo, VideoPreviewConfig, true);
      AddPropertyPageEntry(menu, kMenuCrossbarVideo, FirstCrossbar, true,
                           [this] { UpdateVideoInputFromCrossbar(); });
      if (SecondCrossbar) AddPropertyPageEntry(menu, kMenuSecondCrossbar, SecondCrossbar, true);
      AddPropertyPageEntry(menu, kMenuTvTuner, TVTuner, true);
    }
    if (crossbar_ && CrossbarInputCount > 0) AddCrossbarInputs(menu);
  } catch (...) {
  }
}

void Tdm::FillAudioSettings(SettingsMenu& menu) {
  menu.clear();
  try {
    // The driver dialogs of a capture card are the video driver's, also for its sound.
    const bool formatAdded = AddVfwEntries(menu, false);
    if (AudioCaptureFilter && !formatAdded) {
      AddPropertyPageEntry(menu, kMenuCaptureFilterAudio, AudioCaptureFilter, false);
      AddPropertyPageEntry(menu, kMenuCapturePinAudio, AudioCaptureConfig, false);
      AddPropertyPageEntry(menu, kMenuTvAudio, TVAudio, false);
    }
  } catch (...) {
  }
}

void Tdm::AddCrossbarInputs(SettingsMenu& menu) {
  SettingsMenuEntry separator;
  separator.caption = QStringLiteral("-");
  menu.push_back(separator);

  SettingsMenuEntry inputs;
  inputs.caption = kMenuVideoInputs;
  const int count = crossbar_->InputCount();
  int checked = -1;
  for (int i = 0; i < count; ++i) {
    int32_t type = 0;
    QString name;
    crossbar_->InputType(i, type);
    crossbar_->InputName(i, name);
    if (checked < 0 && type == PhysConn_Video_Tuner) checked = i;
    SettingsMenuEntry entry;
    entry.caption = name;
    entry.radio = true;
    entry.tag = i;
    entry.action = [this, i] {
      try {
        SetVideoInputSelect(i);
        if (crossbar_) crossbar_->RouteInput(i);
      } catch (...) {
      }
    };
    inputs.submenu.push_back(std::move(entry));
  }
  if (checked < 0) checked = 0;
  if (checked < count) {
    inputs.submenu[static_cast<size_t>(checked)].checked = true;
    crossbar_->RouteInput(checked);
  }
  menu.push_back(std::move(inputs));
}

void Tdm::UpdateFormatIndexFromPin() {
  if (!VideoCaptureConfig) return;
  MediaType current;
  if (FAILED(VideoCaptureConfig->GetFormat(current))) return;
  for (size_t i = 0; i < formats_.size(); ++i) {
    if (MediaTypesEqual(formats_[i], current)) {
      FormatIndex = static_cast<int>(i) + 1;
      return;
    }
  }
}

void Tdm::UpdateVideoInputFromCrossbar() {
  if (!FirstCrossbar) return;
  int32_t input = -1;
  if (SUCCEEDED(FirstCrossbar->get_IsRoutedTo(0, input))) SetVideoInputSelect(input);
}

}  // namespace vistrel::engine
