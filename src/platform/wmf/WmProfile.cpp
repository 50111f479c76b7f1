#include "platform/wmf/WmProfile.h"

#include <algorithm>

namespace vistrel::platform::wmf {

using namespace media;

namespace {

class StreamConfig : public IWMStreamConfig {
 public:
  StreamConfig(GUID type, uint16_t number) : type_(type), number_(number) {}

  HRESULT GetStreamType(GUID& type) override {
    type = type_;
    return S_OK;
  }
  HRESULT GetStreamNumber(uint16_t& number) override {
    number = number_;
    return S_OK;
  }
  HRESULT SetStreamNumber(uint16_t number) override {
    if (number == 0 || number > 63) return E_INVALIDARG;  // ASF stream numbers are 1..63
    number_ = number;
    return S_OK;
  }
  HRESULT GetStreamName(QString& name) override {
    name = name_;
    return S_OK;
  }
  HRESULT SetStreamName(const QString& name) override {
    name_ = name;
    return S_OK;
  }
  HRESULT GetConnectionName(QString& name) override {
    name = connection_;
    return S_OK;
  }
  HRESULT SetConnectionName(const QString& name) override {
    connection_ = name;
    return S_OK;
  }
  HRESULT GetBitrate(uint32_t& bitrate) override {
    bitrate = bitrate_;
    return S_OK;
  }
  HRESULT SetBitrate(uint32_t bitrate) override {
    bitrate_ = bitrate;
    return S_OK;
  }
  HRESULT GetBufferWindow(uint32_t& ms) override {
    ms = window_;
    return S_OK;
  }
  HRESULT SetBufferWindow(uint32_t ms) override {
    window_ = ms;
    return S_OK;
  }
  HRESULT GetMediaType(MediaType& type) override {
    type = mt_;
    return S_OK;
  }
  HRESULT SetMediaType(const MediaType& type) override {
    if (type.majortype != type_) return E_INVALIDARG;
    mt_ = type;
    return S_OK;
  }

  std::shared_ptr<StreamConfig> clone() const { return std::make_shared<StreamConfig>(*this); }

 private:
  GUID type_;
  uint16_t number_;
  QString name_, connection_;
  uint32_t bitrate_ = 0;
  uint32_t window_ = 3000;
  MediaType mt_;
};

class Profile : public IWMProfile {
 public:
  Profile(WMT_VERSION version, QString name, GUID id) : version_(version), name_(std::move(name)), id_(id) {}

  HRESULT GetVersion(WMT_VERSION& version) override {
    version = version_;
    return S_OK;
  }
  HRESULT GetName(char16_t* buffer, uint32_t& length) override {
    const uint32_t needed = static_cast<uint32_t>(name_.size()) + 1;
    if (!buffer) {
      length = needed;
      return S_OK;
    }
    if (length < needed) {
      length = needed;
      return ASF_E_BUFFERTOOSMALL;
    }
    std::copy_n(reinterpret_cast<const char16_t*>(name_.utf16()), name_.size(), buffer);
    buffer[name_.size()] = 0;
    length = needed;
    return S_OK;
  }
  HRESULT SetName(const QString& name) override {
    name_ = name;
    return S_OK;
  }
  HRESULT GetDescription(QString& description) override {
    description = description_;
    return S_OK;
  }
  HRESULT SetDescription(const QString& description) override {
    description_ = description;
    return S_OK;
  }
  HRESULT GetStreamCount(uint32_t& count) override {
    count = static_cast<uint32_t>(streams_.size());
    return S_OK;
  }
  HRESULT GetStream(uint32_t index, std::shared_ptr<IWMStreamConfig>& stream) override {
    stream.reset();
    if (index >= streams_.size()) return E_INVALIDARG;
    stream = streams_[index];
    return S_OK;
  }
  HRESULT GetStreamByNumber(uint16_t number, std::shared_ptr<IWMStreamConfig>& stream) override {
    stream.reset();
    auto it = find(number);
    if (it == streams_.end()) return NS_E_NOT_FOUND;
    stream = *it;
    return S_OK;
  }
  HRESULT RemoveStream(const std::shared_ptr<IWMStreamConfig>& stream) override {
    if (!stream) return E_POINTER;
    auto it = std::find(streams_.begin(), streams_.end(), stream);
    if (it != streams_.end()) {
      streams_.erase(it);
      return S_OK;
    }
    uint16_t number = 0;
    stream->GetStreamNumber(number);
    return RemoveStreamByNumber(number);
  }
  HRESULT RemoveStreamByNumber(uint16_t number) override {
    auto it = find(number);
    if (it == streams_.end()) return NS_E_NOT_FOUND;
    streams_.erase(it);
    return S_OK;
  }
  HRESULT AddStream(const std::shared_ptr<IWMStreamConfig>& stream) override {
    auto own = std::dynamic_pointer_cast<StreamConfig>(stream);
    if (!own) return E_INVALIDARG;
    uint16_t number = 0;
    own->GetStreamNumber(number);
    if (number == 0 || find(number) != streams_.end()) return NS_E_INVALID_STREAM;
    streams_.push_back(own->clone());
    return S_OK;
  }
  HRESULT CreateNewStream(const GUID& streamType, std::shared_ptr<IWMStreamConfig>& stream) override {
    stream.reset();
    if (streamType != MEDIATYPE_Video && streamType != MEDIATYPE_Audio) return E_INVALIDARG;
    uint16_t highest = 0;
    for (auto& s : streams_) {
      uint16_t n = 0;
      s->GetStreamNumber(n);
      highest = std::max(highest, n);
    }
    if (highest >= 63) return NS_E_INVALID_REQUEST;
    stream = std::make_shared<StreamConfig>(streamType, static_cast<uint16_t>(highest + 1));
    return S_OK;
  }
  HRESULT GetProfileID(GUID& id) override {
    id = id_;
    return S_OK;
  }

  void append(std::shared_ptr<StreamConfig> s) { streams_.push_back(std::move(s)); }

 private:
  std::vector<std::shared_ptr<StreamConfig>>::iterator find(uint16_t number) {
    return std::find_if(streams_.begin(), streams_.end(), [number](const auto& s) {
      uint16_t n = 0;
      s->GetStreamNumber(n);
      return n == number;
    });
  }

  WMT_VERSION version_;
  QString name_;
  QString description_;
  GUID id_;
  std::vector<std::shared_ptr<StreamConfig>> streams_;
};

MediaType videoType(const WmStreamDesc& d) {
  VIDEOINFOHEADER vih;
  vih.rcSource = {0, 0, d.width, d.height};
  vih.rcTarget = vih.rcSource;
  vih.dwBitRate = d.bitrate;
  vih.AvgTimePerFrame = d.timePerFrame;
  vih.bmiHeader.biWidth = d.width;
  vih.bmiHeader.biHeight = d.height;
  vih.bmiHeader.biBitCount = 24;
  vih.bmiHeader.biCompression = d.codec.Data1;
  vih.bmiHeader.biSizeImage = static_cast<uint32_t>(std::max(0, d.width) * std::max(0, d.height) * 3);
  MediaType mt(MEDIATYPE_Video, d.codec, FORMAT_VideoInfo);
  mt.bTemporalCompression = true;
  mt.bFixedSizeSamples = false;
  mt.setFormat(vih);
  return mt;
}

MediaType audioType(const WmStreamDesc& d) {
  WAVEFORMATEX wfx;
  wfx.wFormatTag = static_cast<uint16_t>(d.codec.Data1);
  wfx.nChannels = d.channels;
  wfx.nSamplesPerSec = d.sampleRate;
  wfx.nAvgBytesPerSec = d.bitrate / 8;
  wfx.wBitsPerSample = 16;
  wfx.nBlockAlign = 0;  // fixed by the encoder when the writer opens it
  MediaType mt(MEDIATYPE_Audio, d.codec, FORMAT_WaveFormatEx);
  mt.bFixedSizeSamples = false;
  mt.setFormat(wfx);
  return mt;
}

}  // namespace

QString IWMProfile::name() {
  uint32_t length = 0;
  if (FAILED(GetName(nullptr, length)) || length == 0) return QString();
  std::vector<char16_t> buffer(length);
  if (FAILED(GetName(buffer.data(), length))) return QString();
  return QString::fromUtf16(buffer.data());
}

std::shared_ptr<IWMStreamConfig> createStreamConfig(const WmStreamDesc& desc, uint16_t number) {
  auto s = std::make_shared<StreamConfig>(desc.type, number);
  const bool video = desc.type == MEDIATYPE_Video;
  s->SetStreamName(video ? QStringLiteral("Video%1").arg(number) : QStringLiteral("Audio%1").arg(number));
  s->SetConnectionName(video ? QStringLiteral("Video") : QStringLiteral("Audio"));
  s->SetBitrate(desc.bitrate);
  s->SetMediaType(video ? videoType(desc) : audioType(desc));
  return s;
}

std::shared_ptr<IWMProfile> createProfile(WMT_VERSION version, const QString& name, const GUID& id,
                                          const std::vector<WmStreamDesc>& streams,
                                          const QString& description) {
  auto p = std::make_shared<Profile>(version, name, id);
  p->SetDescription(description);
  uint16_t number = 1;
  for (const auto& d : streams)
    p->append(std::static_pointer_cast<StreamConfig>(createStreamConfig(d, number++)));
  return p;
}

WmStreamDesc describeStream(IWMStreamConfig& stream) {
  WmStreamDesc d;
  stream.GetStreamType(d.type);
  stream.GetBitrate(d.bitrate);
  MediaType mt;
  stream.GetMediaType(mt);
  d.codec = mt.subtype;
  if (auto v = mt.videoInfo()) {
    d.width = v->bmiHeader.biWidth;
    d.height = v->bmiHeader.biHeight;
    d.timePerFrame = v->AvgTimePerFrame;
  }
  if (auto w = mt.waveFormat()) {
    d.sampleRate = w->nSamplesPerSec;
    d.channels = w->nChannels;
  }
  return d;
}

}  // namespace vistrel::platform::wmf
