#pragma once
// A media sample: a buffer shared between sample objects plus per-object properties (lengths,
// times, media times, flags, an attached media type). A tee gives each branch its own sample
// object over the same buffer, so that a branch that strips times or drops never affects its
// siblings. The buffer goes back to its allocator's pool when the last sample holding it dies.
// A sample is used by one streaming thread at a time; it has no lock.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "platform/media/MediaType.h"
#include "platform/media/Result.h"
#include "platform/media/Unknown.h"
#include "platform/media/VideoInfoHeader.h"

namespace vistrel::platform::media {

// Bytes of slack after every sample buffer. Codec and scaler routines read whole vector words
// past the end of their input; a buffer that ended at a page boundary would fault there.
inline constexpr size_t kSampleTailSlack = 64;

// Storage of one sample buffer. Created by an allocator (or standalone for tests and tools).
class SampleBuffer {
 public:
  SampleBuffer(uint8_t* data, int32_t size) : data_(data), size_(size) {}
  virtual ~SampleBuffer() = default;
  uint8_t* data() const { return data_; }
  int32_t size() const { return size_; }

 private:
  uint8_t* data_;
  int32_t size_;
};

class MediaSample : public Unknown {
 public:
  explicit MediaSample(std::shared_ptr<SampleBuffer> buffer);
  // A standalone sample over a heap buffer of `size` bytes.
  static std::shared_ptr<MediaSample> create(int32_t size);
  // A new sample object over the same buffer with a copy of every property (a tee branch).
  std::shared_ptr<MediaSample> shareBuffer() const;

  HRESULT GetPointer(uint8_t** buffer) const;
  uint8_t* data() const { return buffer_->data(); }
  int32_t GetSize() const { return buffer_->size(); }
  int32_t GetActualDataLength() const { return actual_; }
  // VFW_E_BUFFER_OVERFLOW when the length exceeds the buffer or is negative.
  HRESULT SetActualDataLength(int32_t length);

  // S_OK with both times, VFW_S_NO_STOP_TIME with a start only, VFW_E_SAMPLE_TIME_NOT_SET.
  HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) const;
  // Null start clears both times; null stop keeps only a start.
  HRESULT SetTime(const REFERENCE_TIME* start, const REFERENCE_TIME* stop);
  HRESULT GetMediaTime(int64_t* start, int64_t* stop) const;
  HRESULT SetMediaTime(const int64_t* start, const int64_t* stop);

  HRESULT IsSyncPoint() const { return sync_ ? S_OK : S_FALSE; }
  HRESULT SetSyncPoint(bool on) {
    sync_ = on;
    return S_OK;
  }
  HRESULT IsPreroll() const { return preroll_ ? S_OK : S_FALSE; }
  HRESULT SetPreroll(bool on) {
    preroll_ = on;
    return S_OK;
  }
  HRESULT IsDiscontinuity() const { return discontinuity_ ? S_OK : S_FALSE; }
  HRESULT SetDiscontinuity(bool on) {
    discontinuity_ = on;
    return S_OK;
  }

  // S_FALSE and null when no changed type is attached; the copy belongs to the caller.
  HRESULT GetMediaType(std::optional<MediaType>& type) const;
  HRESULT SetMediaType(const MediaType* type);

  // Copies times, media times, flags, actual length and attached type (not the data).
  void copyPropertiesFrom(const MediaSample& other);
  // True when another sample object holds the same buffer: its data must not be modified.
  bool isBufferShared() const { return buffer_.use_count() > 1; }
  const std::shared_ptr<SampleBuffer>& buffer() const { return buffer_; }

 private:
  std::shared_ptr<SampleBuffer> buffer_;
  int32_t actual_ = 0;
  bool hasStart_ = false, hasStop_ = false, hasMediaStart_ = false, hasMediaStop_ = false;
  REFERENCE_TIME start_ = 0, stop_ = 0;
  int64_t mediaStart_ = 0, mediaStop_ = 0;
  bool sync_ = false, preroll_ = false, discontinuity_ = false;
  std::optional<MediaType> type_;
};

}  // namespace vistrel::platform::media
