#include "platform/media/filters/FileWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/media/BaseInputPin.h"
#include "platform/media/GraphEvent.h"
#include "platform/media/IStream.h"

namespace vistrel::platform::media {

namespace {
class WriterInput : public BaseInputPin, public IStream {
 public:
  explicit WriterInput(FileWriter* f) : BaseInputPin(f, QStringLiteral("in")), writer_(f) {}
  HRESULT CheckMediaType(const MediaType& type) override {
    return type.majortype.isNull() ? VFW_E_TYPE_NOT_ACCEPTED : S_OK;
  }

  HRESULT Read(void* data, uint32_t size, uint32_t* read) override {
    if (!filter_) return E_UNEXPECTED;
    HRESULT hr = writer_->readAt(position_, data, size, read);
    if (SUCCEEDED(hr) && read) position_ += *read;
    return hr;
  }
  HRESULT Write(const void* data, uint32_t size, uint32_t* written) override {
    if (!filter_) return E_UNEXPECTED;
    uint32_t n = 0;
    HRESULT hr = writer_->writeAt(position_, data, size, &n);
    position_ += n;
    if (written) *written = n;
    return hr;
  }
  HRESULT Seek(int64_t move, uint32_t origin, uint64_t* newPosition) override {
    if (!filter_) return E_UNEXPECTED;
    int64_t base = origin == STREAM_SEEK_SET   ? 0
                   : origin == STREAM_SEEK_CUR ? position_
                                               : writer_->fileSize();
    if (origin > STREAM_SEEK_END || base + move < 0) return E_INVALIDARG;
    position_ = base + move;
    if (newPosition) *newPosition = static_cast<uint64_t>(position_);
    return S_OK;
  }
  HRESULT Commit(uint32_t) override { return S_OK; }

 protected:
  HRESULT receiveSample(const std::shared_ptr<MediaSample>& sample) override {
    return writer_->writeSample(*sample, currentMediaType().majortype == MEDIATYPE_Stream);
  }

 private:
  FileWriter* writer_;
  int64_t position_ = 0;  // IStream position (user-interface or streaming thread, one at a time)
};
}  // namespace

FileWriter::FileWriter() : BaseFilter(CLSID_FileWriter, QStringLiteral("File writer")) {
  addPin(std::make_shared<WriterInput>(this));
}

FileWriter::~FileWriter() { closeFile(); }

std::shared_ptr<IBaseFilter> FileWriter::create() { return std::make_shared<FileWriter>(); }

HRESULT FileWriter::SetFileName(const QString& fileName, const MediaType* type) {
  if (fileName.isEmpty()) return E_INVALIDARG;
  std::lock_guard g(lock_);
  if (state() != State_Stopped) return VFW_E_NOT_STOPPED;
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  fileName_ = fileName;
  if (type)
    fileType_ = *type;
  else
    fileType_.reset();
  return S_OK;
}

HRESULT FileWriter::GetCurFile(QString& fileName, std::optional<MediaType>& type) {
  std::lock_guard g(lock_);
  fileName = fileName_;
  type = fileType_;
  return S_OK;
}

HRESULT FileWriter::openFile() {
  std::lock_guard g(lock_);
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (fileName_.isEmpty()) return E_FAIL;
  const QByteArray path = fileName_.toLocal8Bit();
  fd_ = ::open(path.constData(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  appendAt_ = 0;
  return fd_ >= 0 ? S_OK : E_FAIL;
}

void FileWriter::closeFile() {
  std::lock_guard g(lock_);
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

HRESULT FileWriter::onPause() {
  {
    std::lock_guard g(lock_);
    writeErrorRaised_ = false;
  }
  return openFile();
}

void FileWriter::closeFiles() { closeFile(); }

bool FileWriter::isOpen() {
  std::lock_guard g(lock_);
  return fd_ >= 0;
}

HRESULT FileWriter::writeAt(int64_t offset, const void* data, uint32_t size, uint32_t* written) {
  std::lock_guard g(lock_);
  if (written) *written = 0;
  if (fd_ < 0) return E_UNEXPECTED;
  const auto* p = static_cast<const uint8_t*>(data);
  uint32_t done = 0;
  while (done < size) {
    ssize_t n = ::pwrite(fd_, p + done, size - done, offset + done);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (written) *written = done;
      return E_FAIL;
    }
    done += static_cast<uint32_t>(n);
  }
  if (offset + size > appendAt_) appendAt_ = offset + size;
  if (written) *written = done;
  return S_OK;
}

HRESULT FileWriter::readAt(int64_t offset, void* data, uint32_t size, uint32_t* read) {
  std::lock_guard g(lock_);
  if (read) *read = 0;
  if (fd_ < 0) return E_UNEXPECTED;
  ssize_t n = ::pread(fd_, data, size, offset);
  if (n < 0) return E_FAIL;
  if (read) *read = static_cast<uint32_t>(n);
  return static_cast<uint32_t>(n) == size ? S_OK : S_FALSE;
}

int64_t FileWriter::fileSize() {
  std::lock_guard g(lock_);
  struct stat st;
  if (fd_ < 0 || ::fstat(fd_, &st) != 0) return 0;
  return st.st_size;
}

HRESULT FileWriter::writeSample(const MediaSample& sample, bool byteStream) {
  int64_t offset;
  {
    std::lock_guard g(lock_);
    offset = appendAt_;
  }
  REFERENCE_TIME start = 0, stop = 0;
  if (byteStream && SUCCEEDED(sample.GetTime(&start, &stop))) offset = start;  // a byte offset here
  const int32_t length = sample.GetActualDataLength();
  if (length <= 0) return S_OK;
  const HRESULT hr = writeAt(offset, sample.data(), static_cast<uint32_t>(length), nullptr);
  if (FAILED(hr)) {
    // The last filter of its branch: a write that fails (a full disk) ends the recording, and
    // the graph's owner is told once, as the multiplexers do.
    bool first = false;
    {
      std::lock_guard g(lock_);
      first = !writeErrorRaised_ && fd_ >= 0;
      if (first) writeErrorRaised_ = true;
    }
    if (first) NotifyEvent(GraphEvent{EC_ERRORABORT, static_cast<intptr_t>(hr), 0, nullptr});
  }
  return hr;
}

}  // namespace vistrel::platform::media
