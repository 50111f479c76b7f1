#include "platform/devices/v4l2/V4l2Analog.h"

#include <fcntl.h>
#include <linux/videodev2.h>

#include <QString>
#include <algorithm>
#include <atomic>
#include <cerrno>

#include "platform/devices/v4l2/V4l2CaptureFilter.h"
#include "platform/devices/v4l2/V4l2PropertyPages.h"
#include "platform/media/BaseInputPin.h"
#include "platform/media/BaseOutputPin.h"

namespace vistrel::platform::devices::v4l2 {

using namespace media;

namespace {
constexpr GUID MEDIASUBTYPE_AnalogVideoAny = makeGuid("{5A3C2E10-7B41-4C8E-9E0A-56A1C0DE0110}");

// A physical connector of the card: never connected to anything of ours.
class ConnectorPin : public BaseInputPin {
 public:
  ConnectorPin(BaseFilter* f, QString name) : BaseInputPin(f, std::move(name)) {}
  HRESULT CheckMediaType(const MediaType& type) override {
    return type.majortype == MEDIATYPE_AnalogVideo ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }

 protected:
  HRESULT receiveSample(const std::shared_ptr<MediaSample>&) override { return S_OK; }
};

// The crossbar's output: connects only to the analogue input of the capture filter of the same
// card, so that trying every crossbar of the machine finds the right one.
class DecoderOutPin : public BaseOutputPin {
 public:
  explicit DecoderOutPin(V4l2Crossbar* f)
      : BaseOutputPin(f, QStringLiteral("Video Decoder Out")), owner_(f) {}
  HRESULT CheckMediaType(const MediaType& type) override {
    return type.majortype == MEDIATYPE_AnalogVideo ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT GetMediaType(int position, MediaType& type) override {
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    type = analogVideoType();
    return S_OK;
  }
  HRESULT CheckConnect(const std::shared_ptr<IPin>& peer) override {
    PIN_INFO info;
    if (!peer || FAILED(peer->QueryPinInfo(info))) return E_POINTER;
    auto capture = std::dynamic_pointer_cast<V4l2CaptureFilter>(info.pFilter);
    if (!capture || !filter_ || capture->identity() != owner_->identity()) return VFW_E_NO_ACCEPTABLE_TYPES;
    return BaseOutputPin::CheckConnect(peer);
  }
  HRESULT DecideBufferSize(MemAllocator& allocator, ALLOCATOR_PROPERTIES& request) override {
    // No sample ever flows on an analogue link; the pool only completes the connection.
    ALLOCATOR_PROPERTIES want = request, actual;
    want.cBuffers = 1;
    want.cbBuffer = 1;
    want.cbAlign = std::max(want.cbAlign, 1);
    return allocator.SetProperties(want, actual);
  }

 private:
  V4l2Crossbar* owner_;
};

bool containsNoCase(const std::string& s, const char* word) {
  return QString::fromStdString(s).contains(QLatin1String(word), Qt::CaseInsensitive);
}
}  // namespace

bool hasAnalogInputs(const V4l2DeviceInfo& info) {
  if (info.inputs.size() > 1) return true;
  return std::any_of(info.inputs.begin(), info.inputs.end(),
                     [](auto& in) { return in.type == V4L2_INPUT_TYPE_TUNER; });
}

MediaType analogVideoType() {
  return MediaType(MEDIATYPE_AnalogVideo, MEDIASUBTYPE_AnalogVideoAny, FORMAT_None);
}

int32_t physicalTypeOf(const V4l2Input& in) {
  if (in.type == V4L2_INPUT_TYPE_TUNER) return PhysConn_Video_Tuner;
  if (containsNoCase(in.name, "s-video") || containsNoCase(in.name, "svideo") ||
      containsNoCase(in.name, "s video"))
    return PhysConn_Video_SVideo;
  if (containsNoCase(in.name, "scart")) return PhysConn_Video_SCART;
  if (containsNoCase(in.name, "component")) return PhysConn_Video_YRYBY;
  return PhysConn_Video_Composite;
}

int64_t channelFrequency(int32_t ch, bool lines525) {
  const int64_t MHz = 1'000'000, kHz = 1000;
  if (lines525) {  // North American broadcast
    if (ch >= 2 && ch <= 4) return 55 * MHz + 250 * kHz + (ch - 2) * 6 * MHz;
    if (ch >= 5 && ch <= 6) return 77 * MHz + 250 * kHz + (ch - 5) * 6 * MHz;
    if (ch >= 7 && ch <= 13) return 175 * MHz + 250 * kHz + (ch - 7) * 6 * MHz;
    if (ch >= 14 && ch <= 69) return 471 * MHz + 250 * kHz + (ch - 14) * 6 * MHz;
    return 0;
  }
  // Western Europe: E2-E4 band I, E5-E12 band III, 21-69 UHF.
  if (ch >= 2 && ch <= 4) return 48 * MHz + 250 * kHz + (ch - 2) * 7 * MHz;
  if (ch >= 5 && ch <= 12) return 175 * MHz + 250 * kHz + (ch - 5) * 7 * MHz;
  if (ch >= 21 && ch <= 69) return 471 * MHz + 250 * kHz + (ch - 21) * 8 * MHz;
  return 0;
}

void channelRange(bool, int32_t& min, int32_t& max) {
  min = 2;
  max = 69;
}

// ---------------------------------------------------------------------------------------------
class V4l2Crossbar::Tuner : public IAMTVTuner {
 public:
  explicit Tuner(V4l2Crossbar* owner) : owner_(owner) {}
  void detach() {
    std::lock_guard g(lock_);
    owner_ = nullptr;
  }

  HRESULT put_Frequency(int64_t hz) override {
    std::lock_guard g(lock_);
    if (!owner_) return E_UNEXPECTED;
    const auto& t = owner_->info().tuners.front();
    // The driver counts in steps of 62.5 Hz (low-band tuners) or 62.5 kHz.
    const int64_t steps = (t.capability & V4L2_TUNER_CAP_LOW) ? hz * 2 / 125 : hz * 2 / 125000;
    if (steps < t.rangeLow || steps > t.rangeHigh) return E_INVALIDARG;
    v4l2_frequency f{};
    f.tuner = t.index;
    f.type = t.type;
    f.frequency = static_cast<uint32_t>(steps);
    return owner_->controlIoctl(VIDIOC_S_FREQUENCY, &f) == 0 ? S_OK : E_FAIL;
  }
  HRESULT get_Frequency(int64_t& hz) override {
    std::lock_guard g(lock_);
    if (!owner_) return E_UNEXPECTED;
    const auto& t = owner_->info().tuners.front();
    v4l2_frequency f{};
    f.tuner = t.index;
    if (owner_->controlIoctl(VIDIOC_G_FREQUENCY, &f) != 0) return E_FAIL;
    hz = (t.capability & V4L2_TUNER_CAP_LOW) ? int64_t(f.frequency) * 125 / 2
                                             : int64_t(f.frequency) * 125000 / 2;
    return S_OK;
  }
  HRESULT put_Channel(int32_t channel, int32_t, int32_t) override {
    const int64_t hz = channelFrequency(channel, lines525());
    if (!hz) return E_INVALIDARG;
    HRESULT hr = put_Frequency(hz);
    if (SUCCEEDED(hr)) channel_ = channel;
    return hr;
  }
  HRESULT get_Channel(int32_t& channel, int32_t& video, int32_t& audio) override {
    channel = channel_;
    video = audio = -1;
    return S_OK;
  }
  HRESULT ChannelMinMax(int32_t& min, int32_t& max) override {
    channelRange(lines525(), min, max);
    return S_OK;
  }
  HRESULT SignalPresent(int32_t& strength) override {
    std::lock_guard g(lock_);
    if (!owner_) return E_UNEXPECTED;
    v4l2_tuner t{};
    t.index = owner_->info().tuners.front().index;
    if (owner_->controlIoctl(VIDIOC_G_TUNER, &t) != 0) return E_FAIL;
    strength = t.signal > 32767 ? 1 : 0;
    return S_OK;
  }
  HRESULT get_AvailableTVFormats(int32_t& standards) override {
    std::lock_guard g(lock_);
    standards = owner_ ? toAnalogVideo(owner_->info().standards) : 0;
    return S_OK;
  }
  HRESULT get_TVFormat(int32_t& standard) override {
    v4l2_std_id id = 0;
    std::lock_guard g(lock_);
    if (!owner_ || owner_->controlIoctl(VIDIOC_G_STD, &id) != 0) return E_FAIL;
    standard = toAnalogVideo(id);
    return S_OK;
  }
  HRESULT put_TVFormat(int32_t standard) override {
    v4l2_std_id id = fromAnalogVideo(standard);
    std::lock_guard g(lock_);
    if (!owner_ || !id) return E_INVALIDARG;
    return owner_->controlIoctl(VIDIOC_S_STD, &id) == 0 ? S_OK : E_FAIL;
  }

 private:
  bool lines525() {
    v4l2_std_id id = 0;
    std::lock_guard g(lock_);
    if (!owner_ || owner_->controlIoctl(VIDIOC_G_STD, &id) != 0) return false;
    return (id & V4L2_STD_525_60) && !(id & V4L2_STD_625_50);
  }
  static const std::vector<std::pair<v4l2_std_id, int32_t>>& table() {
    static const std::vector<std::pair<v4l2_std_id, int32_t>> t = {
        {V4L2_STD_NTSC_M, AnalogVideo_NTSC_M},     {V4L2_STD_NTSC_M_JP, AnalogVideo_NTSC_M_J},
        {V4L2_STD_PAL_B, AnalogVideo_PAL_B},       {V4L2_STD_PAL_D, AnalogVideo_PAL_D},
        {V4L2_STD_PAL_G, AnalogVideo_PAL_G},       {V4L2_STD_PAL_H, AnalogVideo_PAL_H},
        {V4L2_STD_PAL_I, AnalogVideo_PAL_I},       {V4L2_STD_PAL_M, AnalogVideo_PAL_M},
        {V4L2_STD_PAL_N, AnalogVideo_PAL_N},       {V4L2_STD_SECAM_B, AnalogVideo_SECAM_B},
        {V4L2_STD_SECAM_D, AnalogVideo_SECAM_D},   {V4L2_STD_SECAM_G, AnalogVideo_SECAM_G},
        {V4L2_STD_SECAM_H, AnalogVideo_SECAM_H},   {V4L2_STD_SECAM_K, AnalogVideo_SECAM_K},
        {V4L2_STD_SECAM_K1, AnalogVideo_SECAM_K1}, {V4L2_STD_SECAM_L, AnalogVideo_SECAM_L}};
    return t;
  }
  static int32_t toAnalogVideo(v4l2_std_id id) {
    int32_t out = 0;
    for (auto [v, a] : table())
      if (id & v) out |= a;
    return out;
  }
  static v4l2_std_id fromAnalogVideo(int32_t standard) {
    v4l2_std_id out = 0;
    for (auto [v, a] : table())
      if (standard & a) out |= v;
    return out;
  }

  std::mutex lock_;
  V4l2Crossbar* owner_;
  std::atomic<int32_t> channel_{-1};
};

// ---------------------------------------------------------------------------------------------
// The tuner's sound (VIDIOC_G_TUNER / VIDIOC_S_TUNER audio modes), with its property page.
class V4l2Crossbar::TvAudio : public IAMTVAudio, public ISpecifyPropertyPages {
 public:
  explicit TvAudio(V4l2Crossbar* owner) : owner_(owner) {}
  void detach() {
    std::lock_guard g(lock_);
    owner_ = nullptr;
  }

  HRESULT GetHardwareSupportedTVAudioModes(int32_t& modes) override {
    std::lock_guard g(lock_);
    if (!owner_) return E_UNEXPECTED;
    const uint32_t caps = owner_->info().tuners.front().capability;
    modes = AMTVAUDIO_MODE_MONO;
    if (caps & V4L2_TUNER_CAP_STEREO) modes |= AMTVAUDIO_MODE_STEREO;
    if (caps & V4L2_TUNER_CAP_LANG1) modes |= AMTVAUDIO_MODE_LANG_A;
    if (caps & V4L2_TUNER_CAP_LANG2) modes |= AMTVAUDIO_MODE_LANG_B;
    return S_OK;
  }
  HRESULT GetAvailableTVAudioModes(int32_t& modes) override {
    v4l2_tuner t{};
    if (HRESULT hr = readTuner(t); FAILED(hr)) return hr;
    modes = 0;
    if (t.rxsubchans & V4L2_TUNER_SUB_MONO) modes |= AMTVAUDIO_MODE_MONO;
    if (t.rxsubchans & V4L2_TUNER_SUB_STEREO) modes |= AMTVAUDIO_MODE_STEREO;
    if (t.rxsubchans & V4L2_TUNER_SUB_LANG1) modes |= AMTVAUDIO_MODE_LANG_A;
    if (t.rxsubchans & V4L2_TUNER_SUB_LANG2) modes |= AMTVAUDIO_MODE_LANG_B;
    return S_OK;
  }
  HRESULT get_TVAudioMode(int32_t& mode) override {
    v4l2_tuner t{};
    if (HRESULT hr = readTuner(t); FAILED(hr)) return hr;
    switch (t.audmode) {
      case V4L2_TUNER_MODE_STEREO: mode = AMTVAUDIO_MODE_STEREO; break;
      case V4L2_TUNER_MODE_LANG1: mode = AMTVAUDIO_MODE_LANG_A; break;
      case V4L2_TUNER_MODE_LANG2: mode = AMTVAUDIO_MODE_LANG_B; break;
      case V4L2_TUNER_MODE_LANG1_LANG2: mode = AMTVAUDIO_MODE_LANG_A | AMTVAUDIO_MODE_LANG_B; break;
      default: mode = AMTVAUDIO_MODE_MONO; break;
    }
    return S_OK;
  }
  HRESULT put_TVAudioMode(int32_t mode) override {
    int32_t supported = 0;
    if (HRESULT hr = GetHardwareSupportedTVAudioModes(supported); FAILED(hr)) return hr;
    if (!mode || (mode & ~supported)) return E_INVALIDARG;
    uint32_t audmode = V4L2_TUNER_MODE_MONO;
    if (mode == AMTVAUDIO_MODE_STEREO)
      audmode = V4L2_TUNER_MODE_STEREO;
    else if (mode == AMTVAUDIO_MODE_LANG_A)
      audmode = V4L2_TUNER_MODE_LANG1;
    else if (mode == AMTVAUDIO_MODE_LANG_B)
      audmode = V4L2_TUNER_MODE_LANG2;
    else if (mode == (AMTVAUDIO_MODE_LANG_A | AMTVAUDIO_MODE_LANG_B))
      audmode = V4L2_TUNER_MODE_LANG1_LANG2;
    else if (mode != AMTVAUDIO_MODE_MONO)
      return E_INVALIDARG;
    v4l2_tuner t{};
    if (HRESULT hr = readTuner(t); FAILED(hr)) return hr;
    t.audmode = audmode;
    std::lock_guard g(lock_);
    if (!owner_) return E_UNEXPECTED;
    return owner_->controlIoctl(VIDIOC_S_TUNER, &t) == 0 ? S_OK : E_FAIL;
  }

  HRESULT GetPages(std::vector<GUID>& pages) override {
    pages = {PAGE_V4l2TvAudio};
    return S_OK;
  }
  PropertyPage* CreatePage(const GUID& page, QWidget* parent) override {
    if (page != PAGE_V4l2TvAudio) return nullptr;
    return new TvAudioPage(std::dynamic_pointer_cast<IAMTVAudio>(shared_from_this()), parent);
  }

 private:
  HRESULT readTuner(v4l2_tuner& t) {
    std::lock_guard g(lock_);
    if (!owner_) return E_UNEXPECTED;
    t.index = owner_->info().tuners.front().index;
    return owner_->controlIoctl(VIDIOC_G_TUNER, &t) == 0 ? S_OK : E_FAIL;
  }

  std::mutex lock_;
  V4l2Crossbar* owner_;
};

// ---------------------------------------------------------------------------------------------
V4l2Crossbar::V4l2Crossbar(std::shared_ptr<V4l2Kernel> kernel, V4l2DeviceInfo info)
    : BaseFilter(CLSID_V4l2Crossbar, QString::fromStdString(info.card) + QStringLiteral(" Crossbar")),
      kernel_(std::move(kernel)),
      info_(std::move(info)) {
  for (const auto& in : info_.inputs)
    addPin(std::make_shared<ConnectorPin>(this, QString::fromStdString(in.name)));
  addPin(std::make_shared<DecoderOutPin>(this));
  if (hasTuner()) tuner_ = std::make_shared<Tuner>(this);
  // Only a television tuner has a sound to choose.
  if (hasTuner() && info_.tuners.front().type == V4L2_TUNER_ANALOG_TV)
    tvAudio_ = std::make_shared<TvAudio>(this);
}

V4l2Crossbar::~V4l2Crossbar() {
  if (tuner_) tuner_->detach();
  if (tvAudio_) tvAudio_->detach();
  std::lock_guard g(lock_);
  if (fd_ >= 0) kernel_->close(fd_);
}

std::string V4l2Crossbar::identity() const { return deviceIdentity(info_); }

std::shared_ptr<Unknown> V4l2Crossbar::getInterface(const std::type_info& type) {
  if (type == typeid(IAMTVTuner)) return tuner_;
  if (type == typeid(IAMTVAudio)) return tvAudio_;
  return nullptr;
}

int V4l2Crossbar::controlIoctl(unsigned long request, void* arg) {
  std::lock_guard g(lock_);
  if (fd_ < 0) {
    const int fd = kernel_->open(info_.path, O_RDWR | O_NONBLOCK);
    if (fd < 0) return fd;
    fd_ = fd;
  }
  const int r = kernel_->ioctl(fd_, request, arg);
  if (r == -ENODEV) {  // the card is gone: a later call reopens it, if it came back
    kernel_->close(fd_);
    fd_ = -1;
  }
  return r;
}

HRESULT V4l2Crossbar::get_PinCounts(int32_t& outputs, int32_t& inputs) {
  outputs = 1;
  inputs = static_cast<int32_t>(info_.inputs.size());
  return S_OK;
}

HRESULT V4l2Crossbar::CanRoute(int32_t output, int32_t input) {
  if (output != 0 || input < 0 || input >= static_cast<int32_t>(info_.inputs.size())) return E_INVALIDARG;
  return S_OK;
}

HRESULT V4l2Crossbar::Route(int32_t output, int32_t input) {
  if (CanRoute(output, input) != S_OK) return E_INVALIDARG;
  int i = static_cast<int>(info_.inputs[static_cast<size_t>(input)].index);
  const int r = controlIoctl(VIDIOC_S_INPUT, &i);
  if (r == 0) return S_OK;
  reportError(info_.path + ": VIDIOC_S_INPUT", r);
  return E_FAIL;
}

HRESULT V4l2Crossbar::get_IsRoutedTo(int32_t output, int32_t& input) {
  input = -1;
  if (output != 0) return E_INVALIDARG;
  int i = -1;
  if (controlIoctl(VIDIOC_G_INPUT, &i) != 0) return E_FAIL;
  for (size_t k = 0; k < info_.inputs.size(); ++k)
    if (static_cast<int>(info_.inputs[k].index) == i) input = static_cast<int32_t>(k);
  return input >= 0 ? S_OK : E_FAIL;
}

HRESULT V4l2Crossbar::get_CrossbarPinInfo(bool isInput, int32_t index, int32_t& related,
                                          int32_t& physicalType) {
  related = -1;
  if (isInput) {
    if (index < 0 || index >= static_cast<int32_t>(info_.inputs.size())) return E_INVALIDARG;
    physicalType = physicalTypeOf(info_.inputs[static_cast<size_t>(index)]);
    return S_OK;
  }
  if (index != 0) return E_INVALIDARG;
  physicalType = PhysConn_Video_VideoDecoder;
  return S_OK;
}

}  // namespace vistrel::platform::devices::v4l2
