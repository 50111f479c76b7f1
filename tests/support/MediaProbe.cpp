#include "support/MediaProbe.h"

#include <QFile>
#include <algorithm>
#include <cmath>

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

std::vector<ProbedPacket> probePackets(const QString& path) {
  std::vector<ProbedPacket> packets;
  AVFormatContext* context = nullptr;
  if (avformat_open_input(&context, QFile::encodeName(path).constData(), nullptr, nullptr) < 0)
    return packets;
  if (avformat_find_stream_info(context, nullptr) < 0) {
    avformat_close_input(&context);
    return packets;
  }
  AVPacket* packet = av_packet_alloc();
  while (av_read_frame(context, packet) >= 0) {
    if (packet->stream_index >= 0 && static_cast<unsigned>(packet->stream_index) < context->nb_streams) {
      const AVStream* st = context->streams[packet->stream_index];
      ProbedPacket p;
      p.stream = packet->stream_index;
      p.position = packet->pos;
      const int64_t when = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
      const int64_t origin = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;
      p.seconds = when == AV_NOPTS_VALUE ? -1 : (when - origin) * av_q2d(st->time_base);
      p.size = packet->size;
      packets.push_back(p);
    }
    av_packet_unref(packet);
  }
  av_packet_free(&packet);
  avformat_close_input(&context);
  // Demuxers may hand packets out in time order rather than file order.
  std::stable_sort(packets.begin(), packets.end(),
                   [](const ProbedPacket& a, const ProbedPacket& b) { return a.position < b.position; });
  return packets;
}

std::vector<std::vector<uint8_t>> probeVideoFrames(const QString& path, int limit) {
  std::vector<std::vector<uint8_t>> frames;
  AVFormatContext* context = nullptr;
  if (avformat_open_input(&context, QFile::encodeName(path).constData(), nullptr, nullptr) < 0) return frames;
  if (avformat_find_stream_info(context, nullptr) >= 0) {
    const int video = av_find_best_stream(context, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    AVPacket* packet = av_packet_alloc();
    while (static_cast<int>(frames.size()) < limit && av_read_frame(context, packet) >= 0) {
      if (packet->stream_index == video && packet->size > 0)
        frames.emplace_back(packet->data, packet->data + packet->size);
      av_packet_unref(packet);
    }
    av_packet_free(&packet);
  }
  avformat_close_input(&context);
  return frames;
}

ProbedDrift probeSoundDrift(const QString& path, double frameSeconds, double upTo) {
  ProbedDrift d;
  const ProbedFile f = probeMedia(path, false);
  int video = -1, sound = -1;
  for (size_t i = 0; i < f.streams.size(); ++i) {
    if (f.streams[i].type == AVMEDIA_TYPE_VIDEO && video < 0) video = static_cast<int>(i);
    if (f.streams[i].type == AVMEDIA_TYPE_AUDIO && sound < 0) sound = static_cast<int>(i);
  }
  if (video < 0 || sound < 0) return d;
  const auto& a = f.streams[static_cast<size_t>(sound)];
  const double bytesPerSecond = 2.0 * a.channels * a.sampleRate;
  if (bytesPerSecond <= 0) return d;
  int64_t soundBytes = 0;
  for (const ProbedPacket& p : probePackets(path)) {
    if (p.stream == sound) soundBytes += p.size;
    if (p.stream != video || p.seconds < 0 || p.seconds + frameSeconds > upTo) continue;
    ++d.frames;
    const double drift = static_cast<double>(soundBytes) / bytesPerSecond - p.seconds;
    if (std::abs(drift) > std::abs(d.worst)) {
      d.worst = drift;
      d.at = p.seconds;
    }
  }
  return d;
}

}  // namespace vistrel::testing
