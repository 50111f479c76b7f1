#include "sources/Crossbar.h"

#include <gtest/gtest.h>

#include "platform/media/FilterGraph.h"
#include "platform/media/MediaGuids.h"
#include "sources/SourceTestFilters.h"

using namespace vistrel::platform::media;
using namespace vistrel::sources;
using namespace vistrel::sources::testing;

namespace {

// A capture filter with an analogue video input (pin 0) and a capture output (pin 1).
std::shared_ptr<TableFilter> captureFilter() {
  return TableFilter::create(
      {{PINDIR_INPUT, MediaType(MEDIATYPE_AnalogVideo, GUID_NULL), PIN_CATEGORY_ANALOGVIDEOIN},
       {PINDIR_OUTPUT, MediaType::rgb24(320, 240, 400000), PIN_CATEGORY_CAPTURE}});
}

struct Bench {
  std::shared_ptr<FilterGraph> graph = FilterGraph::create();
  std::shared_ptr<TableFilter> capture = captureFilter();
  Bench() { graph->AddFilter(capture, QStringLiteral("capture")); }
  // Connects output `out` of `from` (numbered among its outputs) to pin `to`.
  void link(const std::shared_ptr<TestCrossbar>& from, int32_t out, const std::shared_ptr<IPin>& to) {
    int32_t outputs = 0, inputs = 0;
    from->get_PinCounts(outputs, inputs);
    ASSERT_EQ(graph->ConnectDirect(PinAt(from, inputs + out), to, nullptr), S_OK);
  }
  void add(const std::shared_ptr<IBaseFilter>& f, const QString& name) {
    ASSERT_TRUE(SUCCEEDED(graph->AddFilter(f, name)));
  }
  std::shared_ptr<IPin> analogInput() const { return PinAt(capture, 0); }
};

// Tuner (with its audio), composite, S-video and the audio tuner; video output 0 (related to
// audio output 1), audio output 1. Every input can reach output 0, the audio one too.
std::shared_ptr<TestCrossbar> cardCrossbar() {
  return TestCrossbar::create({{PhysConn_Video_Tuner, 3},
                               {PhysConn_Video_Composite, -1},
                               {PhysConn_Video_SVideo, -1},
                               {PhysConn_Audio_Tuner, 0}},
                              {{PhysConn_Video_VideoDecoder, 1}, {PhysConn_Audio_AudioDecoder, 0}},
                              {{true, true, true, true}, {false, false, false, true}});
}

std::vector<QString> inputNames(const TCrossbar& crossbar) {
  std::vector<QString> names;
  for (int i = 0; i < crossbar.InputCount(); ++i) {
    QString name;
    EXPECT_EQ(crossbar.InputName(i, name), S_OK);
    names.push_back(name);
  }
  return names;
}

}  // namespace

TEST(PhysicalTypeName, NamesEveryTypeAndInconnuForOthers) {
  const std::vector<std::pair<int32_t, const char*>> cases = {{1, "Video Tuner"},
                                                              {2, "Video Composite"},
                                                              {3, "Video SVideo"},
                                                              {4, "Video RGB"},
                                                              {5, "Video YRYBY"},
                                                              {6, "Video SerialDigital"},
                                                              {7, "Video ParallelDigital"},
                                                              {8, "Video SCSI"},
                                                              {9, "Video AUX"},
                                                              {10, "Video 1394"},
                                                              {11, "Video USB"},
                                                              {12, "Video Decoder"},
                                                              {13, "Video Encoder"},
                                                              {14, "Video Scart"},
                                                              {4096, "Audio Tuner"},
                                                              {4097, "Audio Line"},
                                                              {4098, "Audio Mic"},
                                                              {4099, "Audio AESDigital"},
                                                              {4100, "Audio SPDIFDigital"},
                                                              {4101, "Audio SCSI"},
                                                              {4102, "Audio AUX"},
                                                              {4103, "Audio 1394"},
                                                              {4104, "Audio USB"},
                                                              {4105, "Audio Decoder"},
                                                              {0, "Inconnu"},
                                                              {15, "Inconnu"},
                                                              {4095, "Inconnu"},
                                                              {4106, "Inconnu"},
                                                              {-1, "Inconnu"},
                                                              {0x7FFFFFFF, "Inconnu"}};
  for (const auto& [type, text] : cases) EXPECT_EQ(PhysicalTypeName(type), QString::fromUtf8(text)) << type;
}

TEST(Crossbar, OneCrossbarListsItsVideoInputsInOrderAndNeverTheAudioOne) {
  Bench b;
  auto xbar = cardCrossbar();
  b.add(xbar, QStringLiteral("crossbar"));
  b.link(xbar, 0, b.analogInput());

  TCrossbar crossbar(b.analogInput());
  EXPECT_EQ(inputNames(crossbar), (std::vector<QString>{"Video Tuner", "Video Composite", "Video SVideo"}));
  int32_t type = 0;
  EXPECT_EQ(crossbar.InputType(0, type), S_OK);
  EXPECT_EQ(type, PhysConn_Video_Tuner);
  for (const TRouteArray& route : crossbar.Routes()) {
    ASSERT_EQ(route.size(), 1u);
    EXPECT_EQ(route[0].Depth, 0);
    EXPECT_EQ(route[0].OutputIndex, 0);
    EXPECT_EQ(route[0].OutputPhysicalType, PhysConn_Video_VideoDecoder);
    EXPECT_EQ(route[0].Deeper, nullptr);
    EXPECT_EQ(route[0].Nearer, nullptr);
  }
}

TEST(Crossbar, RoutingFollowsTheRelatedAudioPairOnlyWhenBothIndexesAreSet) {
  Bench b;
  auto xbar = cardCrossbar();
  b.add(xbar, QStringLiteral("crossbar"));
  b.link(xbar, 0, b.analogInput());
  TCrossbar crossbar(b.analogInput());
  ASSERT_EQ(crossbar.InputCount(), 3);

  struct Case {
    int input;
    std::vector<std::pair<int32_t, int32_t>> routes;
  };
  // The tuner brings its audio (output 1 <- input 3); composite and S-video have no related pin.
  const std::vector<Case> cases = {{0, {{0, 0}, {1, 3}}}, {1, {{0, 1}}}, {2, {{0, 2}}}};
  for (const Case& c : cases) {
    xbar->routed.clear();
    EXPECT_EQ(crossbar.RouteInput(c.input), S_OK) << c.input;
    EXPECT_EQ(xbar->routed, c.routes) << c.input;
  }
  int32_t routed = -1;
  xbar->get_IsRoutedTo(0, routed);
  EXPECT_EQ(routed, 2);
}

TEST(Crossbar, AChainOfTwoCrossbarsRoutesTheOuterOneFirst) {
  Bench b;
  std::vector<std::tuple<int, int32_t, int32_t>> log;
  // Outer: tuner and composite to its one output. Inner: an S-video connector and the outer
  // crossbar's output, both to the output feeding the capture filter.
  auto outer = TestCrossbar::create({{PhysConn_Video_Tuner, -1}, {PhysConn_Video_Composite, -1}},
                                    {{PhysConn_Video_VideoDecoder, -1}}, {{true, true}});
  auto inner = TestCrossbar::create({{PhysConn_Video_SVideo, -1}, {PhysConn_Video_VideoDecoder, -1}},
                                    {{PhysConn_Video_VideoDecoder, -1}}, {{true, true}});
  outer->tag = 1;
  inner->tag = 2;
  outer->log = inner->log = &log;
  b.add(outer, QStringLiteral("outer"));
  b.add(inner, QStringLiteral("inner"));
  b.link(outer, 0, PinAt(inner, 1));
  b.link(inner, 0, b.analogInput());

  TCrossbar crossbar(b.analogInput());
  EXPECT_EQ(inputNames(crossbar), (std::vector<QString>{"Video SVideo", "Video Tuner", "Video Composite"}));
  const auto& routes = crossbar.Routes();
  ASSERT_EQ(routes.size(), 3u);
  EXPECT_EQ(routes[0].size(), 1u);
  ASSERT_EQ(routes[1].size(), 2u);
  EXPECT_EQ(routes[1][0].Depth, 1);
  EXPECT_EQ(routes[1][1].Depth, 0);
  EXPECT_EQ(routes[1][0].Nearer, &routes[1][1]);
  EXPECT_EQ(routes[1][1].Deeper, &routes[1][0]);

  EXPECT_EQ(crossbar.RouteInput(2), S_OK);
  EXPECT_EQ(log, (std::vector<std::tuple<int, int32_t, int32_t>>{{1, 0, 1}, {2, 0, 1}}));
}

TEST(Crossbar, InputsThatCannotReachTheOutputAreNotListed) {
  Bench b;
  auto xbar = TestCrossbar::create({{PhysConn_Video_Tuner, -1}, {PhysConn_Video_Composite, -1}},
                                   {{PhysConn_Video_VideoDecoder, -1}}, {{false, true}});
  b.add(xbar, QStringLiteral("crossbar"));
  b.link(xbar, 0, b.analogInput());
  TCrossbar crossbar(b.analogInput());
  EXPECT_EQ(inputNames(crossbar), (std::vector<QString>{"Video Composite"}));
}

TEST(Crossbar, NothingToListGivesNoInputsAndRoutesNothing) {
  enum Setup { NullPin, Unconnected, OrdinaryPeer, FailingCounts, FailingPinInfo };
  for (Setup setup : {NullPin, Unconnected, OrdinaryPeer, FailingCounts, FailingPinInfo}) {
    Bench b;
    auto xbar = cardCrossbar();
    std::shared_ptr<IPin> start = b.analogInput();
    if (setup == NullPin) start.reset();
    if (setup == OrdinaryPeer) {
      auto plain =
          TableFilter::create({{PINDIR_OUTPUT, MediaType(MEDIATYPE_AnalogVideo, GUID_NULL, FORMAT_None)}});
      b.add(plain, QStringLiteral("plain"));
      ASSERT_EQ(b.graph->ConnectDirect(PinAt(plain, 0), start, nullptr), S_OK);
    }
    if (setup == FailingCounts || setup == FailingPinInfo) {
      b.add(xbar, QStringLiteral("crossbar"));
      b.link(xbar, 0, start);
      xbar->failPinCounts = setup == FailingCounts;
      xbar->failPinInfo = setup == FailingPinInfo;
    }
    TCrossbar crossbar(start);
    EXPECT_EQ(crossbar.InputCount(), 0) << setup;
    EXPECT_EQ(crossbar.RouteInput(0), E_FAIL) << setup;
    EXPECT_TRUE(xbar->routed.empty()) << setup;
  }
}

TEST(Crossbar, IndexesOutsideTheListFail) {
  Bench b;
  auto xbar = cardCrossbar();
  b.add(xbar, QStringLiteral("crossbar"));
  b.link(xbar, 0, b.analogInput());
  TCrossbar crossbar(b.analogInput());
  for (int index : {-1, 3, 100}) {
    int32_t type = 77;
    QString name = QStringLiteral("x");
    EXPECT_EQ(crossbar.InputType(index, type), E_FAIL);
    EXPECT_EQ(crossbar.InputName(index, name), E_FAIL);
    EXPECT_EQ(crossbar.RouteInput(index), E_FAIL);
  }
  EXPECT_TRUE(xbar->routed.empty());
}

TEST(Crossbar, PinsAreNumberedInputsFirstThenOutputs) {
  auto xbar = cardCrossbar();  // 4 inputs, 2 outputs
  struct Case {
    int32_t index;
    bool isInput;
    int position;  // -1: no such pin
  };
  const std::vector<Case> cases = {{0, true, 0},  {3, true, 3},   {0, false, 4}, {1, false, 5},
                                   {4, true, -1}, {2, false, -1}, {-1, true, -1}};
  for (const Case& c : cases) {
    std::shared_ptr<IPin> pin;
    const HRESULT hr = TCrossbar::PinAtIndex(xbar, c.index, c.isInput, pin);
    if (c.position < 0) {
      EXPECT_EQ(hr, E_FAIL) << c.index;
      continue;
    }
    ASSERT_EQ(hr, S_OK) << c.index;
    EXPECT_EQ(pin, PinAt(xbar, c.position));
    int32_t back = -1;
    EXPECT_EQ(TCrossbar::IndexOfPin(xbar, pin, c.isInput, back), S_OK);
    EXPECT_EQ(back, c.index);
  }
  auto other = cardCrossbar();
  int32_t index = 0;
  EXPECT_EQ(TCrossbar::IndexOfPin(xbar, PinAt(other, 0), true, index), E_FAIL);
  xbar->failPinCounts = true;
  std::shared_ptr<IPin> pin;
  EXPECT_EQ(TCrossbar::PinAtIndex(xbar, 0, true, pin), E_FAIL);
}

TEST(MonikerList, ListsTheCrossbarCategory) {
  RegisteredDevice device(AM_KSCATEGORY_CROSSBAR, QStringLiteral("Test Card Crossbar"),
                          [] { return cardCrossbar(); });
  TMonikerList list;
  list.Add(nullptr);
  list.Populate();
  ASSERT_EQ(list.Count(), 1);
  QVariant name;
  ASSERT_TRUE(list.Items(0));
  list.Items(0)->Read(QStringLiteral("FriendlyName"), name);
  EXPECT_EQ(name.toString(), QStringLiteral("Test Card Crossbar"));
  EXPECT_EQ(list.Items(-1), nullptr);
  EXPECT_EQ(list.Items(1), nullptr);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}
