#include "platform/media/filters/DvSplitter.h"

#include <cstring>

#include "platform/media/BaseInputPin.h"
#include "platform/media/BaseOutputPin.h"
#include "platform/media/IDVEnc.h"
#include "platform/media/filters/DvInfo.h"

namespace vistrel::platform::media {
namespace {

class SplitterInput : public BaseInputPin {
 public:
  explicit SplitterInput(DvSplitter* f) : BaseInputPin(f, QStringLiteral("Input")), splitter_(f) {}
  HRESULT CheckMediaType(const MediaType& type) override {
    return type.majortype == MEDIATYPE_Interleaved && type.subtype == MEDIASUBTYPE_dvsd
               ? S_OK
               : VFW_E_TYPE_NOT_ACCEPTED;
  }

 protected:
  HRESULT receiveSample(const std::shared_ptr<MediaSample>& sample) override {
    return splitter_->split(*sample);
  }

 private:
  DvSplitter* splitter_;
};

// An output with one fixed type.
class SplitterOutput : public BaseOutputPin {
 public:
  SplitterOutput(BaseFilter* f, QString name, MediaType type, int32_t bufferSize)
      : BaseOutputPin(f, std::move(name)), type_(std::move(type)), bufferSize_(bufferSize) {}
  HRESULT CheckMediaType(const MediaType& type) override {
    return type.matches(type_) || type_.matches(type) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT GetMediaType(int position, MediaType& type) override {
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    type = type_;
    return S_OK;
  }
  HRESULT DecideBufferSize(MemAllocator& allocator, ALLOCATOR_PROPERTIES& request) override {
    request.cBuffers = std::max<int32_t>(request.cBuffers, 4);
    request.cbBuffer = std::max(request.cbBuffer, bufferSize_);
    ALLOCATOR_PROPERTIES actual;
    return allocator.SetProperties(request, actual);
  }
  bool isAudio() const { return type_.majortype == MEDIATYPE_Audio; }

 private:
  MediaType type_;
  int32_t bufferSize_;
};

int rateOfAauxSource(uint32_t source) {
  // The sampling frequency sits in bits 3 to 5 of the pack's fourth data byte.
  switch ((source >> 27) & 0x7) {
    case 1: return 44100;
    case 2: return 32000;
    default: return 48000;
  }
}

}  // namespace

DvSplitter::DvSplitter() : BaseFilter(CLSID_DVSplitter, QStringLiteral("DV Splitter")) {
  addPin(std::make_shared<SplitterInput>(this));
}

std::shared_ptr<IBaseFilter> DvSplitter::create() { return std::make_shared<DvSplitter>(); }

std::vector<int> DvSplitter::announcedAudio(const MediaType& input) {
  DVINFO info;
  if (input.formattype == FORMAT_DvInfo && input.format.size() >= sizeof info)
    std::memcpy(&info, input.format.data(), sizeof info);
  // No information block: a camcorder's usual stereo 48 kHz.
  if (input.format.size() < sizeof info) return {48000};
  std::vector<int> rates;
  if (info.dwDVAAuxSrc != 0xFFFFFFFF) rates.push_back(rateOfAauxSource(info.dwDVAAuxSrc));
  if (info.dwDVAAuxSrc1 != 0xFFFFFFFF && info.dwDVAAuxSrc1 != 0)
    rates.push_back(rateOfAauxSource(info.dwDVAAuxSrc1));
  return rates;
}

void DvSplitter::pinConnected(BasePin& pin) {
  if (pin.direction() != PINDIR_INPUT) return;
  const MediaType& input = pin.currentMediaType();
  // A DvInfo block has no frame duration: the sample size tells, else the frame duration.
  bool ntsc = input.averageTimePerFrame() > 0 && input.averageTimePerFrame() < 380000;
  if (input.lSampleSize == dv::kNtscFrameBytes || input.lSampleSize == dv::kPalFrameBytes)
    ntsc = input.lSampleSize == dv::kNtscFrameBytes;
  // The video stream announces the input's information block: its packs are the frames' own.
  DVINFO info;
  info.dwDVAAuxSrc = info.dwDVAAuxCtl = info.dwDVAAuxSrc1 = info.dwDVAAuxCtl1 = 0xFFFFFFFF;
  info.dwDVVAuxSrc = info.dwDVVAuxCtl = 0xFFFFFFFF;
  if (const auto given = dvInfoOf(input)) info = *given;
  const MediaType video = dvsdVideoType(ntsc ? dv::System::Ntsc : dv::System::Pal, info);
  addPin(std::make_shared<SplitterOutput>(
      this, QStringLiteral("DVVidOut0"), video,
      static_cast<int32_t>(ntsc ? dv::kNtscFrameBytes : dv::kPalFrameBytes)));
  int n = 0;
  for (int rate : announcedAudio(input)) {
    addPin(std::make_shared<SplitterOutput>(this,
                                            QStringLiteral("AudOut%1").arg(n++, 2, 10, QLatin1Char('0')),
                                            MediaType::pcm(static_cast<uint32_t>(rate), 2, 16), 8192 * 4));
  }
}

void DvSplitter::pinDisconnected(BasePin& pin) {
  if (pin.direction() != PINDIR_INPUT) return;
  while (pins_.size() > 1) {
    BasePin* last = pins_.back().get();
    if (std::shared_ptr<IPin> peer = last->peer()) {
      peer->Disconnect();
      last->Disconnect();
    }
    removePin(last);
  }
}

HRESULT DvSplitter::split(const MediaSample& sample) {
  const int32_t length = std::min(std::max(0, sample.GetActualDataLength()), sample.GetSize());
  if (!splitter_.split(std::span<const uint8_t>(sample.data(), static_cast<size_t>(length)), parts_)) {
    ++dropped_;
    return S_OK;  // a damaged frame is skipped; the stream goes on
  }
  REFERENCE_TIME start = 0, stop = 0;
  const HRESULT timed = sample.GetTime(&start, &stop);
  size_t audioStream = 0;
  for (size_t i = 1; i < pins_.size(); ++i) {
    auto* out = static_cast<SplitterOutput*>(pins_[i].get());
    if (!out->isConnected()) {
      if (out->isAudio()) ++audioStream;
      continue;
    }
    const uint8_t* bytes = parts_.video.data();
    size_t size = parts_.video.size();
    if (out->isAudio()) {
      if (audioStream >= parts_.audio.size()) {
        ++audioStream;
        continue;
      }
      bytes = reinterpret_cast<const uint8_t*>(parts_.audio[audioStream].data());
      size = parts_.audio[audioStream].size() * sizeof(int16_t);
      ++audioStream;
    }
    std::shared_ptr<MediaSample> piece;
    if (FAILED(out->GetDeliveryBuffer(piece)) || !piece || piece->GetSize() < static_cast<int32_t>(size))
      continue;
    std::memcpy(piece->data(), bytes, size);
    piece->SetActualDataLength(static_cast<int32_t>(size));
    piece->SetSyncPoint(true);
    if (timed == S_OK) piece->SetTime(&start, &stop);
    out->Deliver(piece);
  }
  return S_OK;
}

}  // namespace vistrel::platform::media
