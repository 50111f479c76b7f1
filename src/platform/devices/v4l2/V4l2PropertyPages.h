#pragma once
// The property pages of a V4L2 card: its video processing amplifier and camera controls (a
// slider, and an "Auto" box where the driver has an automatic mode, per control the device has),
// the stream format of its capture and preview pins, and the sound of its tuner. A page reads
// its object when it is made and writes it back in apply(). User-interface thread.

#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "platform/media/IAMStreamConfig.h"
#include "platform/media/IAMTVAudio.h"
#include "platform/media/IAMVideoProcAmp.h"
#include "platform/media/ISpecifyPropertyPages.h"

class QCheckBox;
class QComboBox;
class QSlider;

namespace vistrel::platform::devices::v4l2 {

constexpr media::GUID PAGE_V4l2VideoProcAmp = media::makeGuid("{5A3C2E10-7B41-4C8E-9E0A-56A1C0DE0411}");
constexpr media::GUID PAGE_V4l2CameraControl = media::makeGuid("{5A3C2E10-7B41-4C8E-9E0A-56A1C0DE0412}");
constexpr media::GUID PAGE_V4l2StreamFormat = media::makeGuid("{5A3C2E10-7B41-4C8E-9E0A-56A1C0DE0413}");
constexpr media::GUID PAGE_V4l2TvAudio = media::makeGuid("{5A3C2E10-7B41-4C8E-9E0A-56A1C0DE0414}");

// The three calls IAMVideoProcAmp and IAMCameraControl share.
struct ControlAccess {
  std::function<media::HRESULT(int32_t, int32_t&, int32_t&, int32_t&, int32_t&, int32_t&)> range;
  std::function<media::HRESULT(int32_t, int32_t, int32_t)> set;
  std::function<media::HRESULT(int32_t, int32_t&, int32_t&)> get;
};

// The access to a device's IAMVideoProcAmp (V4L2 cards and the virtual cameras share the page).
ControlAccess procAmpAccess(const std::shared_ptr<media::IAMVideoProcAmp>& amp);

struct ControlName {
  int32_t property;
  QString label;
};
// The controls of each page, in the order shown.
const std::vector<ControlName>& procAmpControls();
const std::vector<ControlName>& cameraControls();
// Those of `names` that `access` supports (GetRange succeeds).
std::vector<ControlName> supportedControls(const ControlAccess& access,
                                           const std::vector<ControlName>& names);

class ControlPage : public media::PropertyPage {
 public:
  // Flags of the automatic mode: VideoProcAmp_Flags_Auto and CameraControl_Flags_Auto are both 1.
  static constexpr int32_t kAuto = 1, kManual = 2;
  ControlPage(QString title, ControlAccess access, const std::vector<ControlName>& names, QWidget* parent);
  QString title() const override { return title_; }
  // Writes every control whose value or mode the user changed.
  media::HRESULT apply() override;
  // Null for a control the device lacks or that has no automatic mode.
  QSlider* slider(int32_t property) const;
  QCheckBox* autoBox(int32_t property) const;

 private:
  struct Row {
    QSlider* slider = nullptr;
    QCheckBox* automatic = nullptr;
    int32_t value = 0, flags = 0;  // as last read or written
  };
  QString title_;
  ControlAccess access_;
  std::map<int32_t, Row> rows_;
};

// The formats of a pin's IAMStreamConfig in a list; apply() sets the chosen one.
class StreamFormatPage : public media::PropertyPage {
 public:
  StreamFormatPage(std::shared_ptr<media::IAMStreamConfig> config, QWidget* parent);
  QString title() const override { return QStringLiteral("Format du flux"); }
  media::HRESULT apply() override;
  QComboBox* formats() const { return list_; }
  // "YUY2 640 × 480, 30 i/s" and the like.
  static QString describe(const media::MediaType& type);

 private:
  std::shared_ptr<media::IAMStreamConfig> config_;
  std::vector<media::MediaType> types_;
  QComboBox* list_ = nullptr;
  int applied_ = -1;
};

// The tuner's sound: the modes the hardware can receive; apply() selects one.
class TvAudioPage : public media::PropertyPage {
 public:
  TvAudioPage(std::shared_ptr<media::IAMTVAudio> audio, QWidget* parent);
  QString title() const override { return QStringLiteral("Son TV"); }
  media::HRESULT apply() override;
  QComboBox* modes() const { return list_; }

 private:
  std::shared_ptr<media::IAMTVAudio> audio_;
  std::vector<int32_t> values_;
  QComboBox* list_ = nullptr;
};

}  // namespace vistrel::platform::devices::v4l2
