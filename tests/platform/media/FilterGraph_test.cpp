#include "platform/media/FilterGraph.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QObject>
#include <QThread>
#include <algorithm>
#include <thread>

#include "platform/media/TestFilters.h"
#include "platform/media/TransInPlaceFilter.h"
#include "platform/media/filters/FileWriter.h"
#include "platform/media/filters/InfTee.h"
#include "platform/media/filters/NullRenderer.h"
#include "support/TempRoot.h"

using namespace vistrel::platform::media;
using vistrel::testing::PushSource;
using vistrel::testing::RecordingSink;
using vistrel::testing::StopLog;

namespace {
const MediaType kVideo = MediaType::rgb24(4, 2, UNITS / 25);
const MediaType kAudio = MediaType::pcm(44100, 2, 16);

std::shared_ptr<IPin> pinAt(const std::shared_ptr<IBaseFilter>& f, size_t i) {
  std::shared_ptr<IEnumPins> e;
  f->EnumPins(e);
  return i < e->all().size() ? e->all()[i] : nullptr;
}
}  // namespace

TEST(Pins, ConnectNegotiatesReceiverTypesFirstThenOwn) {
  auto g = FilterGraph::create();
  auto src = std::make_shared<PushSource>(std::vector<MediaType>{kAudio, kVideo});
  auto sink = std::make_shared<RecordingSink>(MediaType(MEDIATYPE_Video, GUID_NULL));
  g->AddFilter(src, "src");
  g->AddFilter(sink, "sink");
  ASSERT_EQ(src->outPin()->Connect(sink->inPin(), nullptr), S_OK);
  MediaType t;
  EXPECT_EQ(sink->inPin()->ConnectionMediaType(t), S_OK);
  EXPECT_EQ(t, kVideo);
  EXPECT_EQ(src->outPin()->Connect(sink->inPin(), nullptr), VFW_E_ALREADY_CONNECTED);
}

TEST(Pins, ConnectWithPartialOrFullTypeOrNoCommonType) {
  MediaType mp3 = MediaType::pcm(44100, 2, 16);
  mp3.subtype = MEDIASUBTYPE_MPEG1AudioPayload;
  struct Case {
    std::optional<MediaType> requested;
    std::optional<MediaType> sinkAccepts;
    HRESULT expected;
  } cases[] = {
      {MediaType(MEDIATYPE_Audio, MEDIASUBTYPE_MPEG1AudioPayload), std::nullopt, S_OK},
      {MediaType(MEDIATYPE_Audio, MEDIASUBTYPE_MP3), std::nullopt, VFW_E_NO_ACCEPTABLE_TYPES},
      {mp3, std::nullopt, S_OK},
      {kVideo, std::nullopt, VFW_E_TYPE_NOT_ACCEPTED},  // a complete type the source does not give
      {std::nullopt, MediaType(MEDIATYPE_Video, GUID_NULL), VFW_E_NO_ACCEPTABLE_TYPES},
  };
  for (const auto& c : cases) {
    auto g = FilterGraph::create();
    auto src = std::make_shared<PushSource>(std::vector<MediaType>{kAudio, mp3});
    auto sink = std::make_shared<RecordingSink>(c.sinkAccepts);
    g->AddFilter(src, "src");
    g->AddFilter(sink, "sink");
    HRESULT hr = src->outPin()->Connect(sink->inPin(), c.requested ? &*c.requested : nullptr);
    EXPECT_EQ(hr, c.expected);
    MediaType t;
    if (hr == S_OK) {
      sink->inPin()->ConnectionMediaType(t);
      EXPECT_EQ(t, mp3);
    } else {
      EXPECT_EQ(sink->inPin()->ConnectionMediaType(t), VFW_E_NOT_CONNECTED);
      std::shared_ptr<IPin> peer;
      EXPECT_EQ(src->outPin()->ConnectedTo(peer), VFW_E_NOT_CONNECTED);
      EXPECT_EQ(peer, nullptr);
    }
  }
}

TEST(Pins, WrongDirectionAndOtherGraphAreRefused) {
  auto g1 = FilterGraph::create(), g2 = FilterGraph::create();
  auto a = std::make_shared<PushSource>(std::vector<MediaType>{kVideo});
  auto b = std::make_shared<RecordingSink>();
  g1->AddFilter(a, "a");
  g2->AddFilter(b, "b");
  EXPECT_EQ(a->outPin()->Connect(b->inPin(), nullptr), VFW_E_NOT_IN_GRAPH);
  EXPECT_EQ(g1->ConnectDirect(a->outPin(), b->inPin(), nullptr), VFW_E_NOT_IN_GRAPH);
  EXPECT_EQ(b->inPin()->Connect(a->outPin(), nullptr), VFW_E_INVALID_DIRECTION);
  EXPECT_EQ(a->outPin()->Connect(nullptr, nullptr), E_POINTER);
}

TEST(Pins, DisconnectEachEndAndReconnectKeepsIdentity) {
  auto g = FilterGraph::create();
  auto src = std::make_shared<PushSource>(std::vector<MediaType>{kVideo});
  auto sink = std::make_shared<RecordingSink>();
  g->AddFilter(src, "src");
  g->AddFilter(sink, "sink");
  std::shared_ptr<IPin> out = pinAt(src, 0);
  ASSERT_EQ(out->Connect(sink->inPin(), nullptr), S_OK);
  std::shared_ptr<IPin> peer;
  out->ConnectedTo(peer);
  EXPECT_EQ(peer, sink->inPin());
  EXPECT_EQ(out->Disconnect(), S_OK);
  EXPECT_EQ(out->Disconnect(), S_FALSE);
  EXPECT_EQ(sink->inPin()->Disconnect(), S_OK);
  ASSERT_EQ(out->Connect(sink->inPin(), nullptr), S_OK);
  EXPECT_EQ(pinAt(src, 0), out);  // same object by every route
  PIN_INFO info;
  out->QueryPinInfo(info);
  EXPECT_EQ(info.pFilter, src);
  EXPECT_EQ(info.dir, PINDIR_OUTPUT);
}

TEST(Pins, EnumMediaTypesReturnsUpTo300AtOnceWithSFalse) {
  std::vector<MediaType> many;
  for (int i = 1; i <= 7; ++i) many.push_back(MediaType::rgb24(i * 16, 16, UNITS / 25));
  auto src = std::make_shared<PushSource>(many);
  std::shared_ptr<IEnumMediaTypes> e;
  ASSERT_EQ(src->outPin()->EnumMediaTypes(e), S_OK);
  std::vector<MediaType> out(300);
  uint32_t fetched = 0;
  EXPECT_EQ(e->Next(300, out.data(), &fetched), S_FALSE);
  EXPECT_EQ(fetched, 7u);
  EXPECT_EQ(out[6], many[6]);
  EXPECT_EQ(e->Next(1, out.data(), &fetched), S_FALSE);
  EXPECT_EQ(fetched, 0u);
}

TEST(FilterGraph, DuplicateNamesSucceedWithAModifiedName) {
  auto g = FilterGraph::create();
  auto a = std::make_shared<RecordingSink>(), b = std::make_shared<RecordingSink>();
  EXPECT_EQ(g->AddFilter(a, "Tamponer Video"), S_OK);
  EXPECT_EQ(g->AddFilter(b, "Tamponer Video"), VFW_S_DUPLICATE_NAME);
  FILTER_INFO info;
  b->QueryFilterInfo(info);
  EXPECT_NE(info.achName, QStringLiteral("Tamponer Video"));
  EXPECT_EQ(info.pGraph, g);
  EXPECT_EQ(g->AddFilter(a, "again"), E_INVALIDARG);
  auto other = FilterGraph::create();
  EXPECT_EQ(other->AddFilter(a, "x"), E_INVALIDARG);  // in one graph at a time
  // Removing and adding the same instance again and again works.
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(g->RemoveFilter(a), S_OK);
    EXPECT_TRUE(SUCCEEDED(g->AddFilter(a, "Tamponer Video")));
  }
}

TEST(FilterGraph, RemoveFilterDisconnectsPeersAndFailsWhenAbsent) {
  auto g = FilterGraph::create();
  auto src = std::make_shared<PushSource>(std::vector<MediaType>{kVideo});
  auto tee = InfTee::create();
  auto sink = std::make_shared<RecordingSink>();
  g->AddFilter(src, "src");
  g->AddFilter(tee, "tee");
  g->AddFilter(sink, "sink");
  ASSERT_EQ(g->ConnectDirect(src->outPin(), pinAt(tee, 0), nullptr), S_OK);
  ASSERT_EQ(g->ConnectDirect(pinAt(tee, 1), sink->inPin(), nullptr), S_OK);
  std::shared_ptr<IEnumPins> pins;
  tee->EnumPins(pins);
  EXPECT_EQ(pins->all().size(), 3u);
  EXPECT_EQ(g->RemoveFilter(sink), S_OK);
  std::shared_ptr<IPin> peer;
  EXPECT_EQ(pinAt(tee, 1)->ConnectedTo(peer), VFW_E_NOT_CONNECTED);
  tee->EnumPins(pins);
  EXPECT_EQ(pins->all().size(), 2u);  // the tee trimmed its spare outputs to one
  EXPECT_EQ(g->RemoveFilter(sink), VFW_E_NOT_FOUND);
  EXPECT_EQ(g->RemoveFilter(nullptr), E_POINTER);
  FILTER_INFO info;
  sink->QueryFilterInfo(info);
  EXPECT_EQ(info.pGraph, nullptr);
}

TEST(FilterGraph, EmptyGraphRunsAndStopsTwice) {
  auto g = FilterGraph::create();
  EXPECT_EQ(g->Run(), S_OK);
  OAFilterState s;
  g->GetState(0, s);
  EXPECT_EQ(s, State_Running);
  EXPECT_EQ(g->Stop(), S_OK);
  EXPECT_EQ(g->Stop(), S_OK);
  g->GetState(0, s);
  EXPECT_EQ(s, State_Stopped);
}

namespace {
// A filter of any kind that logs the three phases of the graph's Stop as "halt X", "stop X" and
// "close X" before doing its own work.
template <class F>
class Logged : public F {
 public:
  template <class... A>
  Logged(StopLog& log, std::string tag, A&&... args)
      : F(std::forward<A>(args)...), log_(log), tag_(std::move(tag)) {}
  void haltStreaming() override {
    log_.add("halt " + tag_);
    F::haltStreaming();
  }
  HRESULT Stop() override {
    log_.add("stop " + tag_);
    return F::Stop();
  }
  void closeFiles() override {
    log_.add("close " + tag_);
    F::closeFiles();
  }

 private:
  StopLog& log_;
  std::string tag_;
};

class PassThrough : public TransInPlaceFilter {
 public:
  PassThrough()
      : TransInPlaceFilter(makeGuid("{11111111-2222-3333-4444-555555555556}"), QStringLiteral("pass"),
                           false) {}
  HRESULT CheckInputType(const MediaType&) override { return S_OK; }
  HRESULT Transform(MediaSample&) override { return S_OK; }
};
}  // namespace

// Stop halts the sources first (upstream first), then stops every filter from the sinks up to the
// sources, and only then lets the writers close their files: a filter's stop may still write
// through a sink downstream (a header, a last block), and the file is whole when Stop returns.
TEST(FilterGraph, StopRunsFromDownstreamToUpstreamAndWritersCloseLast) {
  vistrel::testing::TempRoot root;
  StopLog log;
  auto g = FilterGraph::create();
  auto src = std::make_shared<Logged<PushSource>>(log, "source", std::vector<MediaType>{kVideo}, 64);
  auto pass = std::make_shared<Logged<PassThrough>>(log, "pass");
  auto tee = std::make_shared<Logged<InfTee>>(log, "tee");
  auto sink = std::make_shared<Logged<NullRenderer>>(log, "null");
  auto writer = std::make_shared<Logged<FileWriter>>(log, "writer");
  ASSERT_EQ(writer->SetFileName(root.file("out.raw"), nullptr), S_OK);
  // Added in an order unrelated to the flow.
  g->AddFilter(sink, "sink");
  g->AddFilter(tee, "tee");
  g->AddFilter(src, "src");
  g->AddFilter(writer, "writer");
  g->AddFilter(pass, "pass");
  ASSERT_EQ(g->ConnectDirect(src->outPin(), pinAt(pass, 0), nullptr), S_OK);
  ASSERT_EQ(g->ConnectDirect(pinAt(pass, 1), pinAt(tee, 0), nullptr), S_OK);
  ASSERT_EQ(g->ConnectDirect(pinAt(tee, 1), pinAt(sink, 0), nullptr), S_OK);
  ASSERT_EQ(g->ConnectDirect(pinAt(tee, 2), pinAt(writer, 0), nullptr), S_OK);
  ASSERT_EQ(g->Run(), S_OK);
  EXPECT_EQ(src->push({1, 2, 3}), S_OK);
  ASSERT_EQ(g->Stop(), S_OK);

  const std::vector<std::string> names = log.names;
  auto at = [&](const std::string& entry) {
    auto it = std::find(names.begin(), names.end(), entry);
    return it == names.end() ? -1 : int(it - names.begin());
  };
  const std::vector<std::string> filters = {"source", "pass", "tee", "null", "writer"};
  ASSERT_EQ(names.size(), 3 * filters.size());
  for (const auto& f : filters) {
    SCOPED_TRACE(f);
    // Every filter goes through each phase once, and the phases do not overlap.
    EXPECT_EQ(std::count(names.begin(), names.end(), "halt " + f), 1);
    EXPECT_EQ(std::count(names.begin(), names.end(), "stop " + f), 1);
    EXPECT_EQ(std::count(names.begin(), names.end(), "close " + f), 1);
    EXPECT_LT(at("halt " + f), int(filters.size()));
    EXPECT_GE(at("stop " + f), int(filters.size()));
    EXPECT_LT(at("stop " + f), int(2 * filters.size()));
    EXPECT_GE(at("close " + f), int(2 * filters.size()));
  }
  // Halts from the source down; stops from the sinks up.
  EXPECT_LT(at("halt source"), at("halt pass"));
  EXPECT_LT(at("halt pass"), at("halt tee"));
  EXPECT_LT(at("halt tee"), at("halt null"));
  EXPECT_LT(at("halt tee"), at("halt writer"));
  EXPECT_LT(at("stop null"), at("stop tee"));
  EXPECT_LT(at("stop writer"), at("stop tee"));
  EXPECT_LT(at("stop tee"), at("stop pass"));
  EXPECT_LT(at("stop pass"), at("stop source"));
  // The file is complete and closed when Stop returns.
  EXPECT_EQ(root.read("out.raw"), QByteArray("\x01\x02\x03", 3));
  EXPECT_EQ(src->push({1}), VFW_E_NOT_COMMITTED);  // a stopped graph takes no more samples
}

TEST(FilterGraph, SurgeryNeedsAStoppedGraph) {
  auto g = FilterGraph::create();
  auto src = std::make_shared<PushSource>(std::vector<MediaType>{kVideo});
  auto sink = std::make_shared<RecordingSink>();
  g->AddFilter(src, "src");
  g->AddFilter(sink, "sink");
  ASSERT_EQ(g->ConnectDirect(src->outPin(), sink->inPin(), nullptr), S_OK);
  g->Run();
  EXPECT_EQ(src->outPin()->Disconnect(), VFW_E_NOT_STOPPED);
  // Removing a running filter stops it first.
  EXPECT_EQ(g->RemoveFilter(sink), S_OK);
  FILTER_STATE s;
  sink->GetState(0, s);
  EXPECT_EQ(s, State_Stopped);
  g->Stop();
}

namespace {
class EventWindow : public QObject {
 public:
  std::shared_ptr<FilterGraph> graph;
  std::vector<GraphEvent> drained;
  std::vector<bool> onMainThread;
  bool event(QEvent* e) override {
    if (e->type() != vistrel::platform::ui::WindowMessageEvent::eventType()) return QObject::event(e);
    GraphEvent ev;
    while (graph->GetEvent(ev, 0) == S_OK) {
      drained.push_back(ev);
      onMainThread.push_back(QThread::currentThread() == QCoreApplication::instance()->thread());
      graph->FreeEventParams(ev);
    }
    return true;
  }
};
}  // namespace

TEST(FilterGraph, EventsFromAnyThreadAreDeliveredInOrderOnTheWindowThread) {
  EventWindow window;
  window.graph = FilterGraph::create();
  auto handle = vistrel::platform::ui::registerWindow(&window);
  window.graph->SetNotifyWindow(handle, vistrel::platform::ui::WM_USER + 100, 7);
  std::thread t([&] {
    for (int i = 0; i < 5; ++i) window.graph->Notify(GraphEvent{EC_DEVICE_LOST, 0, i, nullptr});
  });
  t.join();
  QCoreApplication::processEvents();
  ASSERT_EQ(window.drained.size(), 5u);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(window.drained[static_cast<size_t>(i)].code, EC_DEVICE_LOST);
    EXPECT_EQ(window.drained[static_cast<size_t>(i)].param2, i);
    EXPECT_TRUE(window.onMainThread[static_cast<size_t>(i)]);
  }
  vistrel::platform::ui::unregisterWindow(handle);
  GraphEvent ev;
  EXPECT_EQ(window.graph->GetEvent(ev, 0), VFW_E_TIMEOUT);
}

TEST(FilterGraph, VolumeNeedsAnAudioRenderer) {
  auto g = FilterGraph::create();
  EXPECT_EQ(g->put_Volume(0), E_NOTIMPL);
  EXPECT_EQ(g->put_Volume(-10001), E_INVALIDARG);
}

TEST(FilterGraph, RemoveChainAcceptsATeeWithASpareAndRefusesBranches) {
  auto g = FilterGraph::create();
  auto src = std::make_shared<PushSource>(std::vector<MediaType>{kVideo});
  auto tee = InfTee::create();
  auto mid = NullRenderer::create();
  auto sink = std::make_shared<RecordingSink>();
  g->AddFilter(src, "src");
  g->AddFilter(tee, "tee");
  g->AddFilter(sink, "sink");
  ASSERT_EQ(g->ConnectDirect(src->outPin(), pinAt(tee, 0), nullptr), S_OK);
  ASSERT_EQ(g->ConnectDirect(pinAt(tee, 1), sink->inPin(), nullptr), S_OK);
  // Branching: a second connected output makes the path ambiguous.
  auto sink2 = std::make_shared<RecordingSink>();
  g->AddFilter(sink2, "sink2");
  ASSERT_EQ(g->ConnectDirect(pinAt(tee, 2), sink2->inPin(), nullptr), S_OK);
  EXPECT_EQ(g->RemoveChain(tee, sink), VFW_E_NOT_FOUND);
  g->RemoveFilter(sink2);
  EXPECT_EQ(g->RemoveChain(tee, sink), S_OK);
  EXPECT_FALSE(g->contains(tee));
  EXPECT_FALSE(g->contains(sink));
  EXPECT_TRUE(g->contains(src));
  std::shared_ptr<IPin> peer;
  EXPECT_EQ(src->outPin()->ConnectedTo(peer), VFW_E_NOT_CONNECTED);
  EXPECT_EQ(g->RemoveChain(tee, sink), VFW_E_NOT_FOUND);
}

TEST(FilterGraph, ClearStopsAndRemovesEverything) {
  auto g = FilterGraph::create();
  auto a = std::make_shared<RecordingSink>();
  g->AddFilter(a, "a");
  g->Run();
  EXPECT_EQ(g->Clear(), S_OK);
  EXPECT_TRUE(g->filters().empty());
  FILTER_INFO info;
  a->QueryFilterInfo(info);
  EXPECT_EQ(info.pGraph, nullptr);
}
