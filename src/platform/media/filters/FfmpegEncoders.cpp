#include "platform/media/filters/FfmpegEncoders.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace vistrel::platform::media {

namespace {

AVCodecID videoCodecId(VideoCodec c) {
  switch (c) {
    case VideoCodec::Mpeg4: return AV_CODEC_ID_MPEG4;
    case VideoCodec::MsMpeg4v3: return AV_CODEC_ID_MSMPEG4V3;
    case VideoCodec::Wmv1: return AV_CODEC_ID_WMV1;
    case VideoCodec::Wmv2: return AV_CODEC_ID_WMV2;
    case VideoCodec::Mpeg1: return AV_CODEC_ID_MPEG1VIDEO;
    case VideoCodec::Mpeg2: return AV_CODEC_ID_MPEG2VIDEO;
  }
  return AV_CODEC_ID_NONE;
}

AVCodecID audioCodecId(AudioCodec c) {
  switch (c) {
    case AudioCodec::Wmav1: return AV_CODEC_ID_WMAV1;
    case AudioCodec::Wmav2: return AV_CODEC_ID_WMAV2;
    case AudioCodec::Mp2: return AV_CODEC_ID_MP2;
  }
  return AV_CODEC_ID_NONE;
}

// The input layout of an uncompressed video type.
struct VideoLayout {
  AVPixelFormat format = AV_PIX_FMT_NONE;
  int width = 0, height = 0;
  bool bottomUp = false;
  bool swapChroma = false;  // YV12: V before U
  int32_t size = 0;
};

std::optional<VideoLayout> layoutOf(const MediaType& type) {
  if (type.majortype != MEDIATYPE_Video) return std::nullopt;
  auto bmi = type.bitmapHeader();
  if (!bmi) return std::nullopt;
  VideoLayout l;
  l.width = bmi->biWidth;
  l.height = std::abs(bmi->biHeight);
  if (l.width <= 0 || l.height <= 0 || l.width > 16384 || l.height > 16384) return std::nullopt;
  const int64_t w = l.width, h = l.height;
  const GUID& s = type.subtype;
  if (s == MEDIASUBTYPE_RGB24) {
    l.format = AV_PIX_FMT_BGR24;
    l.bottomUp = bmi->biHeight > 0;
    l.size = static_cast<int32_t>(dibRowBytes(l.width, 24) * h);
  } else if (s == MEDIASUBTYPE_RGB32) {
    l.format = AV_PIX_FMT_BGR0;
    l.bottomUp = bmi->biHeight > 0;
    l.size = static_cast<int32_t>(w * 4 * h);
  } else if (s == MEDIASUBTYPE_YUY2) {
    l.format = AV_PIX_FMT_YUYV422;
    l.size = static_cast<int32_t>(w * 2 * h);
  } else if (s == MEDIASUBTYPE_UYVY) {
    l.format = AV_PIX_FMT_UYVY422;
    l.size = static_cast<int32_t>(w * 2 * h);
  } else if (s == MEDIASUBTYPE_I420 || s == MEDIASUBTYPE_YV12) {
    if (l.width % 2 || l.height % 2) return std::nullopt;
    l.format = AV_PIX_FMT_YUV420P;
    l.swapChroma = s == MEDIASUBTYPE_YV12;
    l.size = static_cast<int32_t>(w * h * 3 / 2);
  } else if (s == MEDIASUBTYPE_NV12) {
    if (l.width % 2 || l.height % 2) return std::nullopt;
    l.format = AV_PIX_FMT_NV12;
    l.size = static_cast<int32_t>(w * h * 3 / 2);
  } else {
    return std::nullopt;
  }
  return l;
}

// Plane pointers and strides of one input frame.
void planesOf(const VideoLayout& l, const uint8_t* data, const uint8_t* planes[4], int strides[4]) {
  std::fill_n(planes, 4, nullptr);
  std::fill_n(strides, 4, 0);
  const int w = l.width, h = l.height;
  switch (l.format) {
    case AV_PIX_FMT_BGR24:
    case AV_PIX_FMT_BGR0: {
      const int stride = l.format == AV_PIX_FMT_BGR24 ? static_cast<int>(dibRowBytes(w, 24)) : w * 4;
      planes[0] = l.bottomUp ? data + static_cast<ptrdiff_t>(stride) * (h - 1) : data;
      strides[0] = l.bottomUp ? -stride : stride;
      break;
    }
    case AV_PIX_FMT_YUYV422:
    case AV_PIX_FMT_UYVY422:
      planes[0] = data;
      strides[0] = w * 2;
      break;
    case AV_PIX_FMT_YUV420P: {
      const uint8_t* u = data + static_cast<ptrdiff_t>(w) * h;
      const uint8_t* v = u + static_cast<ptrdiff_t>(w / 2) * (h / 2);
      planes[0] = data;
      planes[1] = l.swapChroma ? v : u;
      planes[2] = l.swapChroma ? u : v;
      strides[0] = w;
      strides[1] = strides[2] = w / 2;
      break;
    }
    case AV_PIX_FMT_NV12:
      planes[0] = data;
      planes[1] = data + static_cast<ptrdiff_t>(w) * h;
      strides[0] = strides[1] = w;
      break;
    default: break;
  }
}

AVRational timeBaseOf(REFERENCE_TIME frameDuration) {
  int num = 0, den = 0;
  av_reduce(&num, &den, frameDuration, UNITS, 65535);
  return AVRational{num, den};
}

bool validVideoSettings(const VideoEncoderSettings& s) {
  const int maxSide = (s.codec == VideoCodec::Mpeg1 || s.codec == VideoCodec::Mpeg2) ? 4095 : 4096;
  if (s.width < 16 || s.height < 16 || s.width > maxSide || s.height > maxSide) return false;
  if (s.width % 2 || s.height % 2) return false;
  if (s.frameDuration < 10000 || s.frameDuration > 10 * UNITS) return false;  // 1000 fps .. 1 per 10 s
  if (s.bitrate < 0 || (s.bitrate > 0 && s.bitrate < 8000) || s.bitrate > 200'000'000) return false;
  if (s.bitrate == 0 && (s.quality < 1 || s.quality > 31)) return false;
  if (s.keyInterval < 1 || s.maxBFrames < 0 || s.maxBFrames > 4) return false;
  return true;
}

AVCodecContext* openVideoContext(const VideoEncoderSettings& s) {
  if (!validVideoSettings(s)) return nullptr;
  const AVCodec* codec = avcodec_find_encoder(videoCodecId(s.codec));
  if (!codec) return nullptr;
  AVCodecContext* ctx = avcodec_alloc_context3(codec);
  if (!ctx) return nullptr;
  ctx->width = s.width;
  ctx->height = s.height;
  ctx->pix_fmt = AV_PIX_FMT_YUV420P;
  ctx->time_base = timeBaseOf(s.frameDuration);
  ctx->framerate = AVRational{ctx->time_base.den, ctx->time_base.num};
  ctx->gop_size = s.keyInterval;
  ctx->max_b_frames = s.maxBFrames;
  ctx->thread_count = std::max(1, s.threads);
  ctx->sample_aspect_ratio = AVRational{1, 1};
  if (s.fourcc) ctx->codec_tag = s.fourcc;
  if (s.bitrate > 0) {
    ctx->bit_rate = s.bitrate;
    ctx->bit_rate_tolerance = static_cast<int>(std::min<int64_t>(s.bitrate, INT32_MAX / 2));
  } else {
    ctx->flags |= AV_CODEC_FLAG_QSCALE;
    ctx->global_quality = FF_QP2LAMBDA * s.quality;
  }
  if (s.codec == VideoCodec::Mpeg1 || s.codec == VideoCodec::Mpeg2) {
    // Decoders need room for a whole picture at the peak rate.
    const int64_t rate = s.bitrate > 0 ? s.bitrate : 8'000'000;
    ctx->rc_buffer_size = static_cast<int>(std::min<int64_t>(rate, 9'781'248));
    ctx->rc_max_rate = s.bitrate > 0 ? s.bitrate * 3 / 2 : 0;
  }
  if (avcodec_open2(ctx, codec, nullptr) < 0) {
    avcodec_free_context(&ctx);
    return nullptr;
  }
  return ctx;
}

void collect(AVCodecContext* ctx, AVPacket* pkt, std::vector<EncodedPacket>& out) {
  while (avcodec_receive_packet(ctx, pkt) == 0) {
    EncodedPacket p;
    p.data.assign(pkt->data, pkt->data + pkt->size);
    p.pts = pkt->pts;
    p.dts = pkt->dts;
    p.key = (pkt->flags & AV_PKT_FLAG_KEY) != 0;
    out.push_back(std::move(p));
    av_packet_unref(pkt);
  }
}

}  // namespace

bool isSupportedVideoInput(const MediaType& type) { return layoutOf(type).has_value(); }

struct VideoEncoder::Impl {
  AVCodecContext* ctx = nullptr;
  SwsContext* sws = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* pkt = nullptr;
  VideoLayout layout;
  ~Impl() { release(); }
  void release() {
    avcodec_free_context(&ctx);
    sws_freeContext(sws);
    sws = nullptr;
    av_frame_free(&frame);
    av_packet_free(&pkt);
  }
};

VideoEncoder::VideoEncoder() : d_(std::make_unique<Impl>()) {}
VideoEncoder::~VideoEncoder() = default;

HRESULT VideoEncoder::check(const VideoEncoderSettings& settings) {
  AVCodecContext* ctx = openVideoContext(settings);
  if (!ctx) return E_INVALIDARG;
  avcodec_free_context(&ctx);
  return S_OK;
}

HRESULT VideoEncoder::open(const VideoEncoderSettings& settings, const MediaType& input) {
  close();
  auto layout = layoutOf(input);
  if (!layout) return VFW_E_TYPE_NOT_ACCEPTED;
  AVCodecContext* ctx = openVideoContext(settings);
  if (!ctx) return E_INVALIDARG;
  d_->ctx = ctx;
  d_->layout = *layout;
  d_->sws = sws_getContext(layout->width, layout->height, layout->format, settings.width, settings.height,
                           AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
  d_->frame = av_frame_alloc();
  d_->pkt = av_packet_alloc();
  if (!d_->sws || !d_->frame || !d_->pkt) {
    close();
    return E_OUTOFMEMORY;
  }
  d_->frame->format = AV_PIX_FMT_YUV420P;
  d_->frame->width = settings.width;
  d_->frame->height = settings.height;
  if (av_frame_get_buffer(d_->frame, 0) < 0) {
    close();
    return E_OUTOFMEMORY;
  }
  settings_ = settings;
  return S_OK;
}

void VideoEncoder::close() { d_->release(); }
bool VideoEncoder::isOpen() const { return d_->ctx != nullptr; }
const AVCodecContext* VideoEncoder::context() const { return d_->ctx; }
int32_t VideoEncoder::inputFrameSize() const { return d_->layout.size; }

std::vector<uint8_t> VideoEncoder::extradata() const {
  if (!d_->ctx || !d_->ctx->extradata) return {};
  return std::vector<uint8_t>(d_->ctx->extradata, d_->ctx->extradata + d_->ctx->extradata_size);
}

HRESULT VideoEncoder::encode(const uint8_t* data, int32_t length, int64_t index,
                             std::vector<EncodedPacket>& out) {
  if (!d_->ctx) return VFW_E_WRONG_STATE;
  if (!data || length < d_->layout.size) return E_INVALIDARG;
  if (av_frame_make_writable(d_->frame) < 0) return E_OUTOFMEMORY;
  const uint8_t* planes[4];
  int strides[4];
  planesOf(d_->layout, data, planes, strides);
  sws_scale(d_->sws, planes, strides, 0, d_->layout.height, d_->frame->data, d_->frame->linesize);
  d_->frame->pts = index;
  d_->frame->pict_type = AV_PICTURE_TYPE_NONE;
  if (settings_.bitrate == 0) d_->frame->quality = d_->ctx->global_quality;
  if (avcodec_send_frame(d_->ctx, d_->frame) < 0) return E_FAIL;
  collect(d_->ctx, d_->pkt, out);
  return S_OK;
}

HRESULT VideoEncoder::flush(std::vector<EncodedPacket>& out) {
  if (!d_->ctx) return S_FALSE;
  if (avcodec_send_frame(d_->ctx, nullptr) < 0) return S_FALSE;  // already drained
  collect(d_->ctx, d_->pkt, out);
  return S_OK;
}

// ---------------------------------------------------------------------------------------------

namespace {

bool validAudioSettings(const AudioEncoderSettings& s) {
  return s.sampleRate >= 8000 && s.sampleRate <= 48000 && s.channels >= 1 && s.channels <= 2 &&
         s.bitrate >= 8000 && s.bitrate <= 640000;
}

AVCodecContext* openAudioContext(const AudioEncoderSettings& s) {
  if (!validAudioSettings(s)) return nullptr;
  const AVCodec* codec = avcodec_find_encoder(audioCodecId(s.codec));
  if (!codec) return nullptr;
  AVCodecContext* ctx = avcodec_alloc_context3(codec);
  if (!ctx) return nullptr;
  ctx->sample_rate = static_cast<int>(s.sampleRate);
  av_channel_layout_default(&ctx->ch_layout, s.channels);
  ctx->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
  ctx->bit_rate = s.bitrate;
  ctx->time_base = AVRational{1, static_cast<int>(s.sampleRate)};
  if (codec->supported_samplerates) {
    bool ok = false;
    for (const int* r = codec->supported_samplerates; *r; ++r) ok = ok || *r == ctx->sample_rate;
    if (!ok) {
      avcodec_free_context(&ctx);
      return nullptr;
    }
  }
  if (avcodec_open2(ctx, codec, nullptr) < 0) {
    avcodec_free_context(&ctx);
    return nullptr;
  }
  return ctx;
}

}  // namespace

struct AudioEncoder::Impl {
  AVCodecContext* ctx = nullptr;
  SwrContext* swr = nullptr;
  AVAudioFifo* fifo = nullptr;
  AVFrame* frame = nullptr;
  AVPacket* pkt = nullptr;
  AVSampleFormat inFormat = AV_SAMPLE_FMT_S16;
  int inChannels = 0;
  int inBytesPerFrame = 0;
  int64_t nextPts = 0;
  std::vector<uint8_t*> scratch;  // converted planes
  int scratchSamples = 0;
  ~Impl() { release(); }
  void release() {
    avcodec_free_context(&ctx);
    swr_free(&swr);
    if (fifo) av_audio_fifo_free(fifo);
    fifo = nullptr;
    av_frame_free(&frame);
    av_packet_free(&pkt);
    freeScratch();
    nextPts = 0;
  }
  void freeScratch() {
    if (!scratch.empty() && scratch[0]) av_freep(&scratch[0]);
    scratch.clear();
    scratchSamples = 0;
  }
  HRESULT encodeFrames(bool drainAll, std::vector<EncodedPacket>& out) {
    const int n = ctx->frame_size > 0 ? ctx->frame_size : 1152;
    while (av_audio_fifo_size(fifo) >= n || (drainAll && av_audio_fifo_size(fifo) > 0)) {
      if (av_frame_make_writable(frame) < 0) return E_OUTOFMEMORY;
      const int have = std::min(n, av_audio_fifo_size(fifo));
      av_audio_fifo_read(fifo, reinterpret_cast<void**>(frame->data), have);
      if (have < n)
        av_samples_set_silence(frame->data, have, n - have, ctx->ch_layout.nb_channels, ctx->sample_fmt);
      frame->pts = nextPts;
      nextPts += n;
      if (avcodec_send_frame(ctx, frame) < 0) return E_FAIL;
      collect(ctx, pkt, out);
    }
    return S_OK;
  }
};

AudioEncoder::AudioEncoder() : d_(std::make_unique<Impl>()) {}
AudioEncoder::~AudioEncoder() = default;

HRESULT AudioEncoder::check(const AudioEncoderSettings& settings) {
  AVCodecContext* ctx = openAudioContext(settings);
  if (!ctx) return E_INVALIDARG;
  avcodec_free_context(&ctx);
  return S_OK;
}

HRESULT AudioEncoder::open(const AudioEncoderSettings& settings, const WAVEFORMATEX& input) {
  close();
  if (input.wFormatTag != WAVE_FORMAT_PCM && input.wFormatTag != 0xFFFE) return VFW_E_TYPE_NOT_ACCEPTED;
  if ((input.wBitsPerSample != 8 && input.wBitsPerSample != 16) || input.nChannels < 1 ||
      input.nChannels > 8 || input.nSamplesPerSec < 1000 || input.nSamplesPerSec > 192000)
    return VFW_E_TYPE_NOT_ACCEPTED;
  AVCodecContext* ctx = openAudioContext(settings);
  if (!ctx) return E_INVALIDARG;
  d_->ctx = ctx;
  d_->inFormat = input.wBitsPerSample == 8 ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16;
  d_->inChannels = input.nChannels;
  d_->inBytesPerFrame = input.nChannels * input.wBitsPerSample / 8;
  AVChannelLayout inLayout;
  av_channel_layout_default(&inLayout, input.nChannels);
  int rc = swr_alloc_set_opts2(&d_->swr, &ctx->ch_layout, ctx->sample_fmt, ctx->sample_rate, &inLayout,
                               d_->inFormat, static_cast<int>(input.nSamplesPerSec), 0, nullptr);
  av_channel_layout_uninit(&inLayout);
  if (rc < 0 || swr_init(d_->swr) < 0) {
    close();
    return E_FAIL;
  }
  const int n = ctx->frame_size > 0 ? ctx->frame_size : 1152;
  d_->fifo = av_audio_fifo_alloc(ctx->sample_fmt, ctx->ch_layout.nb_channels, n * 4);
  d_->frame = av_frame_alloc();
  d_->pkt = av_packet_alloc();
  if (!d_->fifo || !d_->frame || !d_->pkt) {
    close();
    return E_OUTOFMEMORY;
  }
  d_->frame->format = ctx->sample_fmt;
  d_->frame->nb_samples = n;
  d_->frame->sample_rate = ctx->sample_rate;
  av_channel_layout_copy(&d_->frame->ch_layout, &ctx->ch_layout);
  if (av_frame_get_buffer(d_->frame, 0) < 0) {
    close();
    return E_OUTOFMEMORY;
  }
  settings_ = settings;
  return S_OK;
}

void AudioEncoder::close() { d_->release(); }
bool AudioEncoder::isOpen() const { return d_->ctx != nullptr; }
const AVCodecContext* AudioEncoder::context() const { return d_->ctx; }
int AudioEncoder::frameSize() const {
  return d_->ctx && d_->ctx->frame_size > 0 ? d_->ctx->frame_size : 1152;
}
int AudioEncoder::blockAlign() const { return d_->ctx ? d_->ctx->block_align : 0; }

HRESULT AudioEncoder::encode(const uint8_t* pcm, int32_t bytes, std::vector<EncodedPacket>& out) {
  if (!d_->ctx) return VFW_E_WRONG_STATE;
  if (bytes <= 0) return S_OK;
  if (!pcm) return E_POINTER;
  const int inSamples = bytes / d_->inBytesPerFrame;
  if (inSamples <= 0) return S_OK;
  const int outMax = swr_get_out_samples(d_->swr, inSamples);
  if (outMax > d_->scratchSamples) {
    d_->freeScratch();
    d_->scratch.assign(static_cast<size_t>(d_->ctx->ch_layout.nb_channels), nullptr);
    if (av_samples_alloc(d_->scratch.data(), nullptr, d_->ctx->ch_layout.nb_channels, outMax,
                         d_->ctx->sample_fmt, 0) < 0) {
      d_->scratch.clear();
      return E_OUTOFMEMORY;
    }
    d_->scratchSamples = outMax;
  }
  const uint8_t* in[1] = {pcm};
  const int got = swr_convert(d_->swr, d_->scratch.data(), outMax, in, inSamples);
  if (got < 0) return E_FAIL;
  if (got > 0 && av_audio_fifo_write(d_->fifo, reinterpret_cast<void**>(d_->scratch.data()), got) < got)
    return E_OUTOFMEMORY;
  return d_->encodeFrames(false, out);
}

HRESULT AudioEncoder::flush(std::vector<EncodedPacket>& out) {
  if (!d_->ctx) return S_FALSE;
  // What the resampler still holds, then the partial frame, then the codec's delay.
  if (d_->scratchSamples > 0) {
    const int got = swr_convert(d_->swr, d_->scratch.data(), d_->scratchSamples, nullptr, 0);
    if (got > 0) av_audio_fifo_write(d_->fifo, reinterpret_cast<void**>(d_->scratch.data()), got);
  }
  HRESULT hr = d_->encodeFrames(true, out);
  if (FAILED(hr)) return hr;
  if (avcodec_send_frame(d_->ctx, nullptr) < 0) return S_FALSE;
  collect(d_->ctx, d_->pkt, out);
  return S_OK;
}

const char* codecLibraryIdent() { return LIBAVCODEC_IDENT; }
unsigned codecLibraryVersion() { return avcodec_version(); }

}  // namespace vistrel::platform::media
