#include "platform/media/filters/AudioResampler.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace vistrel::platform::media {

struct AudioResampler::Impl {
  SwrContext* swr = nullptr;
  WAVEFORMATEX in{}, out{};
  ~Impl() { swr_free(&swr); }
};

AudioResampler::AudioResampler() : d_(std::make_unique<Impl>()) {}
AudioResampler::~AudioResampler() = default;

bool AudioResampler::supports(const WAVEFORMATEX& f) {
  return (f.wBitsPerSample == 8 || f.wBitsPerSample == 16) && (f.nChannels == 1 || f.nChannels == 2) &&
         f.nSamplesPerSec >= 8000 && f.nSamplesPerSec <= 192000;
}

namespace {
AVSampleFormat sampleFormat(const WAVEFORMATEX& f) {
  return f.wBitsPerSample == 8 ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16;
}
int frameBytes(const WAVEFORMATEX& f) { return f.nChannels * f.wBitsPerSample / 8; }
}  // namespace

bool AudioResampler::configure(const WAVEFORMATEX& in, const WAVEFORMATEX& out) {
  swr_free(&d_->swr);
  if (!supports(in) || !supports(out)) return false;
  d_->in = in;
  d_->out = out;
  AVChannelLayout inLayout, outLayout;
  av_channel_layout_default(&inLayout, in.nChannels);
  av_channel_layout_default(&outLayout, out.nChannels);
  int rc = swr_alloc_set_opts2(&d_->swr, &outLayout, sampleFormat(out), static_cast<int>(out.nSamplesPerSec),
                               &inLayout, sampleFormat(in), static_cast<int>(in.nSamplesPerSec), 0, nullptr);
  // A mono source goes to both channels at full level, as the platform's converter does, not at
  // the -3 dB of a centre speaker.
  if (rc >= 0 && d_->swr && in.nChannels == 1 && out.nChannels == 2) {
    const double both[2] = {1.0, 1.0};
    rc = swr_set_matrix(d_->swr, both, 1);
  }
  if (rc < 0 || !d_->swr || swr_init(d_->swr) < 0) {
    swr_free(&d_->swr);
    return false;
  }
  return true;
}

size_t AudioResampler::outputBytesFor(size_t inBytes) const {
  if (!d_->swr) return 0;
  const int64_t frames = static_cast<int64_t>(inBytes / static_cast<size_t>(frameBytes(d_->in)));
  const int64_t outFrames = swr_get_out_samples(d_->swr, static_cast<int>(frames));
  return outFrames > 0 ? static_cast<size_t>(outFrames) * static_cast<size_t>(frameBytes(d_->out)) : 0;
}

size_t AudioResampler::convert(const uint8_t* in, size_t inBytes, uint8_t* out, size_t outSize) {
  if (!d_->swr || !in || !out) return 0;
  const int inFrames = static_cast<int>(inBytes / static_cast<size_t>(frameBytes(d_->in)));
  const int outCapacity = static_cast<int>(outSize / static_cast<size_t>(frameBytes(d_->out)));
  const uint8_t* src[1] = {in};
  uint8_t* dst[1] = {out};
  const int n = swr_convert(d_->swr, dst, outCapacity, src, inFrames);
  return n > 0 ? static_cast<size_t>(n) * static_cast<size_t>(frameBytes(d_->out)) : 0;
}

}  // namespace vistrel::platform::media
