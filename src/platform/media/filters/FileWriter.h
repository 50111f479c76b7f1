#pragma once
// File Writer: writes every sample it receives to one file. Byte-stream samples (MEDIATYPE_Stream)
// whose start time is set are written at that byte offset; other samples are appended. Its input
// pin also offers IStream, so that a writer upstream can patch headers (Seek, Write) during its
// own stop. Writes go straight to the file (no user-space buffer), so a later stop step can read
// or patch the file. The file opens when the graph leaves the stopped state (truncated) and
// closes in the graph's last stop phase, after every filter stopped, or on SetFileName.

#include <QString>
#include <mutex>

#include "platform/media/BaseFilter.h"
#include "platform/media/IFileSinkFilter.h"
#include "platform/media/MediaSample.h"

namespace vistrel::platform::media {

class FileWriter : public BaseFilter, public IFileSinkFilter {
 public:
  FileWriter();
  ~FileWriter() override;
  static std::shared_ptr<IBaseFilter> create();

  HRESULT SetFileName(const QString& fileName, const MediaType* type) override;
  HRESULT GetCurFile(QString& fileName, std::optional<MediaType>& type) override;
  void closeFiles() override;

  // Streaming thread (input Receive) or the user-interface thread (IStream during stop).
  HRESULT writeSample(const MediaSample& sample, bool byteStream);
  HRESULT writeAt(int64_t offset, const void* data, uint32_t size, uint32_t* written);
  HRESULT readAt(int64_t offset, void* data, uint32_t size, uint32_t* read);
  int64_t fileSize();
  bool isOpen();

 protected:
  HRESULT onPause() override;

 private:
  HRESULT openFile();
  void closeFile();

  std::mutex lock_;
  QString fileName_;
  std::optional<MediaType> fileType_;
  int fd_ = -1;
  int64_t appendAt_ = 0;
  bool writeErrorRaised_ = false;  // under lock_; once per run
};

}  // namespace vistrel::platform::media
