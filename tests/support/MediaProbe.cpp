#include "support/MediaProbe.h"

#include <QFile>

namespace vistrel::testing {

ProbedFile probeMedia(const QString& path, bool readPackets) {
  ProbedFile result;
  AVFormatContext* context = nullptr;
  if (avformat_open_input(&context, QFile::encodeName(path).constData(), nullptr, nullptr) < 0) return result;
  if (avformat_find_stream_info(context, nullptr) < 0) {
    avformat_close_input(&context);
    return result;
  }
  result.opened = true;
  result.format = QString::fromLatin1(context->iformat->name);
  result.durationSeconds =
      context->duration == AV_NOPTS_VALUE ? -1 : context->duration / double(AV_TIME_BASE);
  for (unsigned i = 0; i < context->nb_streams; ++i) {
    const AVStream* st = context->streams[i];
    ProbedStream s;
    s.type = st->codecpar->codec_type;
    s.codec = st->codecpar->codec_id;
    s.codecTag = st->codecpar->codec_tag;
    s.width = st->codecpar->width;
    s.height = st->codecpar->height;
    s.sampleRate = st->codecpar->sample_rate;
    s.channels = st->codecpar->ch_layout.nb_channels;
    s.durationSeconds = st->duration == AV_NOPTS_VALUE ? -1 : st->duration * av_q2d(st->time_base);
    result.streams.push_back(s);
  }
  if (readPackets) {
    AVPacket* packet = av_packet_alloc();
    while (av_read_frame(context, packet) >= 0) {
      if (packet->stream_index >= 0 && static_cast<size_t>(packet->stream_index) < result.streams.size()) {
        ++result.streams[static_cast<size_t>(packet->stream_index)].packets;
        result.streams[static_cast<size_t>(packet->stream_index)].bytes += packet->size;
      }
      av_packet_unref(packet);
    }
    av_packet_free(&packet);
  }
  avformat_close_input(&context);
  return result;
}

}  // namespace vistrel::testing
