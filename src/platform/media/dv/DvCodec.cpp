#include "platform/media/dv/DvCodec.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <cstring>

namespace vistrel::platform::media::dv {
namespace {

QString averror(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return QString::fromLocal8Bit(text);
}

int dvHeight(System s) { return s == System::Pal ? 576 : 480; }
// DV25 stores PAL as 4:2:0 and NTSC as 4:1:1.
AVPixelFormat dvPixelFormat(System s) { return s == System::Pal ? AV_PIX_FMT_YUV420P : AV_PIX_FMT_YUV411P; }

}  // namespace

bool systemOfFrameSize(size_t bytes, System& system) {
  if (bytes == kPalFrameBytes)
    system = System::Pal;
  else if (bytes == kNtscFrameBytes)
    system = System::Ntsc;
  else
    return false;
  return true;
}

DvEncoder::DvEncoder() = default;
DvEncoder::~DvEncoder() { release(); }

void DvEncoder::release() {
  avcodec_free_context(&context_);
  av_frame_free(&yuv_);
  av_packet_free(&packet_);
  sws_freeContext(scaler_);
  scaler_ = nullptr;
}

bool DvEncoder::open(System system) {
  release();
  system_ = system;
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_DVVIDEO);
  if (!codec) {
    error_ = QStringLiteral("no DV encoder in libavcodec");
    return false;
  }
  context_ = avcodec_alloc_context3(codec);
  context_->width = 720;
  context_->height = dvHeight(system);
  context_->pix_fmt = dvPixelFormat(system);
  context_->time_base = system == System::Pal ? AVRational{1, 25} : AVRational{1001, 30000};
  context_->sample_aspect_ratio = system == System::Pal ? AVRational{16, 15} : AVRational{8, 9};
  const int opened = avcodec_open2(context_, codec, nullptr);
  if (opened < 0) {
    error_ = averror(opened);
    release();
    return false;
  }
  yuv_ = av_frame_alloc();
  yuv_->format = context_->pix_fmt;
  yuv_->width = context_->width;
  yuv_->height = context_->height;
  av_frame_get_buffer(yuv_, 0);
  packet_ = av_packet_alloc();
  return true;
}

bool DvEncoder::encode(const RgbPicture& picture, std::span<uint8_t> frame) {
  if (!context_ || frame.size() < frameBytes(system_) || !picture.data || picture.width <= 0 ||
      picture.height <= 0 || picture.stride < picture.width * 3)
    return false;
  if (!scaler_ || scalerWidth_ != picture.width || scalerHeight_ != picture.height) {
    sws_freeContext(scaler_);
    scaler_ = sws_getContext(picture.width, picture.height, AV_PIX_FMT_BGR24, context_->width,
                             context_->height, context_->pix_fmt, SWS_BILINEAR, nullptr, nullptr, nullptr);
    scalerWidth_ = picture.width;
    scalerHeight_ = picture.height;
    if (!scaler_) return false;
  }
  // Bottom-up rows: start at the last row and walk backwards.
  const uint8_t* top = picture.data + static_cast<ptrdiff_t>(picture.height - 1) * picture.stride;
  const uint8_t* planes[1] = {top};
  const int strides[1] = {-picture.stride};
  if (av_frame_make_writable(yuv_) < 0) return false;
  sws_scale(scaler_, planes, strides, 0, picture.height, yuv_->data, yuv_->linesize);
  int sent = avcodec_send_frame(context_, yuv_);
  if (sent < 0) {
    error_ = averror(sent);
    return false;
  }
  const int received = avcodec_receive_packet(context_, packet_);
  if (received < 0) {
    error_ = averror(received);
    return false;
  }
  const bool whole = static_cast<size_t>(packet_->size) == frameBytes(system_);
  if (whole) std::memcpy(frame.data(), packet_->data, frameBytes(system_));
  av_packet_unref(packet_);
  return whole;
}

DvDecoder::DvDecoder() {
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_DVVIDEO);
  if (!codec) return;
  context_ = avcodec_alloc_context3(codec);
  if (avcodec_open2(context_, codec, nullptr) < 0) avcodec_free_context(&context_);
  picture_ = av_frame_alloc();
  packet_ = av_packet_alloc();
}

DvDecoder::~DvDecoder() {
  avcodec_free_context(&context_);
  av_frame_free(&picture_);
  av_packet_free(&packet_);
  sws_freeContext(scaler_);
}

bool DvDecoder::decode(std::span<const uint8_t> frame, uint8_t* out, int width, int height, int stride) {
  System system;
  if (!context_ || !out || width <= 0 || height <= 0 || !systemOfFrameSize(frame.size(), system))
    return false;
  // libavcodec reads the packet with padding after it: hand it a padded copy.
  if (av_new_packet(packet_, static_cast<int>(frame.size())) < 0) return false;
  std::memcpy(packet_->data, frame.data(), frame.size());
  const int sent = avcodec_send_packet(context_, packet_);
  av_packet_unref(packet_);
  if (sent < 0) {
    error_ = averror(sent);
    return false;
  }
  const int received = avcodec_receive_frame(context_, picture_);
  if (received < 0) {
    error_ = averror(received);
    return false;
  }
  scaler_ = sws_getCachedContext(scaler_, picture_->width, picture_->height,
                                 static_cast<AVPixelFormat>(picture_->format), width, height,
                                 AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (!scaler_) return false;
  uint8_t* planes[1] = {out + static_cast<ptrdiff_t>(height - 1) * stride};
  const int strides[1] = {-stride};
  sws_scale(scaler_, picture_->data, picture_->linesize, 0, picture_->height, planes, strides);
  av_frame_unref(picture_);
  return true;
}

}  // namespace vistrel::platform::media::dv
