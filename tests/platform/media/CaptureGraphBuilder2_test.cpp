#include "platform/media/CaptureGraphBuilder2.h"

#include <gtest/gtest.h>

#include "platform/media/FilterMapper.h"
#include "platform/media/IAMDroppedFrames.h"
#include "platform/media/IAMStreamConfig.h"
#include "platform/media/SystemDeviceEnum.h"
#include "platform/media/TestFilters.h"
#include "platform/media/TransformFilter.h"
#include "platform/media/filters/InfTee.h"
#include "platform/media/filters/NullRenderer.h"

using namespace vistrel::platform::media;
using vistrel::testing::PushSource;
using vistrel::testing::RecordingSink;

namespace {
const MediaType kVideo = MediaType::rgb24(4, 2, UNITS / 25);
const MediaType kAudio = MediaType::pcm(44100, 2, 16);

// A filter with a marker interface, to find through the builder.
class IMarker : public virtual Unknown {
 public:
  virtual int id() = 0;
};

class MarkedSource : public PushSource, public IMarker {
 public:
  MarkedSource(int i, std::vector<MediaType> t) : PushSource(std::move(t)), i_(i) {}
  int id() override { return i_; }

 private:
  int i_;
};

std::vector<std::shared_ptr<IPin>> pins(const std::shared_ptr<IBaseFilter>& f) {
  std::shared_ptr<IEnumPins> e;
  f->EnumPins(e);
  return e->all();
}

// A converter from a private video subtype to RGB24, registered in the mapper for the
// intelligent-connect tests.
const GUID kOddSubtype = makeGuid("{33333333-0000-0010-8000-00AA00389B71}");
const GUID kConverterClsid = makeGuid("{44444444-2222-3333-4444-555555555555}");
class OddToRgb : public TransformFilter {
 public:
  OddToRgb() : TransformFilter(kConverterClsid, QStringLiteral("Odd converter")) {}
  HRESULT CheckInputType(const MediaType& in) override {
    return in.subtype == kOddSubtype ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT CheckTransform(const MediaType& in, const MediaType& out) override {
    return in.subtype == kOddSubtype && out == kVideo ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT DecideBufferSize(MemAllocator& a, ALLOCATOR_PROPERTIES&) override {
    ALLOCATOR_PROPERTIES got;
    return a.SetProperties({2, 64, 1, 0}, got);
  }
  HRESULT GetMediaType(int pos, MediaType& t) override {
    if (pos < 0) return E_INVALIDARG;
    if (pos > 0) return VFW_S_NO_MORE_ITEMS;
    t = kVideo;
    return S_OK;
  }
  HRESULT Transform(MediaSample&, MediaSample&) override { return S_OK; }
};

MediaType oddType() {
  MediaType t = kVideo;
  t.subtype = kOddSubtype;
  return t;
}

struct Builder {
  std::shared_ptr<FilterGraph> g = FilterGraph::create();
  std::shared_ptr<CaptureGraphBuilder2> b = CaptureGraphBuilder2::create();
  Builder() { b->SetFiltergraph(g); }
};
}  // namespace

TEST(CaptureGraphBuilder2, FindPinCountsOnlyMatchingPins) {
  Builder t;
  auto tee = InfTee::create();
  auto src = std::make_shared<PushSource>(std::vector<MediaType>{kVideo});
  t.g->AddFilter(src, "src");
  t.g->AddFilter(tee, "tee");
  std::shared_ptr<IPin> pin;
  EXPECT_EQ(t.b->FindPin(tee, PINDIR_OUTPUT, nullptr, &MEDIATYPE_Video, true, 0, pin),
            E_FAIL);  // offers nothing yet
  ASSERT_EQ(t.g->ConnectDirect(src->outPin(), pins(tee)[0], nullptr), S_OK);
  auto sink = std::make_shared<RecordingSink>();
  t.g->AddFilter(sink, "sink");
  ASSERT_EQ(t.g->ConnectDirect(pins(tee)[1], sink->inPin(), nullptr), S_OK);

  struct Case {
    PIN_DIRECTION dir;
    const GUID* type;
    bool unconnected;
    int index;
    int expectedPin;  // index in EnumPins order, -1 = failure
  } cases[] = {
      {PINDIR_INPUT, nullptr, true, 0, -1},           {PINDIR_INPUT, nullptr, false, 0, 0},
      {PINDIR_OUTPUT, nullptr, false, 0, 1},          {PINDIR_OUTPUT, nullptr, false, 1, 2},
      {PINDIR_OUTPUT, nullptr, false, 2, -1},         {PINDIR_OUTPUT, nullptr, true, 0, 2},
      {PINDIR_OUTPUT, &MEDIATYPE_Video, true, 0, 2},  {PINDIR_OUTPUT, &MEDIATYPE_Audio, true, 0, -1},
      {PINDIR_OUTPUT, &MEDIATYPE_Video, false, 0, 1},
  };
  for (const auto& c : cases) {
    HRESULT hr = t.b->FindPin(tee, c.dir, nullptr, c.type, c.unconnected, c.index, pin);
    if (c.expectedPin < 0) {
      EXPECT_TRUE(FAILED(hr));
      EXPECT_EQ(pin, nullptr);
    } else {
      ASSERT_EQ(hr, S_OK);
      EXPECT_EQ(pin, pins(tee)[static_cast<size_t>(c.expectedPin)]);
    }
  }
  EXPECT_EQ(t.b->FindPin(tee, PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, nullptr, false, 0, pin), E_FAIL);
}

TEST(CaptureGraphBuilder2, FindInterfaceUpstreamOnlyExcludesTheStartFilter) {
  Builder t;
  auto far = std::make_shared<MarkedSource>(1, std::vector<MediaType>{kVideo});
  auto tee = InfTee::create();
  auto near = std::make_shared<vistrel::testing::RecordingSink>();
  t.g->AddFilter(far, "far");
  t.g->AddFilter(tee, "tee");
  ASSERT_EQ(t.g->ConnectDirect(far->outPin(), pins(tee)[0], nullptr), S_OK);
  std::shared_ptr<IMarker> m;
  EXPECT_EQ(t.b->FindInterface(&LOOK_UPSTREAM_ONLY, nullptr, far, m), E_NOINTERFACE);  // itself excluded
  EXPECT_EQ(t.b->FindInterface(&LOOK_UPSTREAM_ONLY, nullptr, std::shared_ptr<IBaseFilter>(tee), m), S_OK);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->id(), 1);
  EXPECT_EQ(t.b->FindInterface(nullptr, nullptr, far, m), S_OK);  // no category: the filter itself
  (void)near;
}

TEST(CaptureGraphBuilder2, FindInterfaceFailsWhenTheTypeExcludesEveryPin) {
  Builder t;
  auto src = std::make_shared<MarkedSource>(2, std::vector<MediaType>{kVideo});
  t.g->AddFilter(src, "src");
  src->out()->setCategory(PIN_CATEGORY_CAPTURE);
  std::shared_ptr<IMarker> m;
  // The engine tries Stream, then Interleaved, then Video: only Video may answer.
  EXPECT_TRUE(FAILED(t.b->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Stream, src, m)));
  EXPECT_TRUE(FAILED(t.b->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Interleaved, src, m)));
  EXPECT_EQ(t.b->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, src, m), S_OK);
  EXPECT_TRUE(FAILED(t.b->FindInterface(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, src, m)));
}

TEST(CaptureGraphBuilder2, RenderStreamFromAFilterThroughAnIntermediate) {
  Builder t;
  auto src = std::make_shared<PushSource>(std::vector<MediaType>{kVideo});
  auto tee = InfTee::create();
  auto sink = std::make_shared<RecordingSink>();
  t.g->AddFilter(src, "src");
  t.g->AddFilter(tee, "tee");
  t.g->AddFilter(sink, "sink");
  EXPECT_EQ(t.b->RenderStream(nullptr, &MEDIATYPE_Audio, src, tee, sink), E_FAIL);
  ASSERT_EQ(t.b->RenderStream(nullptr, &MEDIATYPE_Video, src, tee, sink), S_OK);
  std::shared_ptr<IPin> peer;
  EXPECT_EQ(sink->inPin()->ConnectedTo(peer), S_OK);
  EXPECT_EQ(peer, pins(tee)[1]);
  // Source given as a pin: the tee's spare, into a second sink.
  auto sink2 = std::make_shared<RecordingSink>();
  t.g->AddFilter(sink2, "sink2");
  EXPECT_EQ(t.b->RenderStream(nullptr, nullptr, pins(tee)[2], nullptr, sink2), S_OK);
  EXPECT_EQ(t.b->RenderStream(nullptr, nullptr, pins(tee)[1], nullptr, sink2), VFW_E_ALREADY_CONNECTED);
}

TEST(IntelligentConnect, TriesDirectFirstThenInsertsARegisteredConverter) {
  auto mapper = FilterMapper::instance();
  mapper->RegisterFilter({kConverterClsid,
                          QStringLiteral("Odd converter"),
                          MERIT_NORMAL,
                          CLSID_LegacyAmFilterCategory,
                          {{PINDIR_INPUT, false, {{MEDIATYPE_Video, kOddSubtype}}, GUID_NULL},
                           {PINDIR_OUTPUT, false, {{MEDIATYPE_Video, MEDIASUBTYPE_RGB24}}, GUID_NULL}},
                          [] { return std::make_shared<OddToRgb>(); }});
  const MediaType rgbOnly(MEDIATYPE_Video, MEDIASUBTYPE_RGB24);
  {
    Builder t;  // RGB24 straight into an RGB24 sink: nothing inserted
    auto src = std::make_shared<PushSource>(std::vector<MediaType>{kVideo});
    auto sink = std::make_shared<RecordingSink>(rgbOnly);
    t.g->AddFilter(src, "src");
    t.g->AddFilter(sink, "sink");
    ASSERT_EQ(t.g->Connect(src->outPin(), sink->inPin()), S_OK);
    EXPECT_EQ(t.g->filters().size(), 2u);
  }
  {
    Builder t;
    auto src = std::make_shared<PushSource>(std::vector<MediaType>{oddType()});
    auto sink = std::make_shared<RecordingSink>(rgbOnly);
    t.g->AddFilter(src, "src");
    t.g->AddFilter(sink, "sink");
    EXPECT_TRUE(FAILED(t.g->ConnectDirect(src->outPin(), sink->inPin(), nullptr)));
    ASSERT_EQ(t.g->Connect(src->outPin(), sink->inPin()), S_OK);
    ASSERT_EQ(t.g->filters().size(), 3u);
    GUID clsid;
    t.g->filters()[2]->GetClassID(clsid);
    EXPECT_EQ(clsid, kConverterClsid);
    // The inserted filter lies on a simple chain that RemoveChain takes out.
    EXPECT_EQ(t.g->RemoveChain(t.g->filters()[2], sink), S_OK);
    EXPECT_EQ(t.g->filters().size(), 1u);
  }
  {
    Builder t;  // no converter to audio: fails and leaves no filter behind
    auto src = std::make_shared<PushSource>(std::vector<MediaType>{oddType()});
    auto sink = std::make_shared<RecordingSink>(MediaType(MEDIATYPE_Audio, GUID_NULL));
    t.g->AddFilter(src, "src");
    t.g->AddFilter(sink, "sink");
    EXPECT_EQ(t.g->Connect(src->outPin(), sink->inPin()), VFW_E_CANNOT_CONNECT);
    EXPECT_EQ(t.g->filters().size(), 2u);
  }
  mapper->UnregisterFilter(kConverterClsid);
}

TEST(FilterMapper, EnumMatchingFiltersTreatsGuidNullAsAWildcard) {
  auto mapper = FilterMapper::instance();
  std::shared_ptr<IEnumMoniker> e;
  // Any input, any output: the tee and the grabber (renderers have no output).
  mapper->EnumMatchingFilters(e, 0, true, 0, true, {{GUID_NULL, GUID_NULL}}, nullptr, nullptr, false, true,
                              {{GUID_NULL, GUID_NULL}}, nullptr, nullptr);
  std::vector<QString> names;
  for (auto& m : e->all()) {
    QVariant v;
    m->Read(QStringLiteral("FriendlyName"), v);
    names.push_back(v.toString());
  }
  EXPECT_NE(std::find(names.begin(), names.end(), QStringLiteral("Infinite Pin Tee Filter")), names.end());
  EXPECT_EQ(std::find(names.begin(), names.end(), QStringLiteral("Null Renderer")), names.end());
  // Renderers of audio: the default sound output.
  mapper->EnumMatchingFilters(e, 0, true, 0, true, {{MEDIATYPE_Audio, GUID_NULL}}, nullptr, nullptr, true,
                              false, {}, nullptr, nullptr);
  ASSERT_FALSE(e->all().empty());
  std::shared_ptr<IBaseFilter> f;
  EXPECT_EQ(e->all()[0]->BindToObject(f), S_OK);
  std::shared_ptr<IBaseFilter> f2;
  e->all()[0]->BindToObject(f2);
  EXPECT_NE(f, f2);  // a fresh filter on each bind
  EXPECT_EQ(e->all()[0]->IsEqual(e->all()[0]), S_OK);
}

TEST(FilterMapper, AnExactSearchIsNotAnsweredByFiltersThatTakeAnyType) {
  auto mapper = FilterMapper::instance();
  auto names = [&](bool exact) {
    std::shared_ptr<IEnumMoniker> e;
    mapper->EnumMatchingFilters(e, 0, exact, 0, true, {{MEDIATYPE_Audio, MEDIASUBTYPE_PCM}}, nullptr, nullptr,
                                false, true, {{MEDIATYPE_Audio, MEDIASUBTYPE_MPEG1AudioPayload}}, nullptr,
                                nullptr);
    QStringList found;
    for (auto& m : e->all()) {
      QVariant v;
      m->Read(QStringLiteral("FriendlyName"), v);
      found << v.toString();
    }
    return found;
  };
  EXPECT_TRUE(names(false).contains(QStringLiteral("Infinite Pin Tee Filter")));
  EXPECT_FALSE(names(true).contains(QStringLiteral("Infinite Pin Tee Filter")));
  EXPECT_FALSE(names(true).contains(QStringLiteral("SampleGrabber")));
}

TEST(SystemDeviceEnum, AnEmptyCategoryAnswersSFalseWithNoEnumerator) {
  auto devs = SystemDeviceEnum::create();
  std::shared_ptr<IEnumMoniker> e;
  EXPECT_EQ(devs->CreateClassEnumerator(AM_KSCATEGORY_CROSSBAR, e), S_FALSE);
  EXPECT_EQ(e, nullptr);
  EXPECT_TRUE(devs->monikers(CLSID_VideoInputDeviceCategory).empty());  // VISTREL_DEVICES=none in tests
  EXPECT_EQ(devs->CreateClassEnumerator(CLSID_LegacyAmFilterCategory, e), S_OK);
  ASSERT_TRUE(e);
  EXPECT_FALSE(e->all().empty());
}
