#include "platform/media/filters/Mp3Encoder.h"

#include <dlfcn.h>
#include <lame/lame.h>

#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QSpinBox>
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/media/filters/MpegAudioFormats.h"
#include "platform/registry/Registry.h"

namespace vistrel::platform::media {

const char* const kLameEncoderName = "LAME Audio Encoder";
const char* const kLameRegistryKey = "\\Software\\GNU\\LAME MPEG Layer III Audio Encoder Filter";

namespace {

constexpr int kMpeg1Layer3[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr int kMpeg1Layer2[] = {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384};
constexpr int kMpeg1Layer1[] = {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448};
constexpr int kMpeg2Layer1[] = {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256};
constexpr int kMpeg2Layer23[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
constexpr int kRates[3][3] = {{11025, 12000, 8000}, {22050, 24000, 16000}, {44100, 48000, 32000}};

lame_global_flags* gf(void* p) { return static_cast<lame_global_flags*>(p); }

std::optional<uint32_t> readDword(const char* name) {
  auto v = registry::queryValue(registry::Hive::CurrentUser, QString::fromLatin1(kLameRegistryKey),
                                QString::fromLatin1(name));
  if (!v) return std::nullopt;
  return registry::decodeDword(*v);
}

}  // namespace

bool isMp3SampleRate(uint32_t rate) {
  for (const auto& row : kRates)
    for (int r : row)
      if (static_cast<uint32_t>(r) == rate) return true;
  return false;
}

const std::vector<int>& mp3Bitrates(uint32_t sampleRate) {
  static const std::vector<int> mpeg1(std::begin(kMpeg1Layer3) + 1, std::end(kMpeg1Layer3));
  static const std::vector<int> mpeg2(std::begin(kMpeg2Layer23) + 1, std::end(kMpeg2Layer23));
  return sampleRate >= 32000 ? mpeg1 : mpeg2;
}

int nearestMp3Bitrate(int kbps, uint32_t sampleRate) {
  const auto& rates = mp3Bitrates(sampleRate);
  int best = rates.front();
  for (int r : rates)
    if (std::abs(r - kbps) < std::abs(best - kbps)) best = r;  // strict: the lower wins a tie
  return best;
}

MpegAudioHeader parseMpegAudioHeader(const uint8_t* p, size_t available) {
  MpegAudioHeader h;
  if (available < 4 || p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return h;
  const int version = (p[1] >> 3) & 3;  // 0: 2.5, 2: 2, 3: 1
  const int layerBits = (p[1] >> 1) & 3;
  const int bitrateIndex = p[2] >> 4;
  const int rateIndex = (p[2] >> 2) & 3;
  const int padding = (p[2] >> 1) & 1;
  if (version == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return h;
  const int layer = 4 - layerBits;
  const bool mpeg1 = version == 3;
  const int rate = kRates[version == 0 ? 0 : version == 2 ? 1 : 2][rateIndex];
  int kbps;
  if (mpeg1)
    kbps = layer == 1   ? kMpeg1Layer1[bitrateIndex]
           : layer == 2 ? kMpeg1Layer2[bitrateIndex]
                        : kMpeg1Layer3[bitrateIndex];
  else
    kbps = layer == 1 ? kMpeg2Layer1[bitrateIndex] : kMpeg2Layer23[bitrateIndex];
  if (layer == 1) {
    h.length = (12 * kbps * 1000 / rate + padding) * 4;
    h.samples = 384;
  } else if (layer == 2 || mpeg1) {
    h.length = 144 * kbps * 1000 / rate + padding;
    h.samples = 1152;
  } else {
    h.length = 72 * kbps * 1000 / rate + padding;
    h.samples = 576;
  }
  h.sampleRate = rate;
  h.bitrateKbps = kbps;
  h.layer = layer;
  h.channels = (p[3] >> 6) == 3 ? 1 : 2;
  return h;
}

void MpegAudioFramer::append(const uint8_t* data, size_t size) {
  buffer_.insert(buffer_.end(), data, data + size);
}

bool MpegAudioFramer::next(std::vector<uint8_t>& frame, MpegAudioHeader& header) {
  size_t i = 0;
  while (i + 4 <= buffer_.size()) {
    MpegAudioHeader h = parseMpegAudioHeader(buffer_.data() + i, buffer_.size() - i);
    if (h.length <= 0) {
      ++i;  // not a header: resynchronise
      continue;
    }
    if (i + static_cast<size_t>(h.length) > buffer_.size()) break;
    frame.assign(buffer_.begin() + static_cast<ptrdiff_t>(i),
                 buffer_.begin() + static_cast<ptrdiff_t>(i + h.length));
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<ptrdiff_t>(i + h.length));
    header = h;
    return true;
  }
  if (i > 0) buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<ptrdiff_t>(i));
  return false;
}

// ---------------------------------------------------------------------------------------------

LameEncoder::LameEncoder() = default;
LameEncoder::~LameEncoder() { close(); }

HRESULT LameEncoder::open(uint32_t inRate, int channels, int kbps, uint32_t outRate, int mode, int quality) {
  close();
  if (!isMp3SampleRate(inRate) || channels < 1 || channels > 2 || (outRate && !isMp3SampleRate(outRate)))
    return E_INVALIDARG;
  const uint32_t rate = outRate ? outRate : inRate;
  if (std::find(mp3Bitrates(rate).begin(), mp3Bitrates(rate).end(), kbps) == mp3Bitrates(rate).end())
    return E_INVALIDARG;
  lame_global_flags* g = lame_init();
  if (!g) return E_OUTOFMEMORY;
  lame_set_in_samplerate(g, static_cast<int>(inRate));
  lame_set_num_channels(g, channels);
  lame_set_out_samplerate(g, static_cast<int>(rate));
  lame_set_brate(g, kbps);
  lame_set_VBR(g, vbr_off);
  lame_set_quality(g, std::clamp(quality, 0, 9));
  lame_set_bWriteVbrTag(g, 0);  // a stream: no header frame to patch afterwards
  MPEG_mode m = channels == 1 ? MONO : JOINT_STEREO;
  if (mode == 1 && channels == 2) m = STEREO;
  if (mode == 3) m = MONO;
  lame_set_mode(g, m);
  if (lame_init_params(g) < 0) {
    lame_close(g);
    return E_INVALIDARG;
  }
  lame_ = g;
  channels_ = channels;
  return S_OK;
}

void LameEncoder::close() {
  if (lame_) lame_close(gf(lame_));
  lame_ = nullptr;
}

uint32_t LameEncoder::outputRate() const {
  return lame_ ? static_cast<uint32_t>(lame_get_out_samplerate(gf(lame_))) : 0;
}

HRESULT LameEncoder::encode(const int16_t* pcm, int frames, std::vector<uint8_t>& out) {
  if (!lame_) return VFW_E_WRONG_STATE;
  if (frames <= 0) return S_OK;
  scratch_.resize(static_cast<size_t>(frames) * 5 / 4 + 7200);
  auto* s = const_cast<int16_t*>(pcm);  // LAME does not write its input
  const int n = channels_ == 2 ? lame_encode_buffer_interleaved(gf(lame_), s, frames, scratch_.data(),
                                                                static_cast<int>(scratch_.size()))
                               : lame_encode_buffer(gf(lame_), s, nullptr, frames, scratch_.data(),
                                                    static_cast<int>(scratch_.size()));
  if (n < 0) return E_FAIL;
  out.insert(out.end(), scratch_.begin(), scratch_.begin() + n);
  return S_OK;
}

HRESULT LameEncoder::flush(std::vector<uint8_t>& out) {
  if (!lame_) return S_FALSE;
  scratch_.resize(7200 * 2);
  const int n = lame_encode_flush(gf(lame_), scratch_.data(), static_cast<int>(scratch_.size()));
  if (n < 0) return E_FAIL;
  out.insert(out.end(), scratch_.begin(), scratch_.begin() + n);
  return S_OK;
}

// ---------------------------------------------------------------------------------------------

namespace {

class Mp3EncoderPage : public PropertyPage {
 public:
  explicit Mp3EncoderPage(QWidget* parent) : PropertyPage(parent) {
    auto* form = new QFormLayout(this);
    mode_ = new QComboBox(this);
    mode_->setObjectName(QStringLiteral("mode"));
    mode_->addItems({QStringLiteral("Automatique"), QStringLiteral("Stéréo"), QStringLiteral("Stéréo jointe"),
                     QStringLiteral("Mono")});
    quality_ = new QSpinBox(this);
    quality_->setObjectName(QStringLiteral("quality"));
    quality_->setRange(0, 9);
    rate_ = new QComboBox(this);
    rate_->setObjectName(QStringLiteral("sampleRate"));
    rate_->addItem(QStringLiteral("Comme la source"), 0);
    for (int r : {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000})
      rate_->addItem(QStringLiteral("%1 Hz").arg(r), r);
    form->addRow(QStringLiteral("Mode"), mode_);
    form->addRow(QStringLiteral("Qualité (0 = la meilleure, 9 = la plus rapide)"), quality_);
    form->addRow(QStringLiteral("Fréquence de sortie"), rate_);
    const Mp3EncoderOptions o = Mp3EncoderFilter::registryOptions();
    mode_->setCurrentIndex(std::clamp(o.mode, 0, 3));
    quality_->setValue(o.quality);
    rate_->setCurrentIndex(std::max(0, rate_->findData(static_cast<int>(o.sampleRate))));
  }
  QString title() const override { return QStringLiteral("LAME MP3"); }
  HRESULT apply() override {
    Mp3EncoderOptions o;
    o.mode = mode_->currentIndex();
    o.quality = quality_->value();
    o.sampleRate = static_cast<uint32_t>(rate_->currentData().toInt());
    return Mp3EncoderFilter::saveOptions(o) ? S_OK : E_FAIL;
  }

 private:
  QComboBox* mode_;
  QSpinBox* quality_;
  QComboBox* rate_;
};

}  // namespace

Mp3EncoderFilter::Mp3EncoderFilter()
    : EncoderFilter(CLSID_LameMp3Encoder, QString::fromLatin1(kLameEncoderName), QStringLiteral("In"),
                    QStringLiteral("Out")) {
  registerServer();
}

std::shared_ptr<IBaseFilter> Mp3EncoderFilter::create() { return std::make_shared<Mp3EncoderFilter>(); }

QString Mp3EncoderFilter::libraryPath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&lame_init), &info) == 0 || !info.dli_fname) return QString();
  QFileInfo f(QString::fromLocal8Bit(info.dli_fname));
  const QString canonical = f.canonicalFilePath();
  return canonical.isEmpty() ? f.absoluteFilePath() : canonical;
}

void Mp3EncoderFilter::registerServer() {
  using registry::Hive;
  const QString clsid = QStringLiteral("\\CLSID\\") + CLSID_LameMp3Encoder.toString();
  const QString server = clsid + QStringLiteral("\\InprocServer32");
  if (registry::createKey(Hive::ClassesRoot, server)) {
    registry::setValue(Hive::ClassesRoot, clsid, QString(),
                       registry::stringValue(QString::fromLatin1(kLameEncoderName)));
    registry::setValue(Hive::ClassesRoot, server, QString(), registry::stringValue(libraryPath()));
    registry::setValue(Hive::ClassesRoot, server, QStringLiteral("ThreadingModel"),
                       registry::stringValue(QStringLiteral("Both")));
  }
  const QString key = QString::fromLatin1(kLameRegistryKey);
  if (registry::createKey(Hive::CurrentUser, key) && !readDword("Bitrate"))
    registry::setValue(Hive::CurrentUser, key, QStringLiteral("Bitrate"), registry::dwordValue(128));
}

int Mp3EncoderFilter::registryBitrate(uint32_t sampleRate) {
  const auto v = readDword("Bitrate");
  const int wanted = v ? static_cast<int>(std::min<uint32_t>(*v, 100000)) : 128;
  return nearestMp3Bitrate(wanted, sampleRate);
}

Mp3EncoderOptions Mp3EncoderFilter::registryOptions() {
  Mp3EncoderOptions o;
  if (auto m = readDword("Mode"); m && *m <= 3) o.mode = static_cast<int>(*m);
  if (auto q = readDword("Quality"); q && *q <= 9) o.quality = static_cast<int>(*q);
  if (auto r = readDword("SampleRate"); r && isMp3SampleRate(*r)) o.sampleRate = *r;
  return o;
}

bool Mp3EncoderFilter::saveOptions(const Mp3EncoderOptions& o) {
  using registry::Hive;
  const QString key = QString::fromLatin1(kLameRegistryKey);
  if (!registry::createKey(Hive::CurrentUser, key)) return false;
  bool ok = registry::setValue(Hive::CurrentUser, key, QStringLiteral("Mode"),
                               registry::dwordValue(static_cast<uint32_t>(std::clamp(o.mode, 0, 3))));
  ok = registry::setValue(Hive::CurrentUser, key, QStringLiteral("Quality"),
                          registry::dwordValue(static_cast<uint32_t>(std::clamp(o.quality, 0, 9)))) &&
       ok;
  ok = registry::setValue(Hive::CurrentUser, key, QStringLiteral("SampleRate"),
                          registry::dwordValue(isMp3SampleRate(o.sampleRate) ? o.sampleRate : 0)) &&
       ok;
  return ok;
}

HRESULT Mp3EncoderFilter::GetPages(std::vector<GUID>& pages) {
  pages = {PROPPAGE_LameMp3Encoder};
  return S_OK;
}

PropertyPage* Mp3EncoderFilter::CreatePage(const GUID& page, QWidget* parent) {
  return page == PROPPAGE_LameMp3Encoder ? new Mp3EncoderPage(parent) : nullptr;
}

uint32_t Mp3EncoderFilter::outputRate(uint32_t inputRate) const {
  const Mp3EncoderOptions o = registryOptions();
  return o.sampleRate ? o.sampleRate : inputRate;
}

HRESULT Mp3EncoderFilter::checkInputType(const MediaType& type) {
  if (type.majortype != MEDIATYPE_Audio || type.subtype != MEDIASUBTYPE_PCM) return VFW_E_TYPE_NOT_ACCEPTED;
  auto w = type.waveFormat();
  if (!w || w->wBitsPerSample != 16 || w->nChannels < 1 || w->nChannels > 2 ||
      !isMp3SampleRate(w->nSamplesPerSec))
    return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT Mp3EncoderFilter::outputType(int position, MediaType& type) {
  if (position < 0) return E_INVALIDARG;
  if (position > 1) return VFW_S_NO_MORE_ITEMS;
  auto in = inputPin()->currentMediaType().waveFormat();
  if (!in) return VFW_S_NO_MORE_ITEMS;
  const uint32_t rate = outputRate(in->nSamplesPerSec);
  const int kbps = registryBitrate(rate);
  const uint16_t channels = registryOptions().mode == 3 ? 1 : in->nChannels;
  type = position == 0 ? mp3AudioType(rate, channels, kbps) : mpeg1AudioType(3, rate, channels, kbps);
  type.bFixedSizeSamples = false;
  type.lSampleSize = 0;
  return S_OK;
}

HRESULT Mp3EncoderFilter::startEncoding() {
  auto in = inputPin()->currentMediaType().waveFormat();
  if (!in) return VFW_E_TYPE_NOT_ACCEPTED;
  const Mp3EncoderOptions o = registryOptions();
  outRate_ = o.sampleRate ? o.sampleRate : in->nSamplesPerSec;
  framer_.clear();
  timed_ = false;
  base_ = 0;
  samplesOut_ = 0;
  return lame_.open(in->nSamplesPerSec, in->nChannels, registryBitrate(outRate_), outRate_, o.mode,
                    o.quality);
}

void Mp3EncoderFilter::stopEncoding() { lame_.close(); }

HRESULT Mp3EncoderFilter::deliverFrames(const std::vector<uint8_t>& bytes) {
  framer_.append(bytes.data(), bytes.size());
  std::vector<uint8_t> frame;
  MpegAudioHeader h;
  while (framer_.next(frame, h)) {
    const REFERENCE_TIME start = base_ + samplesOut_ * UNITS / outRate_;
    samplesOut_ += h.samples;
    const REFERENCE_TIME stop = base_ + samplesOut_ * UNITS / outRate_;
    HRESULT hr = deliver(frame.data(), frame.size(), &start, &stop, true);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT Mp3EncoderFilter::encode(const MediaSample& sample) {
  if (!timed_) {
    REFERENCE_TIME start = 0, stop = 0;
    if (SUCCEEDED(sample.GetTime(&start, &stop))) base_ = start;
    timed_ = true;
  }
  auto in = inputPin()->currentMediaType().waveFormat();
  const int frames = sample.GetActualDataLength() / (2 * in->nChannels);
  std::vector<uint8_t> bytes;
  HRESULT hr = lame_.encode(reinterpret_cast<const int16_t*>(sample.data()), frames, bytes);
  if (FAILED(hr)) return hr;
  return deliverFrames(bytes);
}

HRESULT Mp3EncoderFilter::flush() {
  std::vector<uint8_t> bytes;
  lame_.flush(bytes);
  return deliverFrames(bytes);
}

}  // namespace vistrel::platform::media
