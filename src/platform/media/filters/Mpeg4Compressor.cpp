#include "platform/media/filters/Mpeg4Compressor.h"

#include <QButtonGroup>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/registry/Registry.h"

namespace vistrel::platform::media {

const char* const kMpeg4XvidName = "MPEG-4 Xvid (libavcodec)";
const char* const kMpeg4DivxName = "MPEG-4 DivX 5 (libavcodec)";

namespace {

std::mutex runnerLock;
Mpeg4Compressor::DialogRunner& runner() {
  static Mpeg4Compressor::DialogRunner r;
  return r;
}

int runDialog(QDialog& dialog) {
  Mpeg4Compressor::DialogRunner r;
  {
    std::lock_guard g(runnerLock);
    r = runner();
  }
  return r ? r(dialog) : dialog.exec();
}

QString fourccText(uint32_t fourcc) {
  QString s;
  for (int i = 0; i < 4; ++i) s += QChar(static_cast<char>((fourcc >> (8 * i)) & 0xFF));
  return s;
}

Mpeg4Settings clamped(Mpeg4Settings s) {
  s.bitrateKbps = std::clamp(s.bitrateKbps, 16, 20000);
  s.quantizer = std::clamp(s.quantizer, 1, 31);
  s.keyInterval = std::clamp(s.keyInterval, 1, 1000);
  return s;
}

std::optional<int> readDword(const QString& key, const char* name) {
  auto v = registry::queryValue(registry::Hive::CurrentUser, key, QString::fromLatin1(name));
  if (!v) return std::nullopt;
  auto n = registry::decodeDword(*v);
  if (!n) return std::nullopt;
  return static_cast<int>(*n);
}

Mpeg4Settings loadSettings(uint32_t fourcc) {
  const QString key = Mpeg4Compressor::settingsKey(fourcc);
  Mpeg4Settings s;
  if (auto m = readDword(key, "Mode")) s.constantQuality = *m == 1;
  if (auto b = readDword(key, "Bitrate")) s.bitrateKbps = *b;
  if (auto q = readDword(key, "Quantizer")) s.quantizer = *q;
  if (auto k = readDword(key, "KeyInterval")) s.keyInterval = *k;
  return clamped(s);
}

void saveSettings(uint32_t fourcc, const Mpeg4Settings& s) {
  const QString key = Mpeg4Compressor::settingsKey(fourcc);
  using registry::Hive;
  if (!registry::createKey(Hive::CurrentUser, key)) return;
  registry::setValue(Hive::CurrentUser, key, QStringLiteral("Mode"),
                     registry::dwordValue(s.constantQuality ? 1 : 0));
  registry::setValue(Hive::CurrentUser, key, QStringLiteral("Bitrate"),
                     registry::dwordValue(static_cast<uint32_t>(s.bitrateKbps)));
  registry::setValue(Hive::CurrentUser, key, QStringLiteral("Quantizer"),
                     registry::dwordValue(static_cast<uint32_t>(s.quantizer)));
  registry::setValue(Hive::CurrentUser, key, QStringLiteral("KeyInterval"),
                     registry::dwordValue(static_cast<uint32_t>(s.keyInterval)));
}

VideoEncoderSettings encoderSettings(const Mpeg4Settings& s, uint32_t fourcc, int width, int height,
                                     REFERENCE_TIME frame) {
  VideoEncoderSettings e;
  e.codec = VideoCodec::Mpeg4;
  e.width = width;
  e.height = height;
  e.frameDuration = frame > 0 ? frame : 400000;
  e.bitrate = s.constantQuality ? 0 : int64_t(s.bitrateKbps) * 1000;
  e.quality = s.quantizer;
  e.keyInterval = s.keyInterval;
  e.maxBFrames = 0;
  e.fourcc = fourcc;
  return e;
}

}  // namespace

Mpeg4Compressor::Mpeg4Compressor(const GUID& clsid, const QString& name, uint32_t fourcc)
    : EncoderFilter(clsid, name, QStringLiteral("Input"), QStringLiteral("Output")),
      fourcc_(fourcc),
      settings_(loadSettings(fourcc)) {}

std::shared_ptr<IBaseFilter> Mpeg4Compressor::createXvid() {
  return std::make_shared<Mpeg4Compressor>(CLSID_Mpeg4CompressorXvid, QString::fromUtf8(kMpeg4XvidName),
                                           makeFourcc('X', 'V', 'I', 'D'));
}

std::shared_ptr<IBaseFilter> Mpeg4Compressor::createDivx() {
  return std::make_shared<Mpeg4Compressor>(CLSID_Mpeg4CompressorDivx, QString::fromUtf8(kMpeg4DivxName),
                                           makeFourcc('D', 'X', '5', '0'));
}

QString Mpeg4Compressor::settingsKey(uint32_t fourcc) {
  return QStringLiteral("\\Software\\Vistrel\\MPEG-4 Video Compressor\\") + fourccText(fourcc);
}

Mpeg4Settings Mpeg4Compressor::settings() const { return settings_; }

void Mpeg4Compressor::setSettings(const Mpeg4Settings& settings) {
  settings_ = clamped(settings);
  saveSettings(fourcc_, settings_);
}

void Mpeg4Compressor::setDialogRunner(DialogRunner r) {
  std::lock_guard g(runnerLock);
  runner() = std::move(r);
}

HRESULT Mpeg4Compressor::ShowDialog(int dialog, QWidget* parent) {
  if (!graph()) return VFW_E_NOT_IN_GRAPH;
  switch (dialog) {
    case VfwCompressDialog_QueryConfig:
    case VfwCompressDialog_QueryAbout: return S_OK;
    case VfwCompressDialog_Config: {
      std::unique_ptr<QDialog> d(createMpeg4ConfigDialog(settings_, fourcc_, parent));
      if (runDialog(*d) == QDialog::Accepted) setSettings(mpeg4DialogSettings(*d));
      return S_OK;
    }
    case VfwCompressDialog_About: {
      QMessageBox box(QMessageBox::Information, QString::fromUtf8("À propos du codec"),
                      mpeg4AboutText(fourcc_), QMessageBox::Ok, parent);
      runDialog(box);
      return S_OK;
    }
    default: return E_INVALIDARG;
  }
}

// State block: the code, then mode, bit rate, quantizer and key interval, little-endian.
HRESULT Mpeg4Compressor::GetState(std::vector<uint8_t>& state) {
  const uint32_t values[5] = {
      fourcc_, settings_.constantQuality ? 1u : 0u, static_cast<uint32_t>(settings_.bitrateKbps),
      static_cast<uint32_t>(settings_.quantizer), static_cast<uint32_t>(settings_.keyInterval)};
  state.resize(sizeof values);
  std::memcpy(state.data(), values, sizeof values);
  return S_OK;
}

HRESULT Mpeg4Compressor::SetState(const std::vector<uint8_t>& state) {
  uint32_t values[5];
  if (state.size() != sizeof values) return E_INVALIDARG;
  std::memcpy(values, state.data(), sizeof values);
  if (values[0] != fourcc_ || values[1] > 1) return E_INVALIDARG;
  Mpeg4Settings s;
  s.constantQuality = values[1] == 1;
  s.bitrateKbps = static_cast<int>(std::min<uint32_t>(values[2], 1u << 30));
  s.quantizer = static_cast<int>(std::min<uint32_t>(values[3], 1u << 30));
  s.keyInterval = static_cast<int>(std::min<uint32_t>(values[4], 1u << 30));
  setSettings(s);
  return S_OK;
}

HRESULT Mpeg4Compressor::SendDriverMessage(int, intptr_t, intptr_t) { return E_NOTIMPL; }

HRESULT Mpeg4Compressor::checkInputType(const MediaType& type) {
  if (!isSupportedVideoInput(type)) return VFW_E_TYPE_NOT_ACCEPTED;
  auto bmi = type.bitmapHeader();
  const int w = bmi->biWidth, h = std::abs(bmi->biHeight);
  // The rules of the encoder itself (size and rate), checked by opening it.
  static std::mutex cacheLock;
  static struct {
    int w = 0, h = 0;
    REFERENCE_TIME frame = -1;
    HRESULT hr = E_FAIL;
  } cache;
  const REFERENCE_TIME frame = type.averageTimePerFrame();
  std::lock_guard g(cacheLock);
  if (cache.w != w || cache.h != h || cache.frame != frame) {
    cache = {w, h, frame, VideoEncoder::check(encoderSettings(Mpeg4Settings{}, fourcc_, w, h, frame))};
  }
  return SUCCEEDED(cache.hr) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT Mpeg4Compressor::outputType(int position, MediaType& type) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  const MediaType& in = inputPin()->currentMediaType();
  auto bmi = in.bitmapHeader();
  if (!bmi) return VFW_S_NO_MORE_ITEMS;
  const int w = bmi->biWidth, h = std::abs(bmi->biHeight);
  VIDEOINFOHEADER vih;
  vih.rcSource = {0, 0, w, h};
  vih.rcTarget = vih.rcSource;
  vih.AvgTimePerFrame = in.averageTimePerFrame() > 0 ? in.averageTimePerFrame() : 400000;
  vih.dwBitRate = settings_.constantQuality ? 0 : static_cast<uint32_t>(settings_.bitrateKbps * 1000);
  vih.bmiHeader.biWidth = w;
  vih.bmiHeader.biHeight = h;
  vih.bmiHeader.biBitCount = 24;
  vih.bmiHeader.biCompression = fourcc_;
  vih.bmiHeader.biSizeImage = static_cast<uint32_t>(w * h * 3);
  type = MediaType(MEDIATYPE_Video, fourccGuid(fourcc_), FORMAT_VideoInfo);
  type.bFixedSizeSamples = false;
  type.bTemporalCompression = true;
  type.lSampleSize = 0;
  type.setFormat(vih);
  return S_OK;
}

int32_t Mpeg4Compressor::outputBufferSize() {
  auto bmi = inputPin()->currentMediaType().bitmapHeader();
  if (!bmi) return 1 << 20;
  return bmi->biWidth * std::abs(bmi->biHeight) * 3 + 65536;
}

HRESULT Mpeg4Compressor::startEncoding() {
  const MediaType& in = inputPin()->currentMediaType();
  auto bmi = in.bitmapHeader();
  if (!bmi) return VFW_E_TYPE_NOT_ACCEPTED;
  frame_ = 0;
  return encoder_.open(
      encoderSettings(settings_, fourcc_, bmi->biWidth, std::abs(bmi->biHeight), in.averageTimePerFrame()),
      in);
}

void Mpeg4Compressor::stopEncoding() { encoder_.close(); }

HRESULT Mpeg4Compressor::sendPackets(std::vector<EncodedPacket>& packets, const MediaSample* sample) {
  for (auto& p : packets) {
    REFERENCE_TIME start = 0, stop = 0;
    HRESULT t = sample ? sample->GetTime(&start, &stop) : VFW_E_SAMPLE_TIME_NOT_SET;
    const REFERENCE_TIME* s = SUCCEEDED(t) ? &start : nullptr;
    const REFERENCE_TIME* e = t == S_OK ? &stop : nullptr;
    HRESULT hr = deliver(p.data.data(), p.data.size(), s, e, p.key);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT Mpeg4Compressor::encode(const MediaSample& sample) {
  std::vector<EncodedPacket> packets;
  HRESULT hr = encoder_.encode(sample.data(), sample.GetActualDataLength(), frame_, packets);
  if (hr == E_INVALIDARG) return S_OK;  // a frame shorter than the format: skipped
  if (FAILED(hr)) return hr;
  ++frame_;
  return sendPackets(packets, &sample);
}

HRESULT Mpeg4Compressor::flush() {
  std::vector<EncodedPacket> packets;
  encoder_.flush(packets);
  return sendPackets(packets, nullptr);
}

// ---------------------------------------------------------------------------------------------

QDialog* createMpeg4ConfigDialog(const Mpeg4Settings& s, uint32_t fourcc, QWidget* parent) {
  auto* d = new QDialog(parent);
  d->setWindowTitle(QStringLiteral("Réglages MPEG-4 (%1)").arg(fourccText(fourcc)));
  auto* layout = new QVBoxLayout(d);
  layout->addWidget(new QLabel(QStringLiteral("Compression en une passe"), d));
  auto* bitrateMode = new QRadioButton(QStringLiteral("Débit constant"), d);
  bitrateMode->setObjectName(QStringLiteral("bitrateMode"));
  auto* qualityMode = new QRadioButton(QStringLiteral("Qualité constante"), d);
  qualityMode->setObjectName(QStringLiteral("qualityMode"));
  auto* group = new QButtonGroup(d);
  group->addButton(bitrateMode);
  group->addButton(qualityMode);
  (s.constantQuality ? qualityMode : bitrateMode)->setChecked(true);
  auto* form = new QFormLayout;
  auto* bitrate = new QSpinBox(d);
  bitrate->setObjectName(QStringLiteral("bitrate"));
  bitrate->setRange(16, 20000);
  bitrate->setSuffix(QStringLiteral(" kbit/s"));
  bitrate->setValue(s.bitrateKbps);
  auto* quantizer = new QSpinBox(d);
  quantizer->setObjectName(QStringLiteral("quantizer"));
  quantizer->setRange(1, 31);
  quantizer->setValue(s.quantizer);
  auto* key = new QSpinBox(d);
  key->setObjectName(QStringLiteral("keyInterval"));
  key->setRange(1, 1000);
  key->setSuffix(QStringLiteral(" images"));
  key->setValue(s.keyInterval);
  form->addRow(bitrateMode, bitrate);
  form->addRow(qualityMode, quantizer);
  form->addRow(QStringLiteral("Intervalle maximal entre images clés"), key);
  layout->addLayout(form);
  auto enable = [=] {
    bitrate->setEnabled(bitrateMode->isChecked());
    quantizer->setEnabled(qualityMode->isChecked());
  };
  QObject::connect(bitrateMode, &QRadioButton::toggled, d, enable);
  enable();
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, d);
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Annuler"));
  QObject::connect(buttons, &QDialogButtonBox::accepted, d, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, d, &QDialog::reject);
  layout->addWidget(buttons);
  return d;
}

Mpeg4Settings mpeg4DialogSettings(const QDialog& d) {
  Mpeg4Settings s;
  if (auto* q = d.findChild<QRadioButton*>(QStringLiteral("qualityMode"))) s.constantQuality = q->isChecked();
  if (auto* b = d.findChild<QSpinBox*>(QStringLiteral("bitrate"))) s.bitrateKbps = b->value();
  if (auto* q = d.findChild<QSpinBox*>(QStringLiteral("quantizer"))) s.quantizer = q->value();
  if (auto* k = d.findChild<QSpinBox*>(QStringLiteral("keyInterval"))) s.keyInterval = k->value();
  return s;
}

QString mpeg4AboutText(uint32_t fourcc) {
  const unsigned v = codecLibraryVersion();
  return QStringLiteral(
             "Compresseur vidéo MPEG-4 Part 2 (Advanced Simple Profile), code %1.\n"
             "Bibliothèque : libavcodec %2.%3.%4 (%5).")
      .arg(fourccText(fourcc))
      .arg(v >> 16)
      .arg((v >> 8) & 0xFF)
      .arg(v & 0xFF)
      .arg(QString::fromLatin1(codecLibraryIdent()));
}

}  // namespace vistrel::platform::media
