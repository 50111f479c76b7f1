#include "platform/media/avi/AviWriter.h"

#include <algorithm>

namespace vistrel::platform::media::avi {
namespace {

constexpr uint32_t kSuperIndexEntries = 256;  // 256 RIFFs of 1 GiB: far beyond any recording
constexpr uint32_t AVIF_HASINDEX = 0x10, AVIF_ISINTERLEAVED = 0x100, AVIF_TRUSTCKTYPE = 0x800;
constexpr uint32_t AVIIF_KEYFRAME = 0x10;
constexpr size_t kAvihSize = 56, kStrhSize = 56, kDmlhSize = 248;

uint32_t chunkIdFor(int index, StreamKind kind) {
  const char digits[2] = {static_cast<char>('0' + index / 10), static_cast<char>('0' + index % 10)};
  const char* tail = kind == StreamKind::Video ? "dc" : kind == StreamKind::Audio ? "wb" : "__";
  return static_cast<uint32_t>(static_cast<uint8_t>(digits[0])) |
         static_cast<uint32_t>(static_cast<uint8_t>(digits[1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(tail[0])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(tail[1])) << 24;
}

uint32_t indexIdFor(int index) {
  return (fourcc("ix00") & 0x0000FFFFu) | static_cast<uint32_t>('0' + index / 10) << 16 |
         static_cast<uint32_t>('0' + index % 10) << 24;
}

}  // namespace

AviWriter::~AviWriter() {
  if (sink_) close();
}

int AviWriter::addStream(const StreamFormat& format) {
  Stream s;
  s.format = format;
  s.chunkId = chunkIdFor(static_cast<int>(streams_.size()), format.kind);
  streams_.push_back(std::move(s));
  return static_cast<int>(streams_.size()) - 1;
}

void AviWriter::fail(const QString& why) {
  if (!failed_) error_ = why;
  failed_ = true;
}

bool AviWriter::put(const void* data, size_t size) {
  if (failed_) return false;
  if (!sink_->writeAt(position_, data, size)) {
    fail(sink_->errorText());
    return false;
  }
  position_ += size;
  return true;
}

bool AviWriter::putAt(uint64_t offset, const void* data, size_t size) {
  if (sink_->writeAt(offset, data, size)) return true;
  fail(sink_->errorText());
  return false;
}

bool AviWriter::put32(uint32_t v) {
  const uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                        static_cast<uint8_t>(v >> 24)};
  return put(b, 4);
}
bool AviWriter::put16(uint16_t v) {
  const uint8_t b[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
  return put(b, 2);
}
bool AviWriter::put64(uint64_t v) {
  return put32(static_cast<uint32_t>(v)) && put32(static_cast<uint32_t>(v >> 32));
}
bool AviWriter::putAt32(uint64_t offset, uint32_t v) {
  const uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                        static_cast<uint8_t>(v >> 24)};
  return putAt(offset, b, 4);
}

bool AviWriter::open(const QString& path, uint64_t riffLimit) {
  if (sink_) close();
  QString why;
  auto sink = openFileSink(path, &why);
  if (!sink) {
    error_ = why;
    return false;
  }
  return open(std::move(sink), riffLimit);
}

bool AviWriter::open(std::unique_ptr<ByteSink> sink, uint64_t riffLimit) {
  if (sink_) close();
  failed_ = false;
  error_.clear();
  position_ = 0;
  riffs_.clear();
  idx1_.clear();
  riffLimit_ = std::max<uint64_t>(riffLimit, 1 << 16);
  if (streams_.empty() || streams_.size() > 99 || !sink) {
    error_ = QStringLiteral("an AVI file needs 1 to 99 streams");
    return false;
  }
  sink_ = std::move(sink);
  for (Stream& s : streams_) {
    s.totalChunks = s.totalBytes = s.firstRiffChunks = 0;
    s.maxChunk = 0;
    s.riffEntries.clear();
    s.superEntries.clear();
  }
  if (!writeHeaders() || !startRiff(true)) {
    sink_.reset();
    return false;
  }
  return true;
}

bool AviWriter::writeHeaders() {
  riffs_.push_back(Riff{0, 0});
  put32(fourcc("RIFF")) && put32(0) && put32(fourcc("AVI "));
  const uint64_t hdrl = position_;
  put32(fourcc("LIST")) && put32(0) && put32(fourcc("hdrl"));
  put32(fourcc("avih")) && put32(kAvihSize);
  avihDataOffset_ = position_;
  const QByteArray zeros(static_cast<int>(std::max(kAvihSize, kDmlhSize)), '\0');
  put(zeros.constData(), kAvihSize);
  for (size_t i = 0; i < streams_.size(); ++i) {
    Stream& s = streams_[i];
    const uint64_t strl = position_;
    put32(fourcc("LIST")) && put32(0) && put32(fourcc("strl"));
    put32(fourcc("strh")) && put32(kStrhSize);
    s.strhDataOffset = position_;
    const uint32_t type = s.format.kind == StreamKind::Video   ? fourcc("vids")
                          : s.format.kind == StreamKind::Audio ? fourcc("auds")
                                                               : fourcc("iavs");
    put32(type) && put32(s.format.handler) && put32(0) && put16(0) && put16(0) && put32(0);
    put32(s.format.scale) && put32(s.format.rate) && put32(0) && put32(0) && put32(0);
    put32(0xFFFFFFFF) && put32(s.format.sampleSize);
    put16(0) && put16(0) && put16(static_cast<uint16_t>(s.format.width)) &&
        put16(static_cast<uint16_t>(s.format.height));
    put32(fourcc("strf")) && put32(static_cast<uint32_t>(s.format.strf.size()));
    put(s.format.strf.constData(), static_cast<size_t>(s.format.strf.size()));
    if (s.format.strf.size() % 2) put("", 1);
    // The super index is reserved now and filled at close.
    put32(fourcc("indx")) && put32(24 + 16 * kSuperIndexEntries);
    s.indxDataOffset = position_;
    const QByteArray indx(static_cast<int>(24 + 16 * kSuperIndexEntries), '\0');
    put(indx.constData(), static_cast<size_t>(indx.size()));
    putAt32(strl + 4, static_cast<uint32_t>(position_ - strl - 8));
  }
  const uint64_t odml = position_;
  put32(fourcc("LIST")) && put32(0) && put32(fourcc("odml"));
  put32(fourcc("dmlh")) && put32(kDmlhSize);
  dmlhDataOffset_ = position_;
  put(zeros.constData(), kDmlhSize);
  putAt32(odml + 4, static_cast<uint32_t>(position_ - odml - 8));
  putAt32(hdrl + 4, static_cast<uint32_t>(position_ - hdrl - 8));
  return !failed_;
}

bool AviWriter::startRiff(bool first) {
  if (!first) {
    riffs_.push_back(Riff{position_, 0});
    put32(fourcc("RIFF")) && put32(0) && put32(fourcc("AVIX"));
  }
  riffs_.back().moviOffset = position_;
  put32(fourcc("LIST")) && put32(0) && put32(fourcc("movi"));
  return !failed_;
}

bool AviWriter::writeChunk(int stream, const char* data, uint32_t size, bool keyFrame) {
  if (!sink_ || failed_ || stream < 0 || static_cast<size_t>(stream) >= streams_.size()) return false;
  Stream& s = streams_[static_cast<size_t>(stream)];
  // A new RIFF when this chunk and the indexes would take the current one past its limit.
  uint64_t pending = 0;
  for (const Stream& other : streams_) pending += 32 + 8 * (other.riffEntries.size() + 1);
  if (riffs_.size() == 1) pending += 16 * (idx1_.size() + 1);
  if (position_ - riffs_.back().offset + size + 8 + pending > riffLimit_ &&
      std::any_of(streams_.begin(), streams_.end(), [](const Stream& x) { return !x.riffEntries.empty(); })) {
    if (!finishRiff() || !startRiff(false)) return false;
  }
  const uint64_t header = position_;
  if (!put32(s.chunkId) || !put32(size) || !put(data, size) || (size % 2 && !put("", 1))) return false;
  s.riffEntries.push_back(IndexEntry{header + 8, size, keyFrame});
  if (riffs_.size() == 1) {
    idx1_.push_back(Idx1Entry{s.chunkId, keyFrame ? AVIIF_KEYFRAME : 0u,
                              static_cast<uint32_t>(header - (riffs_[0].moviOffset + 8)), size});
    ++s.firstRiffChunks;
  }
  ++s.totalChunks;
  s.totalBytes += size;
  s.maxChunk = std::max(s.maxChunk, size);
  return true;
}

uint32_t AviWriter::durationOf(const Stream& s, uint64_t chunks, uint64_t bytes) const {
  return static_cast<uint32_t>(s.format.sampleSize > 0 ? bytes / s.format.sampleSize : chunks);
}

bool AviWriter::writeStandardIndexes() {
  const uint64_t base = riffs_.back().offset;
  for (size_t i = 0; i < streams_.size(); ++i) {
    Stream& s = streams_[i];
    if (s.riffEntries.empty()) continue;
    const uint64_t start = position_;
    const uint32_t entries = static_cast<uint32_t>(s.riffEntries.size());
    QByteArray ix;
    ix.reserve(static_cast<int>(32 + 8 * entries));
    auto le32 = [&ix](uint32_t v) {
      for (int b = 0; b < 4; ++b) ix.append(static_cast<char>(v >> (8 * b)));
    };
    le32(indexIdFor(static_cast<int>(i)));
    le32(24 + 8 * entries);
    le32(2 | 0u << 16 | 1u << 24);  // wLongsPerEntry 2, sub-type 0, AVI_INDEX_OF_CHUNKS
    le32(entries);
    le32(s.chunkId);
    le32(static_cast<uint32_t>(base));
    le32(static_cast<uint32_t>(base >> 32));
    le32(0);
    uint64_t bytes = 0;
    for (const IndexEntry& e : s.riffEntries) {
      le32(static_cast<uint32_t>(e.offset - base));
      le32(e.size | (e.keyFrame ? 0u : 0x80000000u));
      bytes += e.size;
    }
    if (!put(ix.constData(), static_cast<size_t>(ix.size()))) return false;
    s.superEntries.push_back(
        SuperEntry{start, static_cast<uint32_t>(position_ - start), durationOf(s, entries, bytes)});
    s.riffEntries.clear();
  }
  return true;
}

bool AviWriter::finishRiff() {
  writeStandardIndexes();
  Riff& riff = riffs_.back();
  putAt32(riff.moviOffset + 4, static_cast<uint32_t>(position_ - riff.moviOffset - 8));
  if (riffs_.size() == 1) {
    put32(fourcc("idx1")) && put32(static_cast<uint32_t>(16 * idx1_.size()));
    QByteArray idx;
    idx.reserve(static_cast<int>(16 * idx1_.size()));
    for (const Idx1Entry& e : idx1_)
      for (uint32_t v : {e.chunkId, e.flags, e.offset, e.size})
        for (int b = 0; b < 4; ++b) idx.append(static_cast<char>(v >> (8 * b)));
    put(idx.constData(), static_cast<size_t>(idx.size()));
    idx1_.clear();
    idx1_.shrink_to_fit();
  }
  putAt32(riff.offset + 4, static_cast<uint32_t>(position_ - riff.offset - 8));
  return !failed_;
}

bool AviWriter::patchHeaders() {
  const Stream* video = nullptr;
  for (const Stream& s : streams_)
    if (s.format.kind != StreamKind::Audio) {
      video = &s;
      break;
    }
  uint32_t suggested = 0;
  for (const Stream& s : streams_) suggested = std::max(suggested, s.maxChunk + 8);
  const uint32_t microSecPerFrame =
      video && video->format.rate
          ? static_cast<uint32_t>(1000000ull * video->format.scale / video->format.rate)
          : 0;
  putAt32(avihDataOffset_ + 0, microSecPerFrame);
  putAt32(avihDataOffset_ + 12, AVIF_HASINDEX | (interleaved_ ? AVIF_ISINTERLEAVED : 0) | AVIF_TRUSTCKTYPE);
  putAt32(avihDataOffset_ + 16, video ? static_cast<uint32_t>(video->firstRiffChunks) : 0);
  putAt32(avihDataOffset_ + 24, static_cast<uint32_t>(streams_.size()));
  putAt32(avihDataOffset_ + 28, suggested);
  putAt32(avihDataOffset_ + 32, video ? static_cast<uint32_t>(video->format.width) : 0);
  putAt32(avihDataOffset_ + 36, video ? static_cast<uint32_t>(video->format.height) : 0);
  putAt32(dmlhDataOffset_, video ? static_cast<uint32_t>(video->totalChunks) : 0);
  for (const Stream& s : streams_) {
    putAt32(s.strhDataOffset + 32, durationOf(s, s.totalChunks, s.totalBytes));
    putAt32(s.strhDataOffset + 36, s.maxChunk);
    QByteArray indx;
    auto le32 = [&indx](uint32_t v) {
      for (int b = 0; b < 4; ++b) indx.append(static_cast<char>(v >> (8 * b)));
    };
    const uint32_t used =
        std::min<uint32_t>(static_cast<uint32_t>(s.superEntries.size()), kSuperIndexEntries);
    le32(4 | 0u << 16 | 0u << 24);  // wLongsPerEntry 4, AVI_INDEX_OF_INDEXES
    le32(used);
    le32(s.chunkId);
    le32(0), le32(0), le32(0);
    for (uint32_t i = 0; i < used; ++i) {
      const SuperEntry& e = s.superEntries[i];
      le32(static_cast<uint32_t>(e.offset)), le32(static_cast<uint32_t>(e.offset >> 32)), le32(e.size),
          le32(e.duration);
    }
    putAt(s.indxDataOffset, indx.constData(), static_cast<size_t>(indx.size()));
  }
  return !failed_;
}

bool AviWriter::close() {
  if (!sink_) return false;
  // After a write failure the headers are still patched in place (no extra space needed), so
  // the data that reached the disk stays readable.
  const bool wasFailed = failed_;
  failed_ = false;
  if (!wasFailed) {
    finishRiff();
  } else {
    const Riff& riff = riffs_.back();
    putAt32(riff.moviOffset + 4, static_cast<uint32_t>(position_ - riff.moviOffset - 8));
    putAt32(riff.offset + 4, static_cast<uint32_t>(position_ - riff.offset - 8));
  }
  patchHeaders();
  const bool ok = !wasFailed && !failed_ && sink_->flush();
  sink_.reset();
  failed_ = failed_ || wasFailed;
  return ok;
}

}  // namespace vistrel::platform::media::avi
