#include "platform/media/filters/ColourConversion.h"

#include <cstring>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include "platform/media/MediaGuids.h"
#include "platform/media/VideoInfoHeader.h"

namespace vistrel::platform::media {

struct ColourConversion::Impl {
  GUID subtype;
  int width = 0, height = 0;  // height as given (sign = orientation for RGB)
  AVPixelFormat format = AV_PIX_FMT_NONE;
  SwsContext* sws = nullptr;
  AVPixelFormat swsFormat = AV_PIX_FMT_NONE;
  // libswscale has fast paths from planar YUV to BGR24 but not from packed YUV or NV12, which it
  // converts several times slower: those are first split into planes (a cheap step), then
  // converted from the planes. The result is the same to within a step of rounding.
  SwsContext* stage = nullptr;
  AVPixelFormat stageFormat = AV_PIX_FMT_NONE;
  std::vector<uint8_t> planes;
  AVCodecContext* decoder = nullptr;
  AVPacket* packet = nullptr;
  AVFrame* frame = nullptr;
  // swscale may read and write a little past the ends of rows: it works on padded copies.
  std::vector<uint8_t> inCopy, outCopy;
  int outStride = 0;

  ~Impl() { reset(); }
  void reset() {
    sws_freeContext(sws);
    sws = nullptr;
    swsFormat = AV_PIX_FMT_NONE;
    sws_freeContext(stage);
    stage = nullptr;
    stageFormat = AV_PIX_FMT_NONE;
    avcodec_free_context(&decoder);
    av_packet_free(&packet);
    av_frame_free(&frame);
  }
  int absHeight() const { return height < 0 ? -height : height; }

  bool ensureScaler(AVPixelFormat from) {
    if (sws && swsFormat == from) return true;
    sws_freeContext(sws);
    // JPEG decodes to the full-range "J" formats, which libswscale wants named as the plain
    // format with a full-range source.
    AVPixelFormat plain = from;
    switch (from) {
      case AV_PIX_FMT_YUVJ420P: plain = AV_PIX_FMT_YUV420P; break;
      case AV_PIX_FMT_YUVJ422P: plain = AV_PIX_FMT_YUV422P; break;
      case AV_PIX_FMT_YUVJ444P: plain = AV_PIX_FMT_YUV444P; break;
      case AV_PIX_FMT_YUVJ440P: plain = AV_PIX_FMT_YUV440P; break;
      case AV_PIX_FMT_YUVJ411P: plain = AV_PIX_FMT_YUV411P; break;
      default: break;
    }
    sws = sws_getContext(width, absHeight(), plain, width, absHeight(), AV_PIX_FMT_BGR24, SWS_BILINEAR,
                         nullptr, nullptr, nullptr);
    if (sws && plain != from) {
      int* inTable = nullptr;
      int* outTable = nullptr;
      int inFull = 0, outFull = 0, brightness = 0, contrast = 0, saturation = 0;
      if (sws_getColorspaceDetails(sws, &inTable, &inFull, &outTable, &outFull, &brightness, &contrast,
                                   &saturation) >= 0)
        sws_setColorspaceDetails(sws, inTable, 1, outTable, outFull, brightness, contrast, saturation);
    }
    swsFormat = sws ? from : AV_PIX_FMT_NONE;
    return sws != nullptr;
  }

  // swscale writes top-down into a padded picture; rows are then stored bottom-up.
  void outputPlanes(uint8_t* dst[4], int dstStride[4]) {
    outStride = (width * 3 + 63) / 64 * 64;
    outCopy.resize(static_cast<size_t>(outStride) * static_cast<size_t>(absHeight()) + 256);
    dst[0] = outCopy.data();
    dstStride[0] = outStride;
    dst[1] = dst[2] = dst[3] = nullptr;
    dstStride[1] = dstStride[2] = dstStride[3] = 0;
  }
  void storeBottomUp(uint8_t* out) const {
    const size_t rowBytes = static_cast<size_t>(width) * 3, dibStride = dibRowBytes(width, 24);
    const int h = absHeight();
    for (int y = 0; y < h; ++y) {
      uint8_t* row = out + static_cast<size_t>(h - 1 - y) * dibStride;
      std::memcpy(row, outCopy.data() + static_cast<size_t>(y) * static_cast<size_t>(outStride), rowBytes);
      std::memset(row + rowBytes, 0, dibStride - rowBytes);
    }
  }
};

ColourConversion::ColourConversion() : d_(std::make_unique<Impl>()) {}
ColourConversion::~ColourConversion() = default;

namespace {
AVPixelFormat pixelFormat(const GUID& subtype, int bitCount) {
  if (subtype == MEDIASUBTYPE_RGB24 && bitCount == 24) return AV_PIX_FMT_BGR24;
  if (subtype == MEDIASUBTYPE_RGB32 && bitCount == 32) return AV_PIX_FMT_BGR0;
  if (subtype == MEDIASUBTYPE_YUY2) return AV_PIX_FMT_YUYV422;
  if (subtype == MEDIASUBTYPE_UYVY) return AV_PIX_FMT_UYVY422;
  if (subtype == MEDIASUBTYPE_I420 || subtype == MEDIASUBTYPE_YV12) return AV_PIX_FMT_YUV420P;
  if (subtype == MEDIASUBTYPE_NV12) return AV_PIX_FMT_NV12;
  return AV_PIX_FMT_NONE;
}
}  // namespace

bool ColourConversion::supports(const GUID& subtype, int bitCount) {
  return subtype == MEDIASUBTYPE_MJPG || pixelFormat(subtype, bitCount) != AV_PIX_FMT_NONE;
}

bool ColourConversion::configure(const GUID& subtype, int bitCount, int width, int height) {
  d_->reset();
  if (width <= 0 || height == 0 || width > 16384 || height > 16384 || height < -16384) return false;
  d_->subtype = subtype;
  d_->width = width;
  d_->height = height;
  const bool planar =
      subtype == MEDIASUBTYPE_I420 || subtype == MEDIASUBTYPE_YV12 || subtype == MEDIASUBTYPE_NV12;
  if ((planar || subtype == MEDIASUBTYPE_YUY2 || subtype == MEDIASUBTYPE_UYVY) &&
      (width % 2 || (planar && d_->absHeight() % 2)))
    return false;
  if (subtype == MEDIASUBTYPE_MJPG) {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MJPEG);
    if (!codec) return false;
    d_->decoder = avcodec_alloc_context3(codec);
    d_->packet = av_packet_alloc();
    d_->frame = av_frame_alloc();
    if (!d_->decoder || !d_->packet || !d_->frame || avcodec_open2(d_->decoder, codec, nullptr) < 0) {
      d_->reset();
      return false;
    }
    return true;
  }
  d_->format = pixelFormat(subtype, bitCount);
  if (d_->format == AV_PIX_FMT_NONE) return false;
  if (d_->format == AV_PIX_FMT_YUYV422 || d_->format == AV_PIX_FMT_UYVY422)
    d_->stageFormat = AV_PIX_FMT_YUV422P;
  else if (d_->format == AV_PIX_FMT_NV12)
    d_->stageFormat = AV_PIX_FMT_YUV420P;
  if (d_->stageFormat == AV_PIX_FMT_NONE) return d_->ensureScaler(d_->format);
  d_->stage = sws_getContext(width, d_->absHeight(), d_->format, width, d_->absHeight(), d_->stageFormat,
                             SWS_POINT, nullptr, nullptr, nullptr);
  return d_->stage && d_->ensureScaler(d_->stageFormat);
}

size_t ColourConversion::inputSize() const {
  const size_t w = static_cast<size_t>(d_->width), h = static_cast<size_t>(d_->absHeight());
  switch (d_->format) {
    case AV_PIX_FMT_BGR24: return dibRowBytes(d_->width, 24) * h;
    case AV_PIX_FMT_BGR0: return w * 4 * h;
    case AV_PIX_FMT_YUYV422:
    case AV_PIX_FMT_UYVY422: return w * 2 * h;
    case AV_PIX_FMT_YUV420P:
    case AV_PIX_FMT_NV12: return w * h * 3 / 2;
    default: return 0;
  }
}

size_t ColourConversion::outputSize() const {
  return dibRowBytes(d_->width, 24) * static_cast<size_t>(d_->absHeight());
}

bool ColourConversion::convert(const uint8_t* in, size_t inLength, uint8_t* out, size_t outSize) {
  if (!in || !out || outSize < outputSize() || d_->width <= 0) return false;
  uint8_t* dst[4];
  int dstStride[4];
  d_->outputPlanes(dst, dstStride);
  const int w = d_->width, h = d_->absHeight();

  if (d_->decoder) {
    if (inLength == 0 || inLength > (1u << 28)) return false;
    // The decoder reads a little past the end of its input: give it zeroed padding.
    d_->inCopy.assign(inLength + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    std::memcpy(d_->inCopy.data(), in, inLength);
    d_->packet->data = d_->inCopy.data();
    d_->packet->size = static_cast<int>(inLength);
    if (avcodec_send_packet(d_->decoder, d_->packet) < 0) return false;
    if (avcodec_receive_frame(d_->decoder, d_->frame) < 0) return false;
    bool ok = d_->frame->width == w && d_->frame->height == h &&
              d_->ensureScaler(static_cast<AVPixelFormat>(d_->frame->format)) &&
              sws_scale(d_->sws, d_->frame->data, d_->frame->linesize, 0, h, dst, dstStride) == h;
    av_frame_unref(d_->frame);
    if (ok) d_->storeBottomUp(out);
    return ok;
  }

  if (inLength < inputSize()) return false;
  d_->inCopy.resize(inputSize() + 256);
  std::memcpy(d_->inCopy.data(), in, inputSize());
  in = d_->inCopy.data();
  const uint8_t* src[4] = {in, nullptr, nullptr, nullptr};
  int srcStride[4] = {0, 0, 0, 0};
  const size_t ySize = static_cast<size_t>(w) * static_cast<size_t>(h);
  switch (d_->format) {
    case AV_PIX_FMT_BGR24:
    case AV_PIX_FMT_BGR0: {
      const int stride = d_->format == AV_PIX_FMT_BGR24 ? static_cast<int>(dibRowBytes(w, 24)) : w * 4;
      if (d_->height > 0) {  // bottom-up input: walk it from its last stored row
        src[0] = in + static_cast<size_t>(h - 1) * static_cast<size_t>(stride);
        srcStride[0] = -stride;
      } else {
        srcStride[0] = stride;
      }
      break;
    }
    case AV_PIX_FMT_YUYV422:
    case AV_PIX_FMT_UYVY422: srcStride[0] = w * 2; break;
    case AV_PIX_FMT_YUV420P: {
      const uint8_t* u = in + ySize;
      const uint8_t* v = u + ySize / 4;
      if (d_->subtype == MEDIASUBTYPE_YV12) std::swap(u, v);
      src[1] = u;
      src[2] = v;
      srcStride[0] = w;
      srcStride[1] = srcStride[2] = w / 2;
      break;
    }
    case AV_PIX_FMT_NV12:
      src[1] = in + ySize;
      srcStride[0] = srcStride[1] = w;
      break;
    default: return false;
  }
  if (d_->stage) {
    // Planes with rows padded to 64 bytes, and room after the last one.
    const int lumaStride = (w + 63) / 64 * 64, chromaStride = (w / 2 + 63) / 64 * 64;
    const int chromaRows = d_->stageFormat == AV_PIX_FMT_YUV420P ? h / 2 : h;
    const size_t luma = size_t(lumaStride) * size_t(h), chroma = size_t(chromaStride) * size_t(chromaRows);
    d_->planes.resize(luma + 2 * chroma + 256);
    uint8_t* planes[4] = {d_->planes.data(), d_->planes.data() + luma, d_->planes.data() + luma + chroma,
                          nullptr};
    int planeStrides[4] = {lumaStride, chromaStride, chromaStride, 0};
    if (sws_scale(d_->stage, src, srcStride, 0, h, planes, planeStrides) != h) return false;
    for (int i = 0; i < 4; ++i) {
      src[i] = planes[i];
      srcStride[i] = planeStrides[i];
    }
  }
  if (sws_scale(d_->sws, src, srcStride, 0, h, dst, dstStride) != h) return false;
  d_->storeBottomUp(out);
  return true;
}

}  // namespace vistrel::platform::media
