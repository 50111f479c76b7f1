#pragma once
// Where a file writer's bytes go: a file of its own, or the seekable stream a downstream file
// writer offers. Writes are positioned and go straight through (nothing is buffered here).

#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace vistrel::platform::media::avi {

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Writes all `size` bytes at `offset`; false (with errorText) when they could not all be written.
  virtual bool writeAt(uint64_t offset, const void* data, size_t size) = 0;
  // Makes what was written durable; false on failure.
  virtual bool flush() = 0;
  virtual QString errorText() const = 0;
};

// A file created (truncated) at `path`; null with `error` set when it cannot be created.
std::unique_ptr<ByteSink> openFileSink(const QString& path, QString* error);

}  // namespace vistrel::platform::media::avi
