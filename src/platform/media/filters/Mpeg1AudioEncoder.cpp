#include "platform/media/filters/Mpeg1AudioEncoder.h"

#include "platform/media/filters/MpegAudioFormats.h"

namespace vistrel::platform::media {

const char* const kMpeg1AudioEncoderName = "MPEG Layer-2 Audio Encoder";

namespace {
bool isLayer2Rate(uint32_t r) {
  return r == 32000 || r == 44100 || r == 48000 || r == 16000 || r == 22050 || r == 24000;
}
}  // namespace

Mpeg1AudioEncoder::Mpeg1AudioEncoder()
    : EncoderFilter(CLSID_Mpeg1AudioEncoder, QString::fromLatin1(kMpeg1AudioEncoderName),
                    QStringLiteral("In"), QStringLiteral("Out")) {}

std::shared_ptr<IBaseFilter> Mpeg1AudioEncoder::create() { return std::make_shared<Mpeg1AudioEncoder>(); }

int Mpeg1AudioEncoder::bitrateFor(uint32_t rate, int channels) {
  const int full = channels == 1 ? 112 : 224;
  return rate >= 32000 ? full : full / 2 + (channels == 1 ? 8 : 16);  // 64 and 128 at the half rates
}

HRESULT Mpeg1AudioEncoder::checkInputType(const MediaType& type) {
  if (type.majortype != MEDIATYPE_Audio || type.subtype != MEDIASUBTYPE_PCM) return VFW_E_TYPE_NOT_ACCEPTED;
  auto w = type.waveFormat();
  if (!w || (w->wBitsPerSample != 16 && w->wBitsPerSample != 8) || w->nChannels < 1 || w->nChannels > 2 ||
      !isLayer2Rate(w->nSamplesPerSec))
    return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT Mpeg1AudioEncoder::outputType(int position, MediaType& type) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  auto in = inputPin()->currentMediaType().waveFormat();
  if (!in) return VFW_S_NO_MORE_ITEMS;
  type = mpeg1AudioType(2, in->nSamplesPerSec, in->nChannels, bitrateFor(in->nSamplesPerSec, in->nChannels));
  return S_OK;
}

HRESULT Mpeg1AudioEncoder::startEncoding() {
  auto in = inputPin()->currentMediaType().waveFormat();
  if (!in) return VFW_E_TYPE_NOT_ACCEPTED;
  AudioEncoderSettings s;
  s.codec = AudioCodec::Mp2;
  s.sampleRate = in->nSamplesPerSec;
  s.channels = in->nChannels;
  s.bitrate = int64_t(bitrateFor(in->nSamplesPerSec, in->nChannels)) * 1000;
  timed_ = false;
  base_ = 0;
  rate_ = in->nSamplesPerSec;
  return encoder_.open(s, *in);
}

void Mpeg1AudioEncoder::stopEncoding() { encoder_.close(); }

HRESULT Mpeg1AudioEncoder::sendPackets(std::vector<EncodedPacket>& packets) {
  for (auto& p : packets) {
    const REFERENCE_TIME start = base_ + p.pts * UNITS / rate_;
    const REFERENCE_TIME stop = base_ + (p.pts + encoder_.frameSize()) * UNITS / rate_;
    HRESULT hr = deliver(p.data.data(), p.data.size(), &start, &stop, true);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT Mpeg1AudioEncoder::encode(const MediaSample& sample) {
  if (!timed_) {
    REFERENCE_TIME start = 0, stop = 0;
    if (SUCCEEDED(sample.GetTime(&start, &stop))) base_ = start;
    timed_ = true;
  }
  std::vector<EncodedPacket> packets;
  HRESULT hr = encoder_.encode(sample.data(), sample.GetActualDataLength(), packets);
  if (FAILED(hr)) return hr;
  return sendPackets(packets);
}

HRESULT Mpeg1AudioEncoder::flush() {
  std::vector<EncodedPacket> packets;
  encoder_.flush(packets);
  return sendPackets(packets);
}

}  // namespace vistrel::platform::media
