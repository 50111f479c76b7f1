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

DvMuxer::DvMuxer() = default;
DvMuxer::~DvMuxer() { release(); }

void DvMuxer::release() {
  if (context_) {
    avformat_free_context(context_);
    context_ = nullptr;
  }
  if (io_) {
    av_freep(&io_->buffer);
    avio_context_free(&io_);
  }
  av_packet_free(&packet_);
}

int DvMuxer::collect(void* opaque, uint8_t* data, int size) {
  auto* self = static_cast<DvMuxer*>(opaque);
  self->pending_.insert(self->pending_.end(), data, data + size);
  const size_t bytes = frameBytes(self->system_);
  while (self->pending_.size() >= bytes) {
    self->ready_.emplace_back(self->pending_.begin(), self->pending_.begin() + static_cast<ptrdiff_t>(bytes));
    self->pending_.erase(self->pending_.begin(), self->pending_.begin() + static_cast<ptrdiff_t>(bytes));
  }
  return size;
}

bool DvMuxer::open(System system, int sampleRate, int bits) {
  release();
  system_ = system;
  sampleRate_ = sampleRate;
  videoCount_ = audioSamples_ = 0;
  pending_.clear();
  ready_.clear();
  waitingVideo_.clear();
  waitingAudio_.clear();
  format_ = AudioFormat{sampleRate, bits};
  ownPacking_ = false;
  if (sampleRate != 0 && !isWritable(format_)) {
    error_ = QStringLiteral("DV sound is 16-bit at 48 000, 44 100 or 32 000 Hz, or 12-bit at 32 000 Hz");
    return false;
  }
  if (sampleRate != 0 && (bits == 12 || sampleRate == 44100)) {
    ownPacking_ = true;
    return true;
  }
  if (avformat_alloc_output_context2(&context_, nullptr, "dv", nullptr) < 0 || !context_) {
    error_ = QStringLiteral("no DV format in libavformat");
    return false;
  }
  AVStream* video = avformat_new_stream(context_, nullptr);
  video->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
  video->codecpar->codec_id = AV_CODEC_ID_DVVIDEO;
  video->codecpar->width = 720;
  video->codecpar->height = system == System::Pal ? 576 : 480;
  video->codecpar->format = system == System::Pal ? AV_PIX_FMT_YUV420P : AV_PIX_FMT_YUV411P;
  video->codecpar->bit_rate = 25000000;
  video->time_base = system == System::Pal ? AVRational{1, 25} : AVRational{1001, 30000};
  video->avg_frame_rate = system == System::Pal ? AVRational{25, 1} : AVRational{30000, 1001};
  if (sampleRate) {
    AVStream* audio = avformat_new_stream(context_, nullptr);
    audio->codecpar->codec_type = AVMEDIA_TYPE_AUDIO;
    audio->codecpar->codec_id = AV_CODEC_ID_PCM_S16LE;
    audio->codecpar->sample_rate = sampleRate;
    av_channel_layout_default(&audio->codecpar->ch_layout, 2);
    audio->time_base = AVRational{1, sampleRate};
  }
  constexpr int kBufferSize = 32768;
  io_ = avio_alloc_context(static_cast<uint8_t*>(av_malloc(kBufferSize)), kBufferSize, 1, this, nullptr,
                           &collect, nullptr);
  context_->pb = io_;
  context_->flags |= AVFMT_FLAG_CUSTOM_IO;
  const int written = avformat_write_header(context_, nullptr);
  if (written < 0) {
    error_ = averror(written);
    release();
    return false;
  }
  packet_ = av_packet_alloc();
  return true;
}

void DvMuxer::close() {
  // Frames still waiting for their sound are dropped, as libavformat's muxer drops them.
  waitingVideo_.clear();
  waitingAudio_.clear();
  ownPacking_ = false;
  if (context_) av_write_trailer(context_);
  if (io_) avio_flush(io_);
  release();
}

bool DvMuxer::addAudio(std::span<const int16_t> samples) {
  if (ownPacking_ && !samples.empty()) {
    waitingAudio_.insert(waitingAudio_.end(), samples.begin(), samples.end());
    packReady();
    return true;
  }
  if (!context_ || sampleRate_ == 0 || samples.empty()) return false;
  if (av_new_packet(packet_, static_cast<int>(samples.size_bytes())) < 0) return false;
  std::memcpy(packet_->data, samples.data(), samples.size_bytes());
  packet_->stream_index = 1;
  packet_->pts = packet_->dts = audioSamples_;
  packet_->duration = static_cast<int64_t>(samples.size() / 2);
  audioSamples_ += packet_->duration;
  const int result = av_write_frame(context_, packet_);
  av_packet_unref(packet_);
  avio_flush(io_);
  if (result < 0) error_ = averror(result);
  return result >= 0;
}

bool DvMuxer::addVideo(std::span<const uint8_t> frame) {
  if (ownPacking_ && frame.size() == frameBytes(system_)) {
    waitingVideo_.emplace_back(frame.begin(), frame.end());
    packReady();
    return true;
  }
  if (!context_ || frame.size() != frameBytes(system_)) return false;
  if (av_new_packet(packet_, static_cast<int>(frame.size())) < 0) return false;
  std::memcpy(packet_->data, frame.data(), frame.size());
  packet_->stream_index = 0;
  packet_->pts = packet_->dts = videoCount_++;
  packet_->duration = 1;
  const int result = av_write_frame(context_, packet_);
  av_packet_unref(packet_);
  avio_flush(io_);
  if (result < 0) error_ = averror(result);
  return result >= 0;
}

void DvMuxer::packReady() {
  std::vector<int16_t> sound;
  while (!waitingVideo_.empty()) {
    const auto wanted = static_cast<size_t>(samplesInFrame(system_, sampleRate_, videoCount_)) * 2;
    // Sound that stops (a source gone quiet) holds the pictures back one second at most; the
    // frames then go out with what sound there is, the rest silent.
    constexpr size_t kMostWaitingFrames = 25;
    if (waitingAudio_.size() < wanted && waitingVideo_.size() <= kMostWaitingFrames) return;
    const size_t taken = std::min(wanted, waitingAudio_.size() & ~size_t{1});
    sound.assign(waitingAudio_.begin(), waitingAudio_.begin() + static_cast<ptrdiff_t>(taken));
    sound.resize(wanted, 0);
    waitingAudio_.erase(waitingAudio_.begin(), waitingAudio_.begin() + static_cast<ptrdiff_t>(taken));
    std::vector<uint8_t> frame = std::move(waitingVideo_.front());
    waitingVideo_.pop_front();
    writeFrameAudio(frame, system_, format_, sound);
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
