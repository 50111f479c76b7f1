#include "platform/devices/v4l2/V4l2PropertyPages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QVBoxLayout>
#include <cmath>

#include "platform/media/IAMCameraControl.h"
#include "platform/media/IAMVideoProcAmp.h"
#include "platform/media/VideoProcAmpProperties.h"

namespace vistrel::platform::devices::v4l2 {

using namespace media;

ControlAccess procAmpAccess(const std::shared_ptr<IAMVideoProcAmp>& amp) {
  return {[amp](int32_t p, int32_t& min, int32_t& max, int32_t& step, int32_t& deflt, int32_t& flags) {
            return amp->GetRange(p, min, max, step, deflt, flags);
          },
          [amp](int32_t p, int32_t v, int32_t f) { return amp->Set(p, v, f); },
          [amp](int32_t p, int32_t& v, int32_t& f) { return amp->Get(p, v, f); }};
}

const std::vector<ControlName>& procAmpControls() {
  static const std::vector<ControlName> names = {
      {VideoProcAmp_Brightness, QStringLiteral("Luminosité")},
      {VideoProcAmp_Contrast, QStringLiteral("Contraste")},
      {VideoProcAmp_Hue, QStringLiteral("Teinte")},
      {VideoProcAmp_Saturation, QStringLiteral("Saturation")},
      {VideoProcAmp_Sharpness, QStringLiteral("Netteté")},
      {VideoProcAmp_Gamma, QStringLiteral("Gamma")},
      {VideoProcAmp_WhiteBalance, QStringLiteral("Balance des blancs")},
      {VideoProcAmp_BacklightCompensation, QStringLiteral("Compensation du contre-jour")},
      {VideoProcAmp_Gain, QStringLiteral("Gain")},
  };
  return names;
}

const std::vector<ControlName>& cameraControls() {
  static const std::vector<ControlName> names = {
      {CameraControl_Pan, QStringLiteral("Panoramique")},
      {CameraControl_Tilt, QStringLiteral("Inclinaison")},
      {CameraControl_Zoom, QStringLiteral("Zoom")},
      {CameraControl_Exposure, QStringLiteral("Exposition")},
      {CameraControl_Focus, QStringLiteral("Mise au point")},
      {CameraControl_Iris, QStringLiteral("Iris")},
  };
  return names;
}

std::vector<ControlName> supportedControls(const ControlAccess& access,
                                           const std::vector<ControlName>& names) {
  std::vector<ControlName> found;
  for (const auto& n : names) {
    int32_t min = 0, max = 0, step = 0, deflt = 0, flags = 0;
    if (access.range && SUCCEEDED(access.range(n.property, min, max, step, deflt, flags)) && max >= min)
      found.push_back(n);
  }
  return found;
}

// ---------------------------------------------------------------------------------------------
ControlPage::ControlPage(QString title, ControlAccess access, const std::vector<ControlName>& names,
                         QWidget* parent)
    : PropertyPage(parent), title_(std::move(title)), access_(std::move(access)) {
  auto* form = new QFormLayout(this);
  for (const auto& n : supportedControls(access_, names)) {
    int32_t min = 0, max = 0, step = 0, deflt = 0, caps = 0;
    access_.range(n.property, min, max, step, deflt, caps);
    Row row;
    if (FAILED(access_.get(n.property, row.value, row.flags))) row.value = deflt, row.flags = kManual;
    auto* line = new QWidget(this);
    auto* h = new QHBoxLayout(line);
    h->setContentsMargins(0, 0, 0, 0);
    row.slider = new QSlider(Qt::Horizontal, line);
    row.slider->setRange(min, max);
    row.slider->setSingleStep(std::max(step, 1));
    row.slider->setPageStep(std::max(step, (max - min) / 10));
    row.slider->setValue(row.value);
    auto* shown = new QLabel(QString::number(row.value), line);
    shown->setMinimumWidth(48);
    QObject::connect(row.slider, &QSlider::valueChanged, shown, [shown](int v) { shown->setNum(v); });
    h->addWidget(row.slider, 1);
    h->addWidget(shown);
    if (caps & kAuto) {
      row.automatic = new QCheckBox(QStringLiteral("Auto"), line);
      row.automatic->setChecked(row.flags & kAuto);
      row.slider->setEnabled(!(row.flags & kAuto));
      QObject::connect(row.automatic, &QCheckBox::toggled, row.slider,
                       [s = row.slider](bool on) { s->setEnabled(!on); });
      h->addWidget(row.automatic);
    }
    form->addRow(n.label, line);
    rows_[n.property] = row;
  }
  if (rows_.empty()) form->addRow(new QLabel(QStringLiteral("Aucun réglage sur ce périphérique."), this));
}

HRESULT ControlPage::apply() {
  HRESULT result = S_OK;
  for (auto& [property, row] : rows_) {
    const int32_t flags = row.automatic && row.automatic->isChecked() ? kAuto : kManual;
    const int32_t value = row.slider->value();
    if (flags == row.flags && (flags == kAuto || value == row.value)) continue;
    const HRESULT hr = access_.set(property, value, flags);
    if (FAILED(hr)) {
      result = hr;
      continue;
    }
    row.value = value;
    row.flags = flags;
  }
  return result;
}

QSlider* ControlPage::slider(int32_t property) const {
  auto it = rows_.find(property);
  return it == rows_.end() ? nullptr : it->second.slider;
}

QCheckBox* ControlPage::autoBox(int32_t property) const {
  auto it = rows_.find(property);
  return it == rows_.end() ? nullptr : it->second.automatic;
}

// ---------------------------------------------------------------------------------------------
QString StreamFormatPage::describe(const MediaType& type) {
  QString name;
  if (type.subtype == MEDIASUBTYPE_RGB24)
    name = QStringLiteral("RGB24");
  else if (type.subtype == MEDIASUBTYPE_RGB32)
    name = QStringLiteral("RGB32");
  else if (type.majortype == MEDIATYPE_Stream)
    name = QStringLiteral("MPEG");
  else if (const auto bmi = type.bitmapHeader(); bmi && bmi->biCompression > 0xFF) {
    for (int i = 0; i < 4; ++i) name += QChar(char((bmi->biCompression >> (8 * i)) & 0xFF));
    name = name.trimmed();
  }
  const auto bmi = type.bitmapHeader();
  if (!bmi) return name;
  const int h = bmi->biHeight < 0 ? -bmi->biHeight : bmi->biHeight;
  QString text = QStringLiteral("%1 %2 × %3").arg(name).arg(bmi->biWidth).arg(h);
  if (const REFERENCE_TIME t = type.averageTimePerFrame(); t > 0) {
    const double fps = double(UNITS) / double(t);
    text += QStringLiteral(", %1 i/s")
                .arg(std::fabs(fps - std::round(fps)) < 0.01 ? QString::number(std::lround(fps))
                                                             : QString::number(fps, 'f', 2));
  }
  return text;
}

StreamFormatPage::StreamFormatPage(std::shared_ptr<IAMStreamConfig> config, QWidget* parent)
    : PropertyPage(parent), config_(std::move(config)) {
  auto* layout = new QFormLayout(this);
  list_ = new QComboBox(this);
  layout->addRow(QStringLiteral("Format :"), list_);
  int32_t count = 0, size = 0;
  if (!config_ || FAILED(config_->GetNumberOfCapabilities(count, size))) return;
  MediaType current;
  const bool haveCurrent = SUCCEEDED(config_->GetFormat(current));
  for (int32_t i = 0; i < count; ++i) {
    MediaType t;
    std::vector<uint8_t> caps;
    if (config_->GetStreamCaps(i, t, caps) != S_OK) continue;
    if (haveCurrent && t == current) applied_ = int(types_.size());
    types_.push_back(t);
    list_->addItem(describe(t));
  }
  if (applied_ >= 0) list_->setCurrentIndex(applied_);
}

HRESULT StreamFormatPage::apply() {
  const int chosen = list_->currentIndex();
  if (chosen < 0 || chosen >= int(types_.size()) || chosen == applied_) return S_OK;
  const HRESULT hr = config_->SetFormat(types_[size_t(chosen)]);
  if (SUCCEEDED(hr)) applied_ = chosen;
  return hr;
}

// ---------------------------------------------------------------------------------------------
TvAudioPage::TvAudioPage(std::shared_ptr<IAMTVAudio> audio, QWidget* parent)
    : PropertyPage(parent), audio_(std::move(audio)) {
  auto* layout = new QFormLayout(this);
  list_ = new QComboBox(this);
  layout->addRow(QStringLiteral("Son :"), list_);
  int32_t hardware = 0, current = 0;
  if (!audio_ || FAILED(audio_->GetHardwareSupportedTVAudioModes(hardware))) return;
  audio_->get_TVAudioMode(current);
  const std::pair<int32_t, QString> all[] = {
      {AMTVAUDIO_MODE_MONO, QStringLiteral("Mono")},
      {AMTVAUDIO_MODE_STEREO, QStringLiteral("Stéréo")},
      {AMTVAUDIO_MODE_LANG_A, QStringLiteral("Langue A")},
      {AMTVAUDIO_MODE_LANG_B, QStringLiteral("Langue B")},
      {AMTVAUDIO_MODE_LANG_C, QStringLiteral("Langue C")},
  };
  for (const auto& [mode, label] : all) {
    if (!(hardware & mode)) continue;
    values_.push_back(mode);
    list_->addItem(label);
  }
  for (size_t i = 0; i < values_.size(); ++i)
    if (values_[i] == current) list_->setCurrentIndex(int(i));
}

HRESULT TvAudioPage::apply() {
  const int chosen = list_->currentIndex();
  if (chosen < 0 || chosen >= int(values_.size())) return S_OK;
  return audio_->put_TVAudioMode(values_[size_t(chosen)]);
}

}  // namespace vistrel::platform::devices::v4l2
