#include "platform/media/filters/FileWriter.h"

#include <gtest/gtest.h>

#include <QFile>

#include "platform/media/FilterGraph.h"
#include "platform/media/IStream.h"
#include "platform/media/TestFilters.h"
#include "support/TempRoot.h"

using namespace vistrel::platform::media;
using vistrel::testing::PushSource;
using vistrel::testing::StopLog;

namespace {
std::shared_ptr<IPin> firstPin(const std::shared_ptr<IBaseFilter>& f) {
  std::shared_ptr<IEnumPins> e;
  f->EnumPins(e);
  return e->all().at(0);
}

// A sink-side helper filter upstream of the writer that patches the file through the writer's
// IStream during its own stop, as a WAV writer writes its header.
class HeaderPatcher : public PushSource {
 public:
  using PushSource::PushSource;
  std::shared_ptr<IPin> writerPin;
  HRESULT patch = E_FAIL;

 protected:
  HRESULT onStop() override {
    auto stream = interfaceOf<IStream>(writerPin);
    if (!stream) return E_NOINTERFACE;
    stream->Seek(0, STREAM_SEEK_SET, nullptr);
    uint32_t written = 0;
    patch = stream->Write("HDR", 3, &written);
    return S_OK;
  }
};
}  // namespace

TEST(FileWriter, ByteStreamSamplesLandAtTheirOffsetsAndStopLeavesACompleteFile) {
  vistrel::testing::TempRoot root;
  const QString path = root.file("out.bin");
  auto g = FilterGraph::create();
  auto src = std::make_shared<HeaderPatcher>(
      std::vector<MediaType>{MediaType(MEDIATYPE_Stream, GUID_NULL, FORMAT_None)}, 64);
  auto writer = FileWriter::create();
  auto sink = interfaceOf<IFileSinkFilter>(writer);
  ASSERT_TRUE(sink);
  EXPECT_EQ(sink->SetFileName(QString(), nullptr), E_INVALIDARG);
  ASSERT_EQ(sink->SetFileName(path, nullptr), S_OK);
  g->AddFilter(src, "src");
  g->AddFilter(writer, "writer");
  src->writerPin = firstPin(writer);
  ASSERT_EQ(g->ConnectDirect(src->outPin(), src->writerPin, nullptr), S_OK);
  ASSERT_EQ(g->Run(), S_OK);
  ASSERT_EQ(src->push({'a', 'b', 'c', 'd'}, 3), S_OK);  // start time = byte offset
  ASSERT_EQ(src->push({'x', 'y', 'z'}, 0), S_OK);
  ASSERT_EQ(g->Stop(), S_OK);
  EXPECT_EQ(src->patch, S_OK);  // the writer was still writable in the upstream stop
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), QByteArray("HDRabcd"));
  EXPECT_FALSE(static_cast<FileWriter*>(writer.get())->isOpen());  // closed when Stop returned
  QString name;
  std::optional<MediaType> type;
  sink->GetCurFile(name, type);
  EXPECT_EQ(name, path);
}

TEST(FileWriter, OtherSamplesAreAppendedAndAFailingOpenFailsTheRun) {
  vistrel::testing::TempRoot root;
  auto g = FilterGraph::create();
  auto src = std::make_shared<PushSource>(std::vector<MediaType>{MediaType::rgb24(2, 1, UNITS)}, 16);
  auto writer = FileWriter::create();
  g->AddFilter(src, "src");
  g->AddFilter(writer, "writer");
  ASSERT_EQ(g->ConnectDirect(src->outPin(), firstPin(writer), nullptr), S_OK);
  auto sink = interfaceOf<IFileSinkFilter>(writer);
  sink->SetFileName(root.file("missing-folder/x.raw"), nullptr);
  EXPECT_TRUE(FAILED(g->Run()));
  OAFilterState s;
  g->GetState(0, s);
  EXPECT_EQ(s, State_Stopped);

  sink->SetFileName(root.file("frames.raw"), nullptr);
  ASSERT_EQ(g->Run(), S_OK);
  EXPECT_EQ(sink->SetFileName(root.file("other"), nullptr), VFW_E_NOT_STOPPED);
  src->push({1, 2, 3, 4, 5, 6}, 999);
  src->push({7, 8, 9, 10, 11, 12}, 0);
  g->Stop();
  EXPECT_EQ(root.read("frames.raw"), QByteArray("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c"));
}
