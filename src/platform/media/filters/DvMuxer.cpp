#include "platform/media/filters/DvMuxer.h"

#include <cstring>

#include "platform/media/BaseInputPin.h"
#include "platform/media/BaseOutputPin.h"
#include "platform/media/dv/DvAudio.h"
#include "platform/media/dv/DvCodec.h"
#include "platform/media/filters/DvInfo.h"

namespace vistrel::platform::media {
namespace {

class MuxerVideoInput : public BaseInputPin {
 public:
  explicit MuxerVideoInput(DvMuxer* f) : BaseInputPin(f, QStringLiteral("Video")), muxer_(f) {}
  HRESULT CheckMediaType(const MediaType& type) override {
    const auto bmi = type.bitmapHeader();
    return type.majortype == MEDIATYPE_Video && type.subtype == MEDIASUBTYPE_dvsd && bmi &&
                   (bmi->biHeight == 576 || bmi->biHeight == 480)
               ? S_OK
               : VFW_E_TYPE_NOT_ACCEPTED;
  }

 protected:
  HRESULT receiveSample(const std::shared_ptr<MediaSample>& s) override { return muxer_->addVideo(*s); }

 private:
  DvMuxer* muxer_;
};

class MuxerAudioInput : public BaseInputPin {
 public:
  explicit MuxerAudioInput(DvMuxer* f) : BaseInputPin(f, QStringLiteral("Audio")), muxer_(f) {}
  HRESULT CheckMediaType(const MediaType& type) override {
    const auto wf = type.waveFormat();
    return type.majortype == MEDIATYPE_Audio && wf && wf->wFormatTag == 1 && wf->nChannels == 2 &&
                   wf->wBitsPerSample == 16 &&
                   (wf->nSamplesPerSec == 48000 || wf->nSamplesPerSec == 44100 || wf->nSamplesPerSec == 32000)
               ? S_OK
               : VFW_E_TYPE_NOT_ACCEPTED;
  }

 protected:
  HRESULT receiveSample(const std::shared_ptr<MediaSample>& s) override { return muxer_->addAudio(*s); }

 private:
  DvMuxer* muxer_;
};

class MuxerOutput : public BaseOutputPin {
 public:
  explicit MuxerOutput(BaseFilter* f) : BaseOutputPin(f, QStringLiteral("Output")) {}
  HRESULT CheckMediaType(const MediaType& type) override {
    return type.majortype == MEDIATYPE_Interleaved && type.subtype == MEDIASUBTYPE_dvsd
               ? S_OK
               : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT GetMediaType(int position, MediaType& type) override {
    if (position < 0) return E_INVALIDARG;
    auto* video = static_cast<BasePin*>(filter_->pin(0));
    if (position > 0 || !video->isConnected()) return VFW_S_NO_MORE_ITEMS;
    type = MediaType(MEDIATYPE_Interleaved, MEDIASUBTYPE_dvsd, FORMAT_DvInfo);
    type.setFormat(static_cast<DvMuxer*>(filter_)->outputInfo());
    type.lSampleSize = video->currentMediaType().bitmapHeader()->biHeight == 576 ? 144000 : 120000;
    return S_OK;
  }
  HRESULT DecideBufferSize(MemAllocator& allocator, ALLOCATOR_PROPERTIES& request) override {
    request.cBuffers = std::max<int32_t>(request.cBuffers, 4);
    request.cbBuffer = static_cast<int32_t>(dv::kPalFrameBytes);
    ALLOCATOR_PROPERTIES actual;
    return allocator.SetProperties(request, actual);
  }
};

}  // namespace

DvMuxer::DvMuxer() : BaseFilter(CLSID_DVMux, QStringLiteral("DV Muxer")) {
  addPin(std::make_shared<MuxerVideoInput>(this));
  addPin(std::make_shared<MuxerAudioInput>(this));
  addPin(std::make_shared<MuxerOutput>(this));
}

std::shared_ptr<IBaseFilter> DvMuxer::create() { return std::make_shared<DvMuxer>(); }

HRESULT DvMuxer::onPause() {
  std::lock_guard lock(lock_);
  const BasePin* video = pin(0);
  const BasePin* audio = pin(1);
  if (!video->isConnected()) return S_OK;
  system_ = video->currentMediaType().bitmapHeader()->biHeight == 576 ? dv::System::Pal : dv::System::Ntsc;
  frameDuration_ = system_ == dv::System::Pal ? 400000 : 333667;
  delivered_ = 0;
  firstStart_ = -1;
  const int rate =
      audio->isConnected() ? static_cast<int>(audio->currentMediaType().waveFormat()->nSamplesPerSec) : 0;
  return muxer_.open(system_, rate, rate == 32000 && audioBits_ == 12 ? 12 : 16) ? S_OK : E_FAIL;
}

DVINFO DvMuxer::outputInfo() {
  DVINFO info;
  info.dwDVAAuxSrc = info.dwDVAAuxCtl = info.dwDVAAuxSrc1 = info.dwDVAAuxCtl1 = 0xFFFFFFFF;
  const BasePin* video = pin(0);
  const BasePin* audio = pin(1);
  const auto bmi = video->isConnected() ? video->currentMediaType().bitmapHeader() : std::nullopt;
  const dv::System system = bmi && bmi->biHeight == 480 ? dv::System::Ntsc : dv::System::Pal;
  const auto word = [](const std::array<uint8_t, 5>& pack) {
    return static_cast<uint32_t>(pack[1]) | static_cast<uint32_t>(pack[2]) << 8 |
           static_cast<uint32_t>(pack[3]) << 16 | static_cast<uint32_t>(pack[4]) << 24;
  };
  if (audio->isConnected()) {
    const auto wf = audio->currentMediaType().waveFormat();
    int bits = 16;
    {
      std::lock_guard lock(lock_);
      bits = audioBits_;
    }
    const dv::AudioFormat format{static_cast<int>(wf->nSamplesPerSec),
                                 wf->nSamplesPerSec == 32000 && bits == 12 ? 12 : 16};
    const int samples = dv::samplesInFrame(system, format.sampleRate, 0);
    info.dwDVAAuxSrc = word(dv::aauxSourcePack(system, format, samples, false));
    info.dwDVAAuxCtl = 0xFFA0CF03;  // copy free, original recording, normal speed
  }
  // The video packs are the frames' own, as the video input announces them; a type without a
  // block gets a standard video source pack (no tuner channel, the 50/60 flag) and a 4:3 source
  // control pack.
  if (const auto given = video->isConnected() ? dvInfoOf(video->currentMediaType()) : std::nullopt) {
    info.dwDVVAuxSrc = given->dwDVVAuxSrc;
    info.dwDVVAuxCtl = given->dwDVVAuxCtl;
  } else {
    info.dwDVVAuxSrc = 0xFF00FFFF | (system == dv::System::Pal ? 0x20u : 0x00u) << 16;
    info.dwDVVAuxCtl = 0xFFFCC803;
  }
  return info;
}

void DvMuxer::setAudioBits(int bits) {
  std::lock_guard lock(lock_);
  audioBits_ = bits;
}

void DvMuxer::haltStreaming() {
  std::vector<Timed> ready;
  {
    std::lock_guard lock(lock_);
    if (state() == State_Stopped) return;
    muxer_.flush();
    ready = takeTimed();
  }
  deliver(ready);
}

HRESULT DvMuxer::onStop() {
  std::lock_guard lock(lock_);
  muxer_.close();
  return S_OK;
}

HRESULT DvMuxer::addAudio(const MediaSample& sample) {
  std::vector<Timed> ready;
  {
    std::lock_guard lock(lock_);
    const int32_t length = std::min(std::max(0, sample.GetActualDataLength()), sample.GetSize());
    muxer_.addAudio(std::span<const int16_t>(reinterpret_cast<const int16_t*>(sample.data()),
                                             static_cast<size_t>(length) / sizeof(int16_t)));
    ready = takeTimed();
  }
  deliver(ready);
  return S_OK;
}

HRESULT DvMuxer::addVideo(const MediaSample& sample) {
  std::vector<Timed> ready;
  {
    std::lock_guard lock(lock_);
    REFERENCE_TIME start = 0, stop = 0;
    if (SUCCEEDED(sample.GetTime(&start, &stop)) && firstStart_ < 0) firstStart_ = start;
    const int32_t length = std::min(std::max(0, sample.GetActualDataLength()), sample.GetSize());
    muxer_.addVideo(std::span<const uint8_t>(sample.data(), static_cast<size_t>(length)));
    ready = takeTimed();
  }
  deliver(ready);
  return S_OK;
}

// Frames are timed from the first video sample, one frame duration each.
std::vector<DvMuxer::Timed> DvMuxer::takeTimed() {
  std::vector<Timed> timed;
  for (auto& frame : muxer_.takeFrames()) {
    const REFERENCE_TIME begin = std::max<REFERENCE_TIME>(firstStart_, 0) + delivered_++ * frameDuration_;
    timed.push_back(Timed{std::move(frame), begin, begin + frameDuration_});
  }
  return timed;
}

void DvMuxer::deliver(const std::vector<Timed>& frames) {
  auto* out = static_cast<BaseOutputPin*>(pin(2));
  for (const Timed& t : frames) {
    std::shared_ptr<MediaSample> sample;
    if (!out->isConnected() || FAILED(out->GetDeliveryBuffer(sample)) || !sample ||
        sample->GetSize() < static_cast<int32_t>(t.frame.size()))
      continue;
    std::memcpy(sample->data(), t.frame.data(), t.frame.size());
    sample->SetActualDataLength(static_cast<int32_t>(t.frame.size()));
    sample->SetSyncPoint(true);
    sample->SetTime(&t.start, &t.stop);
    out->Deliver(sample);
  }
}

}  // namespace vistrel::platform::media
