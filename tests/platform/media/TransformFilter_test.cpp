#include "platform/media/TransformFilter.h"

#include <gtest/gtest.h>

#include "platform/media/FilterGraph.h"
#include "platform/media/TestFilters.h"
#include "platform/media/TransInPlaceFilter.h"
#include "platform/media/filters/InfTee.h"

using namespace vistrel::platform::media;
using vistrel::testing::PushSource;
using vistrel::testing::RecordingSink;

namespace {
const MediaType kIn = MediaType::rgb24(4, 2, UNITS / 25);
const GUID kClsid = makeGuid("{22222222-2222-3333-4444-555555555555}");

// Inverts every byte; drops samples whose first byte is 0xFF; logs the base's calls.
class Inverter : public TransformFilter {
 public:
  Inverter() : TransformFilter(kClsid, QStringLiteral("Inverter")) {}
  std::vector<std::string> calls;
  HRESULT CheckInputType(const MediaType& in) override {
    calls.push_back("CheckInputType");
    return in.subtype == MEDIASUBTYPE_RGB24 ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT CheckTransform(const MediaType& in, const MediaType& out) override {
    calls.push_back("CheckTransform");
    return in == out ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT DecideBufferSize(MemAllocator& a, ALLOCATOR_PROPERTIES& req) override {
    calls.push_back("DecideBufferSize");
    ALLOCATOR_PROPERTIES want = req, got;
    want.cBuffers = 2;
    want.cbBuffer = static_cast<int32_t>(inputPin()->currentMediaType().lSampleSize);
    HRESULT hr = a.SetProperties(want, got);
    return FAILED(hr) ? hr : (got.cbBuffer >= want.cbBuffer ? S_OK : E_FAIL);
  }
  HRESULT GetMediaType(int pos, MediaType& t) override {
    calls.push_back("GetMediaType");
    if (pos < 0) return E_INVALIDARG;
    if (pos > 0) return VFW_S_NO_MORE_ITEMS;
    t = inputPin()->currentMediaType();
    return S_OK;
  }
  HRESULT StartStreaming() override {
    calls.push_back("StartStreaming");
    return S_OK;
  }
  HRESULT StopStreaming() override {
    calls.push_back("StopStreaming");
    return S_OK;
  }
  HRESULT Transform(MediaSample& in, MediaSample& out) override {
    calls.push_back("Transform");
    // The base copied the properties before this call.
    EXPECT_EQ(out.GetActualDataLength(), in.GetActualDataLength());
    if (in.data()[0] == 0xFF) return S_FALSE;
    for (int i = 0; i < in.GetActualDataLength(); ++i) out.data()[i] = static_cast<uint8_t>(~in.data()[i]);
    return S_OK;
  }
};

// Writes 0x55 into the first byte: it declares that it modifies data.
class Marker : public TransInPlaceFilter {
 public:
  Marker() : TransInPlaceFilter(kClsid, QStringLiteral("Marker"), true) {}
  HRESULT CheckInputType(const MediaType&) override { return S_OK; }
  HRESULT Transform(MediaSample& s) override {
    s.data()[0] = 0x55;
    return S_OK;
  }
};

std::shared_ptr<IPin> pinAt(const std::shared_ptr<IBaseFilter>& f, size_t i) {
  std::shared_ptr<IEnumPins> e;
  f->EnumPins(e);
  return e->all().at(i);
}
}  // namespace

TEST(TransformFilter, CallsTheOperationsInOrderAndCopiesProperties) {
  auto g = FilterGraph::create();
  auto src = std::make_shared<PushSource>(std::vector<MediaType>{kIn}, 64);
  auto inv = std::make_shared<Inverter>();
  auto sink = std::make_shared<RecordingSink>();
  g->AddFilter(src, "src");
  g->AddFilter(inv, "inv");
  g->AddFilter(sink, "sink");
  ASSERT_EQ(g->ConnectDirect(src->outPin(), pinAt(inv, 0), nullptr), S_OK);
  ASSERT_EQ(g->ConnectDirect(pinAt(inv, 1), sink->inPin(), nullptr), S_OK);
  ASSERT_EQ(g->Run(), S_OK);
  ASSERT_EQ(src->push({1, 2, 3}, 4000), S_OK);
  ASSERT_EQ(src->push({0xFF, 2}, 5000), S_OK);  // dropped: the stream goes on
  ASSERT_EQ(src->push({7}, 6000), S_OK);
  g->Stop();

  auto got = sink->received();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].bytes, (std::vector<uint8_t>{0xFE, 0xFD, 0xFC}));
  EXPECT_TRUE(got[0].hasTime);
  EXPECT_EQ(got[0].start, 4000);
  EXPECT_TRUE(got[0].sync);
  EXPECT_EQ(got[1].start, 6000);

  std::vector<std::string> expectedStart{"CheckInputType", "GetMediaType", "CheckTransform",
                                         "DecideBufferSize"};
  ASSERT_GE(inv->calls.size(), expectedStart.size());
  EXPECT_EQ(std::vector<std::string>(inv->calls.begin(), inv->calls.begin() + 4), expectedStart);
  auto first = std::find(inv->calls.begin(), inv->calls.end(), "StartStreaming");
  auto firstTransform = std::find(inv->calls.begin(), inv->calls.end(), "Transform");
  EXPECT_LT(first, firstTransform);
  EXPECT_EQ(inv->calls.back(), "StopStreaming");
}

TEST(TransformFilter, OutputOffersNothingUntilTheInputConnects) {
  auto inv = std::make_shared<Inverter>();
  std::shared_ptr<IEnumMediaTypes> types;
  pinAt(inv, 1)->EnumMediaTypes(types);
  EXPECT_TRUE(types->all().empty());
  auto g = FilterGraph::create();
  auto src = std::make_shared<PushSource>(std::vector<MediaType>{MediaType::pcm(8000, 1, 8)});
  g->AddFilter(src, "src");
  g->AddFilter(inv, "inv");
  EXPECT_EQ(g->ConnectDirect(src->outPin(), pinAt(inv, 0), nullptr), VFW_E_NO_ACCEPTABLE_TYPES);
}

TEST(TransInPlaceFilter, ModifyingFilterGetsAWritableCopyOfASharedBuffer) {
  // source -> tee -> (marker -> sink A, sink B): the marker must not change what B sees.
  auto g = FilterGraph::create();
  auto src = std::make_shared<PushSource>(std::vector<MediaType>{kIn}, 64);
  auto tee = InfTee::create();
  auto marker = std::make_shared<Marker>();
  auto a = std::make_shared<RecordingSink>(), b = std::make_shared<RecordingSink>();
  for (auto [f, n] : {std::pair<std::shared_ptr<IBaseFilter>, const char*>{src, "src"},
                      {tee, "tee"},
                      {marker, "m"},
                      {a, "a"},
                      {b, "b"}})
    g->AddFilter(f, n);
  ASSERT_EQ(g->ConnectDirect(src->outPin(), pinAt(tee, 0), nullptr), S_OK);
  ASSERT_EQ(g->ConnectDirect(pinAt(tee, 1), pinAt(marker, 0), nullptr), S_OK);
  ASSERT_EQ(g->ConnectDirect(pinAt(marker, 1), a->inPin(), nullptr), S_OK);
  ASSERT_EQ(g->ConnectDirect(pinAt(tee, 2), b->inPin(), nullptr), S_OK);
  g->Run();
  ASSERT_EQ(src->push({9, 9, 9}), S_OK);
  g->Stop();
  ASSERT_EQ(a->received().size(), 1u);
  ASSERT_EQ(b->received().size(), 1u);
  EXPECT_EQ(a->received()[0].bytes, (std::vector<uint8_t>{0x55, 9, 9}));
  EXPECT_EQ(b->received()[0].bytes, (std::vector<uint8_t>{9, 9, 9}));
}
