#include "platform/media/filters/SampleGrabber.h"

#include <gtest/gtest.h>

#include <optional>

#include "platform/media/FilterGraph.h"
#include "platform/media/TestFilters.h"

using namespace vistrel::platform::media;
using vistrel::testing::PushSource;
using vistrel::testing::RecordingSink;

namespace {
std::shared_ptr<IPin> pinAt(const std::shared_ptr<IBaseFilter>& f, size_t i) {
  std::shared_ptr<IEnumPins> e;
  f->EnumPins(e);
  return i < e->all().size() ? e->all()[i] : nullptr;
}

const MediaType kRgb = MediaType::rgb24(8, 4, UNITS / 25);
const MediaType kYuy2 =
    MediaType::video(MEDIASUBTYPE_YUY2, 8, 4, 16, makeFourcc('Y', 'U', 'Y', '2'), UNITS / 25);
}  // namespace

// The grabber's input takes only the type set with SetMediaType, fields left empty acting as
// wildcards; a connection of any other type is refused, directly or with the type named.
TEST(SampleGrabber, AConnectionOfAnotherTypeIsRefused) {
  const struct Case {
    const char* name;
    std::optional<MediaType> restriction;
    MediaType offered;
    bool accepted;
  } cases[] = {
      {"no restriction", std::nullopt, kYuy2, true},
      {"the whole type", kRgb, kRgb, true},
      {"the whole type, another size", kRgb, MediaType::rgb24(16, 4, UNITS / 25), false},
      {"video RGB24", MediaType(MEDIATYPE_Video, MEDIASUBTYPE_RGB24), kRgb, true},
      {"video RGB24, YUY2 offered", MediaType(MEDIATYPE_Video, MEDIASUBTYPE_RGB24), kYuy2, false},
      {"any video", MediaType(MEDIATYPE_Video, GUID_NULL), kYuy2, true},
      {"sound only", MediaType(MEDIATYPE_Audio, GUID_NULL), kRgb, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto g = FilterGraph::create();
    auto src = std::make_shared<PushSource>(std::vector<MediaType>{c.offered});
    auto grabber = std::make_shared<SampleGrabber>();
    if (c.restriction) grabber->SetMediaType(*c.restriction);
    g->AddFilter(src, "src");
    g->AddFilter(grabber, "grabber");
    auto in = pinAt(grabber, 0);
    EXPECT_EQ(in->QueryAccept(c.offered), c.accepted ? S_OK : S_FALSE);
    EXPECT_EQ(src->outPin()->Connect(in, &c.offered), c.accepted ? S_OK : VFW_E_TYPE_NOT_ACCEPTED);
    if (!c.accepted) {
      EXPECT_EQ(g->ConnectDirect(src->outPin(), in, nullptr), VFW_E_NO_ACCEPTABLE_TYPES);
      std::shared_ptr<IPin> peer;
      EXPECT_EQ(in->ConnectedTo(peer), VFW_E_NOT_CONNECTED);
      MediaType none;
      EXPECT_EQ(grabber->GetConnectedMediaType(none), VFW_E_NOT_CONNECTED);
      continue;
    }
    MediaType connected;
    EXPECT_EQ(grabber->GetConnectedMediaType(connected), S_OK);
    EXPECT_EQ(connected, c.offered);
  }
}

// Intelligent connect honours the restriction: a YUY2 source reaches an RGB24 grabber through
// the Color Space Converter, and the grabber sees RGB24 samples.
TEST(SampleGrabber, IntelligentConnectConvertsToTheTypeSet) {
  auto g = FilterGraph::create();
  auto src = std::make_shared<PushSource>(std::vector<MediaType>{kYuy2});
  auto grabber = std::make_shared<SampleGrabber>();
  auto sink = std::make_shared<RecordingSink>();
  grabber->SetMediaType(MediaType(MEDIATYPE_Video, MEDIASUBTYPE_RGB24));
  grabber->SetBufferSamples(true);
  g->AddFilter(src, "src");
  g->AddFilter(grabber, "grabber");
  g->AddFilter(sink, "sink");
  ASSERT_EQ(g->Connect(src->outPin(), pinAt(grabber, 0)), S_OK);
  ASSERT_EQ(g->ConnectDirect(pinAt(grabber, 1), sink->inPin(), nullptr), S_OK);
  EXPECT_EQ(g->filters().size(), 4u);  // a converter was put in
  MediaType connected;
  ASSERT_EQ(grabber->GetConnectedMediaType(connected), S_OK);
  EXPECT_EQ(connected.subtype, MEDIASUBTYPE_RGB24);
  EXPECT_EQ(pinAt(grabber, 0)->QueryAccept(kYuy2), S_FALSE);  // nor can the source switch to YUY2

  ASSERT_EQ(g->Run(), S_OK);
  ASSERT_EQ(src->push(std::vector<uint8_t>(8 * 4 * 2, 0x80)), S_OK);
  ASSERT_EQ(g->Stop(), S_OK);
  std::vector<uint8_t> last;
  ASSERT_EQ(grabber->GetCurrentBuffer(last), S_OK);
  EXPECT_EQ(last.size(), size_t(connected.lSampleSize));
  EXPECT_EQ(sink->received().size(), 1u);
}
