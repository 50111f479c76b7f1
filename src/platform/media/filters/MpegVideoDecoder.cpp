#include "platform/media/filters/MpegVideoDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include "platform/media/FilterMapper.h"
#include "platform/media/MpegVideoInfo.h"

namespace vistrel::platform::media {

struct MpegVideoDecoder::Codec {
  AVCodecContext* context = nullptr;
  AVCodecParserContext* parser = nullptr;
  AVPacket* packet = nullptr;
  AVFrame* frame = nullptr;
  SwsContext* scaler = nullptr;
  ~Codec() { close(); }
  void close() {
    if (parser) av_parser_close(parser);
    parser = nullptr;
    avcodec_free_context(&context);
    av_packet_free(&packet);
    av_frame_free(&frame);
    sws_freeContext(scaler);
    scaler = nullptr;
  }
  bool open(bool mpeg2, const std::vector<uint8_t>& sequenceHeader) {
    close();
    const AVCodecID id = mpeg2 ? AV_CODEC_ID_MPEG2VIDEO : AV_CODEC_ID_MPEG1VIDEO;
    const AVCodec* codec = avcodec_find_decoder(id);
    if (!codec) return false;
    context = avcodec_alloc_context3(codec);
    parser = av_parser_init(id);
    packet = av_packet_alloc();
    frame = av_frame_alloc();
    if (!context || !parser || !packet || !frame) return false;
    context->thread_count = 1;
    if (!sequenceHeader.empty()) {
      context->extradata =
          static_cast<uint8_t*>(av_mallocz(sequenceHeader.size() + AV_INPUT_BUFFER_PADDING_SIZE));
      if (!context->extradata) return false;
      std::memcpy(context->extradata, sequenceHeader.data(), sequenceHeader.size());
      context->extradata_size = static_cast<int>(sequenceHeader.size());
    }
    return avcodec_open2(context, codec, nullptr) == 0;
  }
};

namespace {
bool isMpeg1(const MediaType& t) {
  return t.majortype == MEDIATYPE_Video &&
         (t.subtype == MEDIASUBTYPE_MPEG1Payload || t.subtype == MEDIASUBTYPE_MPEG1Packet ||
          t.subtype == MEDIASUBTYPE_MPEG1Video) &&
         t.formattype == FORMAT_MPEGVideo;
}
bool isMpeg2(const MediaType& t) {
  return t.majortype == MEDIATYPE_Video && t.subtype == MEDIASUBTYPE_MPEG2_VIDEO &&
         t.formattype == FORMAT_MPEG2Video;
}
}  // namespace

MpegVideoDecoder::MpegVideoDecoder(bool mpeg2)
    : TransformFilter(
          mpeg2 ? CLSID_Mpeg2VideoDecoder : CLSID_Mpeg1VideoDecoder,
          mpeg2 ? QStringLiteral("MPEG-2 Video Decoder") : QStringLiteral("MPEG-1 Video Decoder")),
      mpeg2_(mpeg2),
      codec_(std::make_unique<Codec>()) {}

MpegVideoDecoder::~MpegVideoDecoder() = default;

std::shared_ptr<IBaseFilter> MpegVideoDecoder::createMpeg1() {
  return std::make_shared<MpegVideoDecoder>(false);
}
std::shared_ptr<IBaseFilter> MpegVideoDecoder::createMpeg2() {
  return std::make_shared<MpegVideoDecoder>(true);
}

HRESULT MpegVideoDecoder::CheckInputType(const MediaType& in) {
  if (!(mpeg2_ ? isMpeg2(in) : isMpeg1(in))) return VFW_E_TYPE_NOT_ACCEPTED;
  const auto bmi = in.bitmapHeader();
  if (!bmi || bmi->biWidth <= 0 || bmi->biWidth > 4095 || bmi->biHeight == 0 ||
      std::abs(bmi->biHeight) > 4095)
    return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT MpegVideoDecoder::GetMediaType(int position, MediaType& type) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0 || !inputPin()->isConnected()) return VFW_S_NO_MORE_ITEMS;
  const MediaType& in = inputPin()->currentMediaType();
  const auto bmi = in.bitmapHeader();
  if (!bmi) return VFW_S_NO_MORE_ITEMS;
  type = MediaType::rgb24(bmi->biWidth, std::abs(bmi->biHeight), in.averageTimePerFrame());
  return S_OK;
}

HRESULT MpegVideoDecoder::CheckTransform(const MediaType& in, const MediaType& out) {
  if (FAILED(CheckInputType(in)) || out.majortype != MEDIATYPE_Video || out.subtype != MEDIASUBTYPE_RGB24)
    return VFW_E_TYPE_NOT_ACCEPTED;
  const auto bin = in.bitmapHeader();
  const auto bout = out.bitmapHeader();
  if (!bout || bout->biBitCount != 24) return VFW_E_TYPE_NOT_ACCEPTED;
  return bout->biWidth == bin->biWidth && bout->biHeight == std::abs(bin->biHeight) ? S_OK
                                                                                    : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT MpegVideoDecoder::DecideBufferSize(MemAllocator& allocator, ALLOCATOR_PROPERTIES& request) {
  const auto bmi = outputPin()->currentMediaType().bitmapHeader();
  if (!bmi) return E_UNEXPECTED;
  request.cBuffers = std::max<int32_t>(request.cBuffers, 3);
  request.cbBuffer = static_cast<int32_t>(dibRowBytes(bmi->biWidth, 24)) * bmi->biHeight;
  ALLOCATOR_PROPERTIES actual;
  const HRESULT hr = allocator.SetProperties(request, actual);
  if (FAILED(hr)) return hr;
  return actual.cbBuffer < request.cbBuffer ? E_FAIL : S_OK;
}

HRESULT MpegVideoDecoder::StartStreaming() {
  return codec_->open(mpeg2_, mpegSequenceHeader(inputPin()->currentMediaType())) ? S_OK : E_FAIL;
}

HRESULT MpegVideoDecoder::StopStreaming() {
  codec_->close();
  return S_OK;
}

// Pictures are produced in Receive, which may complete several or none per input sample.
HRESULT MpegVideoDecoder::Transform(MediaSample&, MediaSample&) { return E_UNEXPECTED; }

HRESULT MpegVideoDecoder::Receive(const std::shared_ptr<MediaSample>& in) {
  BaseOutputPin* out = outputPin();
  Codec& c = *codec_;
  if (!c.context) return VFW_E_WRONG_STATE;
  const auto bmi = out->currentMediaType().bitmapHeader();
  if (!bmi) return S_OK;
  const int width = bmi->biWidth, height = bmi->biHeight;
  const int stride = static_cast<int>(dibRowBytes(width, 24));
  const REFERENCE_TIME frameTime = out->currentMediaType().averageTimePerFrame();
  REFERENCE_TIME start = 0, stop = 0;
  const bool timed = in->GetTime(&start, &stop) == S_OK || in->GetTime(&start, &stop) == VFW_S_NO_STOP_TIME;

  auto deliverPictures = [&]() -> HRESULT {
    while (avcodec_receive_frame(c.context, c.frame) == 0) {
      const int64_t pts = c.frame->best_effort_timestamp;
      if (c.frame->decode_error_flags || c.frame->width <= 0 || !out->isConnected()) {
        if (c.frame->decode_error_flags) ++dropped_;
        av_frame_unref(c.frame);
        continue;
      }
      std::shared_ptr<MediaSample> sample;
      HRESULT hr = out->GetDeliveryBuffer(sample);
      if (FAILED(hr) || sample->GetSize() < stride * height) {
        av_frame_unref(c.frame);
        return hr == VFW_E_NOT_COMMITTED ? S_FALSE : S_OK;
      }
      c.scaler = sws_getCachedContext(c.scaler, c.frame->width, c.frame->height,
                                      static_cast<AVPixelFormat>(c.frame->format), width, height,
                                      AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr, nullptr, nullptr);
      if (!c.scaler) {
        av_frame_unref(c.frame);
        return E_FAIL;
      }
      // Bottom-up rows: start at the last row and walk backwards.
      uint8_t* dst[1] = {sample->data() + static_cast<size_t>(stride) * static_cast<size_t>(height - 1)};
      const int dstStride[1] = {-stride};
      sws_scale(c.scaler, c.frame->data, c.frame->linesize, 0, c.frame->height, dst, dstStride);
      av_frame_unref(c.frame);
      sample->SetActualDataLength(stride * height);
      sample->SetSyncPoint(true);
      if (pts != AV_NOPTS_VALUE) {
        REFERENCE_TIME s = pts, e = pts + (frameTime > 0 ? frameTime : 400000);
        sample->SetTime(&s, &e);
      }
      ++decoded_;
      hr = out->Deliver(sample);
      if (FAILED(hr)) return hr;
    }
    return S_OK;
  };

  // The parser cuts the stream into pictures whatever the samples' cut, and hands each picture
  // the time of the sample it started in; a picture is complete when the next one starts.
  const uint8_t* data = in->data();
  int remaining = std::min(std::max(0, in->GetActualDataLength()), in->GetSize());
  const int64_t pts = timed ? start : AV_NOPTS_VALUE;
  while (remaining > 0) {
    uint8_t* piece = nullptr;
    int pieceSize = 0;
    const int used = av_parser_parse2(c.parser, c.context, &piece, &pieceSize, data, remaining, pts, pts, 0);
    if (used <= 0 && pieceSize == 0) break;
    data += std::max(0, used);
    remaining -= std::max(0, used);
    if (pieceSize > 0) {
      c.packet->data = piece;
      c.packet->size = pieceSize;
      c.packet->pts = c.parser->pts;
      c.packet->dts = c.parser->dts;
      if (avcodec_send_packet(c.context, c.packet) < 0) ++dropped_;
      const HRESULT hr = deliverPictures();
      if (FAILED(hr)) return hr;
    }
  }
  return S_OK;
}

void registerMpegVideoDecoders(FilterMapper& mapper) {
  const RegPinType rgb{MEDIATYPE_Video, MEDIASUBTYPE_RGB24};
  mapper.RegisterFilter({CLSID_Mpeg1VideoDecoder,
                         QStringLiteral("MPEG-1 Video Decoder"),
                         MERIT_NORMAL,
                         CLSID_LegacyAmFilterCategory,
                         {{PINDIR_INPUT,
                           false,
                           {{MEDIATYPE_Video, MEDIASUBTYPE_MPEG1Payload},
                            {MEDIATYPE_Video, MEDIASUBTYPE_MPEG1Packet},
                            {MEDIATYPE_Video, MEDIASUBTYPE_MPEG1Video}},
                           GUID_NULL},
                          {PINDIR_OUTPUT, false, {rgb}, GUID_NULL}},
                         &MpegVideoDecoder::createMpeg1});
  mapper.RegisterFilter({CLSID_Mpeg2VideoDecoder,
                         QStringLiteral("MPEG-2 Video Decoder"),
                         MERIT_NORMAL,
                         CLSID_LegacyAmFilterCategory,
                         {{PINDIR_INPUT, false, {{MEDIATYPE_Video, MEDIASUBTYPE_MPEG2_VIDEO}}, GUID_NULL},
                          {PINDIR_OUTPUT, false, {rgb}, GUID_NULL}},
                         &MpegVideoDecoder::createMpeg2});
}

}  // namespace vistrel::platform::media
