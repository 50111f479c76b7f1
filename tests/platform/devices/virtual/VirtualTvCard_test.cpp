#include "platform/devices/virtual/VirtualTvCard.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialog>
#include <QSpinBox>

#include "platform/devices/virtual/FrameSink.h"
#include "platform/media/CaptureGraphBuilder2.h"
#include "platform/media/FilterGraph.h"
#include "platform/media/IAMStreamConfig.h"

using namespace vistrel::platform::devices;
using namespace vistrel::platform::media;

namespace {

std::vector<std::shared_ptr<IPin>> pinsOf(const std::shared_ptr<IBaseFilter>& f) {
  std::shared_ptr<IEnumPins> e;
  f->EnumPins(e);
  return e->all();
}

// The colour of the top row's middle pixel of a bottom-up RGB24 picture.
int32_t topColour(const std::vector<uint8_t>& rgb, int width, int height) {
  const size_t stride = dibRowBytes(width, 24);
  const uint8_t* p =
      rgb.data() + stride * static_cast<size_t>(height - 1) + 3 * static_cast<size_t>(width / 2);
  return p[2] << 16 | p[1] << 8 | p[0];
}

int32_t pictureColour(VirtualTvCard& card) {
  std::vector<uint8_t> rgb(dibRowBytes(320, 24) * 240);
  card.renderPicture(rgb.data(), 320, 240, 7, 280);
  return topColour(rgb, 320, 240);
}

TEST(VirtualCrossbar, PinsInputsFirstWithTheirInfo) {
  auto card = std::make_shared<TvCardHardware>(TvCardSettings{});
  auto xbar = std::make_shared<VirtualCrossbar>(QStringLiteral("Xbar"), card, 0);
  int32_t outputs = 0, inputs = 0;
  ASSERT_EQ(xbar->get_PinCounts(outputs, inputs), S_OK);
  EXPECT_EQ(inputs, 5);
  EXPECT_EQ(outputs, 2);
  auto pins = pinsOf(xbar);
  ASSERT_EQ(pins.size(), 7u);
  for (size_t i = 0; i < pins.size(); ++i) {
    PIN_DIRECTION d;
    pins[i]->QueryDirection(d);
    EXPECT_EQ(d, i < 5 ? PINDIR_INPUT : PINDIR_OUTPUT) << i;
  }
  struct Info {
    bool input;
    int32_t index, related, physical;
  };
  for (const Info& e : {Info{true, 0, 3, PhysConn_Video_Tuner}, Info{true, 1, 4, PhysConn_Video_Composite},
                        Info{true, 2, -1, PhysConn_Video_SVideo}, Info{true, 3, 0, PhysConn_Audio_Tuner},
                        Info{true, 4, 1, PhysConn_Audio_Line}, Info{false, 0, 1, PhysConn_Video_VideoDecoder},
                        Info{false, 1, 0, PhysConn_Audio_AudioDecoder}}) {
    int32_t related = 99, physical = 99;
    ASSERT_EQ(xbar->get_CrossbarPinInfo(e.input, e.index, related, physical), S_OK);
    EXPECT_EQ(related, e.related) << e.input << e.index;
    EXPECT_EQ(physical, e.physical) << e.input << e.index;
  }
  int32_t r, p;
  EXPECT_EQ(xbar->get_CrossbarPinInfo(true, 5, r, p), E_INVALIDARG);
  EXPECT_EQ(xbar->get_CrossbarPinInfo(false, -1, r, p), E_INVALIDARG);
}

TEST(VirtualCrossbar, RoutesOnlyVideoToVideoAndSoundToSound) {
  auto card = std::make_shared<TvCardHardware>(TvCardSettings{});
  auto xbar = std::make_shared<VirtualCrossbar>(QStringLiteral("Xbar"), card, 0);
  struct Case {
    int32_t output, input;
    HRESULT can;
  };
  for (const Case& c : {Case{0, 0, S_OK}, Case{0, 1, S_OK}, Case{0, 2, S_OK}, Case{0, 3, S_FALSE},
                        Case{0, 4, S_FALSE}, Case{1, 0, S_FALSE}, Case{1, 3, S_OK}, Case{1, 4, S_OK},
                        Case{2, 0, E_INVALIDARG}, Case{0, 5, E_INVALIDARG}, Case{-1, 0, E_INVALIDARG}})
    EXPECT_EQ(xbar->CanRoute(c.output, c.input), c.can) << c.output << "<-" << c.input;

  int32_t routed = -5;
  ASSERT_EQ(xbar->get_IsRoutedTo(0, routed), S_OK);
  EXPECT_EQ(routed, 0);  // the tuner at power-up
  ASSERT_EQ(xbar->Route(0, 2), S_OK);
  xbar->get_IsRoutedTo(0, routed);
  EXPECT_EQ(routed, 2);
  EXPECT_EQ(card->videoSource(), TvInput::SVideo);
  EXPECT_TRUE(FAILED(xbar->Route(0, 3)));  // an audio input on the video output
  xbar->get_IsRoutedTo(0, routed);
  EXPECT_EQ(routed, 2);
  EXPECT_EQ(xbar->get_IsRoutedTo(2, routed), E_INVALIDARG);
  ASSERT_EQ(xbar->Route(1, 4), S_OK);
  EXPECT_EQ(card->audioSource(), TvInput::Composite);
  ASSERT_EQ(xbar->Route(0, -1), S_OK);  // nothing routed: no picture
  EXPECT_EQ(card->videoSource(), TvInput::None);
}

TEST(VirtualTvCard, TheRoutedInputAndTheChannelChangeThePicture) {
  auto card = std::make_shared<TvCardHardware>(TvCardSettings{});
  auto capture = std::make_shared<VirtualTvCard>(QStringLiteral("Card"), card);
  auto xbar = std::make_shared<VirtualCrossbar>(QStringLiteral("Xbar"), card, 0);
  auto tuner = std::make_shared<VirtualTvTuner>(QStringLiteral("Tuner"), card);
  ASSERT_EQ(tuner->put_Channel(4, -1, -1), S_OK);
  const int32_t channel4 = pictureColour(*capture);
  EXPECT_EQ(channel4, tvInputColour(TvInput::Tuner, 4));
  ASSERT_EQ(tuner->put_Channel(21, -1, -1), S_OK);
  EXPECT_EQ(pictureColour(*capture), tvInputColour(TvInput::Tuner, 21));
  EXPECT_NE(pictureColour(*capture), channel4);
  EXPECT_EQ(tuner->put_Channel(1, -1, -1), E_INVALIDARG);  // not in the channel table
  int32_t channel = 0, v, a;
  tuner->get_Channel(channel, v, a);
  EXPECT_EQ(channel, 21);
  int64_t hz = 0;
  tuner->get_Frequency(hz);
  EXPECT_EQ(hz, 471'250'000);
  ASSERT_EQ(tuner->put_Frequency(hz + 8'000'000), S_OK);  // the next UHF channel
  tuner->get_Channel(channel, v, a);
  EXPECT_EQ(channel, 22);

  xbar->Route(0, 1);
  EXPECT_EQ(pictureColour(*capture), tvInputColour(TvInput::Composite, 0));
  xbar->Route(0, 2);
  EXPECT_EQ(pictureColour(*capture), tvInputColour(TvInput::SVideo, 0));
  xbar->Route(0, -1);
  EXPECT_EQ(pictureColour(*capture), 0);  // no signal: black

  int32_t modes = 0;
  tuner->GetAvailableTVAudioModes(modes);
  EXPECT_TRUE(modes & AMTVAUDIO_MODE_LANG_B);  // an even channel: two languages
  EXPECT_EQ(tuner->put_TVAudioMode(AMTVAUDIO_MODE_LANG_A), S_OK);
  EXPECT_EQ(tuner->put_TVAudioMode(0x100), E_INVALIDARG);
  int32_t mode = 0;
  tuner->get_TVAudioMode(mode);
  EXPECT_EQ(mode, AMTVAUDIO_MODE_LANG_A);
  EXPECT_EQ(tuner->put_TVFormat(AnalogVideo_PAL_B | AnalogVideo_PAL_G), E_INVALIDARG);
}

// A graph with the capture filter and the first crossbar, connected as the program connects them.
struct CardGraph {
  explicit CardGraph(TvCardSettings settings) : card(std::make_shared<TvCardHardware>(settings)) {
    capture = std::make_shared<VirtualTvCard>(QStringLiteral("Card"), card);
    xbar = std::make_shared<VirtualCrossbar>(QStringLiteral("Card Crossbar"), card, 0);
    builder->SetFiltergraph(graph);
    graph->AddFilter(capture, QStringLiteral("Card"));
    graph->AddFilter(xbar, QStringLiteral("Crossbar"));
  }
  std::shared_ptr<FilterGraph> graph = FilterGraph::create();
  std::shared_ptr<CaptureGraphBuilder2> builder = CaptureGraphBuilder2::create();
  std::shared_ptr<TvCardHardware> card;
  std::shared_ptr<VirtualTvCard> capture;
  std::shared_ptr<VirtualCrossbar> xbar;
};

TEST(VirtualTvCard, ItsCrossbarBringsTheTunerAndTheInterfacesAreFoundUpstream) {
  CardGraph g(TvCardSettings{});
  ASSERT_EQ(g.builder->RenderStream(nullptr, nullptr, g.xbar, nullptr, g.capture), S_OK);
  auto capturePins = pinsOf(g.capture);
  ASSERT_EQ(capturePins.size(), 3u);  // capture, preview, analogue input
  std::shared_ptr<IPin> peer;
  ASSERT_EQ(capturePins[2]->ConnectedTo(peer), S_OK);
  EXPECT_EQ(g.graph->filters().size(), 3u);  // and the tuner

  std::shared_ptr<IAMTVTuner> tuner;
  EXPECT_EQ(g.builder->FindInterface(&PIN_CATEGORY_CAPTURE, nullptr, g.capture, tuner), S_OK);
  std::shared_ptr<IAMTVAudio> audio;
  EXPECT_EQ(g.builder->FindInterface(&PIN_CATEGORY_CAPTURE, nullptr, g.capture, audio), S_OK);
  std::shared_ptr<IAMCrossbar> first, second;
  ASSERT_EQ(g.builder->FindInterface(&PIN_CATEGORY_CAPTURE, nullptr, g.capture, first), S_OK);
  EXPECT_EQ(first, std::dynamic_pointer_cast<IAMCrossbar>(g.xbar));
  EXPECT_TRUE(FAILED(g.builder->FindInterface(&LOOK_UPSTREAM_ONLY, nullptr, g.xbar, second)));
  std::shared_ptr<IAMVfwCaptureDialogs> dialogs;
  EXPECT_EQ(g.builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, g.capture, dialogs), S_OK);

  // The tuner follows the crossbar out of the graph.
  ASSERT_EQ(g.graph->RemoveFilter(g.xbar), S_OK);
  EXPECT_EQ(g.graph->filters().size(), 1u);
}

TEST(VirtualTvCard, AChainOfTwoCrossbars) {
  CardGraph g(TvCardSettings{false, true, {}});
  ASSERT_EQ(g.builder->RenderStream(nullptr, nullptr, g.xbar, nullptr, g.capture), S_OK);
  ASSERT_EQ(g.graph->filters().size(), 4u);
  std::shared_ptr<IAMCrossbar> second;
  ASSERT_EQ(g.builder->FindInterface(&LOOK_UPSTREAM_ONLY, nullptr, g.xbar, second), S_OK);
  ASSERT_NE(second, std::dynamic_pointer_cast<IAMCrossbar>(g.xbar));
  // The outer crossbar's outputs feed the first one's video and sound link inputs.
  auto inner = pinsOf(g.xbar);
  for (int i : {0, 2}) {
    std::shared_ptr<IPin> peer;
    ASSERT_EQ(inner[static_cast<size_t>(i)]->ConnectedTo(peer), S_OK) << i;
    PIN_INFO info;
    peer->QueryPinInfo(info);
    EXPECT_EQ(std::dynamic_pointer_cast<IAMCrossbar>(info.pFilter), second);
  }
  std::shared_ptr<IPin> none;
  EXPECT_EQ(inner[1]->ConnectedTo(none), VFW_E_NOT_CONNECTED);  // S-video: a connector
  int32_t outputs = 0, inputs = 0, related = 0, physical = 0;
  second->get_PinCounts(outputs, inputs);
  EXPECT_EQ(inputs, 4);
  second->get_CrossbarPinInfo(true, 1, related, physical);
  EXPECT_EQ(physical, PhysConn_Video_Composite);

  // Routing both crossbars reaches the outer composite input; the inner S-video alone its own.
  ASSERT_EQ(second->Route(0, 1), S_OK);
  ASSERT_EQ(g.xbar->Route(0, 0), S_OK);
  EXPECT_EQ(g.card->videoSource(), TvInput::Composite);
  EXPECT_EQ(pictureColour(*g.capture), tvInputColour(TvInput::Composite, 0));
  ASSERT_EQ(g.xbar->Route(0, 1), S_OK);
  EXPECT_EQ(g.card->videoSource(), TvInput::SVideo);
  ASSERT_EQ(second->Route(0, 0), S_OK);
  EXPECT_EQ(g.card->videoSource(), TvInput::SVideo);  // the outer route is not on the way
  g.graph->Clear();
  EXPECT_TRUE(g.graph->filters().empty());
}

TEST(VirtualTvCard, OnlyItsOwnCrossbarConnects) {
  CardGraph g(TvCardSettings{});
  auto otherCard = std::make_shared<TvCardHardware>(TvCardSettings{});
  auto other = std::make_shared<VirtualCrossbar>(QStringLiteral("Other"), otherCard, 0);
  g.graph->AddFilter(other, QStringLiteral("Other"));
  EXPECT_TRUE(FAILED(g.builder->RenderStream(nullptr, nullptr, other, nullptr, g.capture)));
  EXPECT_EQ(g.builder->RenderStream(nullptr, nullptr, g.xbar, nullptr, g.capture), S_OK);
}

TEST(VirtualTvCard, CaptureDialogs) {
  auto card = std::make_shared<TvCardHardware>(TvCardSettings{});
  auto capture = std::make_shared<VirtualTvCard>(QStringLiteral("Card"), card);
  for (int d : {VfwCaptureDialog_Source, VfwCaptureDialog_Format, VfwCaptureDialog_Display})
    EXPECT_EQ(capture->HasDialog(d), S_OK) << d;
  EXPECT_EQ(capture->HasDialog(8), S_FALSE);
  QStringList shown;
  VirtualTvCard::setDialogRunner([&](QDialog& d) {
    shown << d.windowTitle();
    if (auto* input = d.findChild<QComboBox*>(QStringLiteral("input"))) input->setCurrentIndex(1);
    if (auto* format = d.findChild<QComboBox*>(QStringLiteral("format"))) format->setCurrentIndex(0);
    return static_cast<int>(QDialog::Accepted);
  });
  EXPECT_EQ(capture->ShowDialog(VfwCaptureDialog_Source, nullptr), S_OK);
  EXPECT_EQ(card->videoSource(), TvInput::Composite);
  EXPECT_EQ(card->audioSource(), TvInput::Composite);  // the sound follows the picture
  EXPECT_EQ(capture->ShowDialog(VfwCaptureDialog_Format, nullptr), S_OK);
  MediaType current;
  interfaceOf<IAMStreamConfig>(pinsOf(capture)[0])->GetFormat(current);
  EXPECT_EQ(current, VirtualCamera::formats()[0]);
  EXPECT_EQ(capture->ShowDialog(VfwCaptureDialog_Display, nullptr), S_OK);
  EXPECT_EQ(capture->ShowDialog(16, nullptr), E_INVALIDARG);
  VirtualTvCard::setDialogRunner(nullptr);
  EXPECT_EQ(shown, (QStringList{QStringLiteral("Source vidéo"), QStringLiteral("Format vidéo"),
                                QStringLiteral("Affichage vidéo")}));
}

TEST(VirtualTvCard, ACardWithSoundDeliversTheRoutedInputsSound) {
  auto graph = FilterGraph::create();
  auto card = std::make_shared<TvCardHardware>(TvCardSettings{true, false, {}});
  auto capture = std::make_shared<VirtualTvCard>(QStringLiteral("Card"), card);
  auto pins = pinsOf(capture);
  ASSERT_EQ(pins.size(), 4u);
  std::shared_ptr<IEnumMediaTypes> types;
  pins[3]->EnumMediaTypes(types);
  ASSERT_EQ(types->all().size(), 1u);
  EXPECT_EQ(types->all()[0], MediaType::pcm(48000, 2, 16));
  auto sink = std::make_shared<vistrel::testing::FrameSink>();
  graph->AddFilter(capture, QStringLiteral("Card"));
  graph->AddFilter(sink, QStringLiteral("Sink"));
  ASSERT_EQ(graph->ConnectDirect(pins[3], pinsOf(sink)[0], nullptr), S_OK);
  ASSERT_EQ(graph->Run(), S_OK);
  ASSERT_TRUE(sink->waitFor(3));
  graph->Stop();
  // The tuner's sound: a tone of 200 + 10 x channel Hz, 20 ms a block.
  const auto block = sink->samples()[1].bytes;
  ASSERT_EQ(block.size(), 960u * 4);
  const auto* pcm = reinterpret_cast<const int16_t*>(block.data());
  int crossings = 0;
  for (int i = 1; i < 960; ++i) crossings += (pcm[2 * (i - 1)] < 0) != (pcm[2 * i] < 0);
  EXPECT_NEAR(crossings, 2 * tvInputTone(TvInput::Tuner, 4) * 0.02, 2);
}

}  // namespace

namespace {

TEST(VirtualTvCard, PropertyPagesOfTheCrossbarAndTheTuner) {
  auto card = std::make_shared<TvCardHardware>(TvCardSettings{});
  auto xbar = std::make_shared<VirtualCrossbar>(QStringLiteral("Xbar"), card, 0);
  auto tuner = std::make_shared<VirtualTvTuner>(QStringLiteral("Tuner"), card);
  std::vector<GUID> pages;
  ASSERT_EQ(xbar->GetPages(pages), S_OK);
  ASSERT_EQ(pages.size(), 1u);
  QWidget parent;
  auto* routing = xbar->CreatePage(pages[0], &parent);
  ASSERT_TRUE(routing);
  auto* video = routing->findChild<QComboBox*>(QStringLiteral("output0"));
  ASSERT_TRUE(video);
  EXPECT_EQ(video->count(), 4);  // none and the three video inputs, never a sound input
  video->setCurrentIndex(video->findData(1));
  EXPECT_EQ(routing->apply(), S_OK);
  EXPECT_EQ(card->videoSource(), TvInput::Composite);

  ASSERT_EQ(tuner->GetPages(pages), S_OK);
  ASSERT_EQ(pages.size(), 2u);
  auto* tuning = tuner->CreatePage(pages[0], &parent);
  ASSERT_TRUE(tuning);
  auto* channel = tuning->findChild<QSpinBox*>(QStringLiteral("channel"));
  ASSERT_TRUE(channel);
  channel->setValue(30);
  EXPECT_EQ(tuning->apply(), S_OK);
  EXPECT_EQ(card->channel.load(), 30);
  EXPECT_TRUE(tuner->CreatePage(pages[1], &parent));  // the sound
  EXPECT_EQ(tuner->CreatePage(GUID_NULL, &parent), nullptr);
}

}  // namespace
