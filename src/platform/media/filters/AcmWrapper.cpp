#include "platform/media/filters/AcmWrapper.h"

#include <algorithm>
#include <optional>

#include "platform/media/BaseInputPin.h"
#include "platform/media/BaseOutputPin.h"
#include "platform/media/IAMStreamConfig.h"

namespace vistrel::platform::media {

namespace {
// Bytes of one sample frame as the converter counts them (the block's nBlockAlign may disagree).
uint32_t frameBytes(const WAVEFORMATEX& w) { return uint32_t(w.nChannels) * w.wBitsPerSample / 8; }
}  // namespace

class AcmWrapper::InputPin : public BaseInputPin {
 public:
  explicit InputPin(AcmWrapper* f) : BaseInputPin(f, QStringLiteral("Input")), owner_(f) {}
  HRESULT CheckMediaType(const MediaType& type) override {
    return AcmWrapper::acceptsFormat(type) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }

 protected:
  HRESULT receiveSample(const std::shared_ptr<MediaSample>& sample) override {
    return owner_->convert(*sample);
  }

 private:
  AcmWrapper* owner_;
};

class AcmWrapper::OutputPin : public BaseOutputPin, public IAMStreamConfig {
 public:
  explicit OutputPin(AcmWrapper* f) : BaseOutputPin(f, QStringLiteral("Output")), owner_(f) {}

  HRESULT CheckMediaType(const MediaType& type) override {
    if (!filter_) return VFW_E_NEED_OWNER;
    if (!owner_->pin(0)->isConnected()) return VFW_E_NOT_CONNECTED;
    if (!AcmWrapper::acceptsFormat(type)) return VFW_E_TYPE_NOT_ACCEPTED;
    if (chosen_ && !(type == *chosen_)) return VFW_E_TYPE_NOT_ACCEPTED;
    return S_OK;
  }
  HRESULT GetMediaType(int position, MediaType& type) override {
    if (position < 0) return E_INVALIDARG;
    if (!filter_ || !owner_->pin(0)->isConnected()) return VFW_S_NO_MORE_ITEMS;
    if (chosen_) {
      if (position > 0) return VFW_S_NO_MORE_ITEMS;
      type = *chosen_;
      return S_OK;
    }
    if (position == 0) {
      type = owner_->pin(0)->currentMediaType();  // no conversion at all comes first
      return S_OK;
    }
    const auto all = AcmWrapper::commonFormats();
    if (position > int(all.size())) return VFW_S_NO_MORE_ITEMS;
    type = all[size_t(position - 1)];
    return S_OK;
  }
  HRESULT DecideBufferSize(MemAllocator& allocator, ALLOCATOR_PROPERTIES& request) override {
    const auto in = owner_->pin(0)->currentMediaType().waveFormat();
    const auto out = currentMediaType().waveFormat();
    if (!in || !out) return E_UNEXPECTED;
    // Room for one upstream block after conversion, with the resampler's delay on top; at least
    // half a second, because a tee upstream passes on buffers of a pool we never see.
    int64_t inBytes = in->nSamplesPerSec * frameBytes(*in) / 2;
    if (const auto& upstream = static_cast<BaseInputPin*>(owner_->pin(0))->allocator()) {
      ALLOCATOR_PROPERTIES p;
      if (SUCCEEDED(upstream->GetProperties(p))) inBytes = std::max<int64_t>(inBytes, p.cbBuffer);
    }
    const int64_t inFrames = inBytes / std::max<uint32_t>(frameBytes(*in), 1);
    const int64_t outFrames =
        inFrames * out->nSamplesPerSec / std::max<uint32_t>(in->nSamplesPerSec, 1) + 256;
    ALLOCATOR_PROPERTIES want = request, actual;
    want.cBuffers = std::max(want.cBuffers, 4);
    want.cbBuffer = std::max<int32_t>({want.cbBuffer, int32_t(outFrames * frameBytes(*out)), 4096});
    HRESULT hr = allocator.SetProperties(want, actual);
    if (FAILED(hr)) return hr;
    return actual.cbBuffer >= want.cbBuffer ? S_OK : E_FAIL;
  }

  HRESULT SetFormat(const MediaType& type) override {
    if (!AcmWrapper::acceptsFormat(type)) return VFW_E_INVALIDMEDIATYPE;
    if (!connected_ || type == mt_) {
      chosen_ = type;
      return S_OK;
    }
    // Connected: the new type takes effect by reconnecting to the same peer.
    if (!filterStopped()) return VFW_E_NOT_STOPPED;
    auto peer = this->peer();
    if (!peer) return E_UNEXPECTED;
    if (peer->QueryAccept(type) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
    const MediaType old = mt_;
    const std::optional<MediaType> oldChoice = chosen_;
    chosen_ = type;
    peer->Disconnect();
    Disconnect();
    HRESULT hr = Connect(peer, &type);
    if (FAILED(hr)) {
      chosen_ = oldChoice;
      Connect(peer, &old);  // the chain stays as it was
    }
    return hr;
  }
  HRESULT GetFormat(MediaType& type) override {
    if (connected_) {
      type = mt_;
    } else if (chosen_) {
      type = *chosen_;
    } else if (filter_ && owner_->pin(0)->isConnected()) {
      type = owner_->pin(0)->currentMediaType();
    } else {
      return VFW_E_NOT_CONNECTED;
    }
    return S_OK;
  }
  HRESULT GetNumberOfCapabilities(int32_t& count, int32_t& size) override {
    count = int32_t(AcmWrapper::commonFormats().size());
    size = 0;
    return S_OK;
  }
  HRESULT GetStreamCaps(int32_t index, MediaType& type, std::vector<uint8_t>& caps) override {
    const auto all = AcmWrapper::commonFormats();
    if (index < 0) return E_INVALIDARG;
    if (index >= int32_t(all.size())) return S_FALSE;
    type = all[size_t(index)];
    caps.clear();
    return S_OK;
  }

 private:
  AcmWrapper* owner_;
  std::optional<MediaType> chosen_;  // set by SetFormat: the only type offered and accepted
};

AcmWrapper::AcmWrapper() : BaseFilter(CLSID_ACMWrapper, QStringLiteral("ACM Wrapper")) {
  addPin(std::make_shared<InputPin>(this));
  addPin(std::make_shared<OutputPin>(this));
}

std::shared_ptr<IBaseFilter> AcmWrapper::create() { return std::make_shared<AcmWrapper>(); }

AcmWrapper::OutputPin* AcmWrapper::output() const { return static_cast<OutputPin*>(pin(1)); }

bool AcmWrapper::acceptsFormat(const MediaType& type) {
  if (type.majortype != MEDIATYPE_Audio || type.subtype != MEDIASUBTYPE_PCM) return false;
  const auto w = type.waveFormat();  // nullopt when the block is shorter than it says
  return w && w->wFormatTag == WAVE_FORMAT_PCM && AudioResampler::supports(*w);
}

std::vector<MediaType> AcmWrapper::commonFormats() {
  std::vector<MediaType> all;
  for (uint16_t bits : {16, 8})
    for (uint16_t channels : {2, 1})
      for (uint32_t rate : {44100u, 48000u, 32000u, 22050u, 11025u, 8000u})
        all.push_back(MediaType::pcm(rate, channels, bits));
  return all;
}

HRESULT AcmWrapper::onPause() {
  ready_ = false;
  if (!pin(0)->isConnected() || !pin(1)->isConnected()) return S_OK;
  in_ = *pin(0)->currentMediaType().waveFormat();
  out_ = *pin(1)->currentMediaType().waveFormat();
  ready_ = resampler_.configure(in_, out_);
  return ready_ ? S_OK : E_FAIL;
}

HRESULT AcmWrapper::onStop() {
  ready_ = false;
  return S_OK;
}

HRESULT AcmWrapper::convert(const MediaSample& in) {
  BaseOutputPin* out = output();
  if (!out->isConnected() || !ready_) return S_OK;  // nothing downstream: the sound ends here
  std::optional<MediaType> changed;
  in.GetMediaType(changed);
  if (changed) {
    if (!acceptsFormat(*changed)) return VFW_E_INVALIDMEDIATYPE;
    in_ = *changed->waveFormat();
    if (!resampler_.configure(in_, out_)) return VFW_E_INVALIDMEDIATYPE;
  }
  REFERENCE_TIME start = 0, stop = 0;
  const HRESULT timeResult = in.GetTime(&start, &stop);
  const bool timed = SUCCEEDED(timeResult), hasStop = timeResult == S_OK;
  const uint32_t outFrame = frameBytes(out_);
  const int32_t length = std::max(in.GetActualDataLength(), 0);

  // One block usually gives one output sample; a block larger than the output buffers is handed
  // on in several, the resampler keeping what did not fit until the next call.
  static const uint8_t nothing = 0;
  int64_t framesOut = 0;
  for (int chunk = 0;; ++chunk) {
    std::shared_ptr<MediaSample> sample;
    HRESULT hr = out->GetDeliveryBuffer(sample);
    if (FAILED(hr)) return hr == VFW_E_NOT_COMMITTED ? S_FALSE : hr;
    const size_t room = size_t(sample->GetSize()) / outFrame * outFrame;
    const size_t made = chunk == 0 ? resampler_.convert(in.data(), size_t(length), sample->data(), room)
                                   : resampler_.convert(&nothing, 0, sample->data(), room);
    if (made == 0) return S_OK;
    sample->copyPropertiesFrom(in);
    sample->SetMediaType(nullptr);  // the input's type change is not the output's
    sample->SetActualDataLength(int32_t(made));
    const bool full = made >= room;
    const int64_t frames = int64_t(made / outFrame);
    if (timed && (chunk > 0 || full)) {
      // Split output: each piece covers its own stretch of the block's time.
      REFERENCE_TIME s = start + framesOut * UNITS / out_.nSamplesPerSec;
      REFERENCE_TIME e = start + (framesOut + frames) * UNITS / out_.nSamplesPerSec;
      if (!full && hasStop) e = std::max(s, stop);
      sample->SetTime(&s, &e);
    }
    if (chunk > 0) sample->SetDiscontinuity(false);
    framesOut += frames;
    hr = out->Deliver(sample);
    if (FAILED(hr)) return hr;
    if (!full) return S_OK;
  }
}

}  // namespace vistrel::platform::media
