#include "platform/media/dv/DvInterleave.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
}

#include <cstring>

namespace vistrel::platform::media::dv {
namespace {

QString averror(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return QString::fromLocal8Bit(text);
}

// A read-only, seekable view of one frame for the demuxer.
struct MemoryView {
  const uint8_t* data;
  int64_t size;
  int64_t position = 0;
};

int readView(void* opaque, uint8_t* buffer, int size) {
  auto* view = static_cast<MemoryView*>(opaque);
  const int64_t left = view->size - view->position;
  if (left <= 0) return AVERROR_EOF;
  const int n = static_cast<int>(std::min<int64_t>(left, size));
  std::memcpy(buffer, view->data + view->position, static_cast<size_t>(n));
  view->position += n;
  return n;
}

int64_t seekView(void* opaque, int64_t offset, int whence) {
  auto* view = static_cast<MemoryView*>(opaque);
  if (whence == AVSEEK_SIZE) return view->size;
  const int64_t base = (whence & 3) == SEEK_CUR ? view->position : (whence & 3) == SEEK_END ? view->size : 0;
  const int64_t target = base + offset;
  if (target < 0 || target > view->size) return -1;
  view->position = target;
  return target;
}

}  // namespace

bool DvSplitter::split(std::span<const uint8_t> frame, SplitFrame& out) {
  if (frame.size() != kPalFrameBytes && frame.size() != kNtscFrameBytes) {
    error_ = QStringLiteral("not a whole DV frame");
    return false;
  }
  MemoryView view{frame.data(), static_cast<int64_t>(frame.size())};
  constexpr int kBufferSize = 32768;
  auto* buffer = static_cast<uint8_t*>(av_malloc(kBufferSize));
  AVIOContext* io = avio_alloc_context(buffer, kBufferSize, 0, &view, &readView, nullptr, &seekView);
  AVFormatContext* context = avformat_alloc_context();
  context->pb = io;
  context->flags |= AVFMT_FLAG_CUSTOM_IO;
  const AVInputFormat* dvFormat = av_find_input_format("dv");
  bool ok = false;
  int opened = avformat_open_input(&context, nullptr, dvFormat, nullptr);
  if (opened >= 0) {
    out.video.clear();
    out.audio.clear();
    out.audioStreams.clear();
    // The DV demuxer creates its sound streams while it reads, so the table grows as they come.
    std::vector<int> audioIndex;
    AVPacket* packet = av_packet_alloc();
    while (av_read_frame(context, packet) >= 0) {
      const AVStream* st = context->streams[packet->stream_index];
      if (st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
        out.video.assign(packet->data, packet->data + packet->size);
      } else if (st->codecpar->codec_type == AVMEDIA_TYPE_AUDIO && packet->size > 0) {
        if (audioIndex.size() <= static_cast<size_t>(packet->stream_index))
          audioIndex.resize(static_cast<size_t>(packet->stream_index) + 1, -1);
        int& index = audioIndex[static_cast<size_t>(packet->stream_index)];
        if (index < 0) {
          index = static_cast<int>(out.audio.size());
          out.audio.emplace_back();
          out.audioStreams.push_back({st->codecpar->sample_rate, st->codecpar->ch_layout.nb_channels});
        }
        const auto* samples = reinterpret_cast<const int16_t*>(packet->data);
        auto& target = out.audio[static_cast<size_t>(index)];
        target.insert(target.end(), samples, samples + packet->size / 2);
      }
      av_packet_unref(packet);
    }
    av_packet_free(&packet);
    ok = !out.video.empty();
    if (!ok) error_ = QStringLiteral("no video in the frame");
    avformat_close_input(&context);
  } else {
    error_ = averror(opened);
    avformat_free_context(context);
  }
  av_freep(&io->buffer);
  avio_context_free(&io);
  return ok;
}

bool DvMuxer::open(System system, int sampleRate, int bits) {
  close();
  system_ = system;
  sampleRate_ = sampleRate;
  videoCount_ = 0;
  ready_.clear();
  format_ = AudioFormat{sampleRate, bits};
  if (sampleRate != 0 && !isWritable(format_)) {
    error_ = QStringLiteral("DV sound is 16-bit at 48 000, 44 100 or 32 000 Hz, or 12-bit at 32 000 Hz");
    return false;
  }
  open_ = true;
  return true;
}

void DvMuxer::close() {
  waitingVideo_.clear();
  waitingAudio_.clear();
  open_ = false;
}

bool DvMuxer::addAudio(std::span<const int16_t> samples) {
  if (!open_ || sampleRate_ == 0 || samples.empty()) return false;
  waitingAudio_.insert(waitingAudio_.end(), samples.begin(), samples.end());
  packReady(false);
  // Sound that runs on with no pictures to carry it: only the newest seconds are kept.
  const size_t most = static_cast<size_t>(kMostWaitingSoundSeconds) * static_cast<size_t>(sampleRate_) * 2;
  if (waitingAudio_.size() > most)
    waitingAudio_.erase(
        waitingAudio_.begin(),
        waitingAudio_.begin() + static_cast<ptrdiff_t>((waitingAudio_.size() - most) & ~size_t{1}));
  return true;
}

bool DvMuxer::addVideo(std::span<const uint8_t> frame) {
  if (!open_ || frame.size() != frameBytes(system_)) return false;
  waitingVideo_.emplace_back(frame.begin(), frame.end());
  packReady(false);
  return true;
}

void DvMuxer::flush() {
  if (open_) packReady(true);
}

void DvMuxer::packReady(bool everything) {
  // A second of pictures: 25 or 30 frames.
  const size_t mostWaitingFrames = system_ == System::Pal ? 25 : 30;
  std::vector<int16_t> sound;
  while (!waitingVideo_.empty()) {
    std::vector<uint8_t> frame;
    if (sampleRate_ == 0) {
      frame = std::move(waitingVideo_.front());
    } else {
      const auto wanted = static_cast<size_t>(samplesInFrame(system_, sampleRate_, videoCount_)) * 2;
      if (waitingAudio_.size() < wanted && waitingVideo_.size() <= mostWaitingFrames && !everything) return;
      const size_t taken = std::min(wanted, waitingAudio_.size() & ~size_t{1});
      sound.assign(waitingAudio_.begin(), waitingAudio_.begin() + static_cast<ptrdiff_t>(taken));
      sound.resize(wanted, 0);
      waitingAudio_.erase(waitingAudio_.begin(), waitingAudio_.begin() + static_cast<ptrdiff_t>(taken));
      frame = std::move(waitingVideo_.front());
      writeFrameAudio(frame, system_, format_, sound);
    }
    waitingVideo_.pop_front();
    ready_.push_back(std::move(frame));
    ++videoCount_;
  }
}

std::vector<std::vector<uint8_t>> DvMuxer::takeFrames() {
  std::vector<std::vector<uint8_t>> frames;
  frames.swap(ready_);
  return frames;
}

}  // namespace vistrel::platform::media::dv
