#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <map>
#include <thread>

#include "platform/devices/alsa/AlsaAudioRenderer.h"
#include "platform/devices/alsa/AlsaCaptureFilter.h"
#include "platform/devices/alsa/AlsaDevices.h"
#include "platform/devices/virtual/ToneMicrophone.h"
#include "platform/media/BaseInputPin.h"
#include "platform/media/CaptureGraphBuilder2.h"
#include "platform/media/FilterGraph.h"
#include "platform/media/IAMAudioInputMixer.h"
#include "platform/media/IAMStreamConfig.h"

using namespace vistrel::platform::media;
using namespace vistrel::platform::devices::alsa;

namespace {

// A sound card as ALSA describes it (cards, capture devices, mixer capture sources); the PCM
// calls go to real libasound, on the null and file plugins of a test configuration.
class FakeAlsa : public AlsaSeam {
 public:
  FakeAlsa(std::shared_ptr<AlsaSeam> pcm, std::map<std::string, std::string> pcmNames)
      : pcm_(std::move(pcm)), names_(std::move(pcmNames)) {}

  std::vector<AlsaCard> cardList = {{0, "Test", "Test Card"}};
  std::vector<AlsaMixerElement> elements;
  std::map<std::string, bool> switches;
  unsigned item = 0;
  int openError = 0;
  // A device failing while it streams: from the `after`-th call on, `times` calls answer `error`.
  struct Failure {
    std::atomic<long> calls{0};
    std::atomic<long> after{-1};
    std::atomic<long> times{0};
    std::atomic<int> error{0};
    void set(long from, long count, int e) {
      error = e;
      times = count;
      after = from;
    }
    bool hit() {
      const long i = calls++;
      const long from = after.load();
      return from >= 0 && i >= from && times.fetch_sub(1) > 0;
    }
  };
  Failure readFailure, writeFailure, waitFailure;

  std::vector<AlsaCard> cards() override { return cardList; }
  std::vector<std::pair<int, std::string>> pcmDevices(int card, bool capture) override {
    if (!capture) return {};
    for (auto& c : cardList)
      if (c.index == card) return {{0, "ALC Analog"}};
    return {};
  }
  int mixerOpen(int, Handle& mixer) override {
    mixer = this;
    return 0;
  }
  std::vector<AlsaMixerElement> mixerElements(Handle) override { return elements; }
  int getCaptureSwitch(Handle, const AlsaMixerElement& e, bool& on) override {
    on = switches[e.name];
    return 0;
  }
  int setCaptureSwitch(Handle, const AlsaMixerElement& e, bool on) override {
    switches[e.name] = on;
    return 0;
  }
  int getCaptureItem(Handle, const AlsaMixerElement&, unsigned& i) override {
    i = item;
    return 0;
  }
  int setCaptureItem(Handle, const AlsaMixerElement& e, unsigned i) override {
    if (i >= e.captureItems.size()) return -EINVAL;
    item = i;
    return 0;
  }
  void mixerClose(Handle) override {}

  int pcmOpen(const std::string& name, bool capture, Handle& pcm) override {
    if (openError) return openError;
    auto it = names_.find(name);
    return pcm_->pcmOpen(it == names_.end() ? name : it->second, capture, pcm);
  }
  int pcmConfigure(Handle p, PcmSampleFormat f, unsigned c, unsigned r, unsigned period) override {
    return pcm_->pcmConfigure(p, f, c, r, period);
  }
  bool pcmSupports(Handle p, PcmSampleFormat f, unsigned c, unsigned r) override {
    return pcm_->pcmSupports(p, f, c, r);
  }
  int pcmWait(Handle p, int ms) override {
    return waitFailure.hit() ? waitFailure.error.load() : pcm_->pcmWait(p, ms);
  }
  long pcmRead(Handle p, void* b, unsigned long n) override {
    return readFailure.hit() ? readFailure.error.load() : pcm_->pcmRead(p, b, n);
  }
  long pcmWrite(Handle p, const void* b, unsigned long n) override {
    return writeFailure.hit() ? writeFailure.error.load() : pcm_->pcmWrite(p, b, n);
  }
  int pcmRecover(Handle p, int e) override { return pcm_->pcmRecover(p, e); }
  int pcmDrain(Handle p) override { return pcm_->pcmDrain(p); }
  void pcmClose(Handle p) override { pcm_->pcmClose(p); }

 private:
  std::shared_ptr<AlsaSeam> pcm_;
  std::map<std::string, std::string> names_;
};

struct AlsaRig {
  QTemporaryDir dir;
  std::shared_ptr<AlsaSeam> real;
  std::shared_ptr<FakeAlsa> seam;
  std::vector<int16_t> input;

  AlsaRig() {
    // 44 100 Hz stereo 16-bit ramp: frame i holds (i, -i).
    for (int i = 0; i < 44100; ++i) {
      input.push_back(static_cast<int16_t>(i));
      input.push_back(static_cast<int16_t>(-i));
    }
    QFile in(dir.filePath("in.raw"));
    in.open(QIODevice::WriteOnly);
    in.write(reinterpret_cast<const char*>(input.data()), qint64(input.size() * 2));
    in.close();
    const std::string config =
        "pcm.null { type null }\n"
        "pcm.vistrel_in { type file slave.pcm \"null\" file \"/dev/null\" infile \"" +
        dir.filePath("in.raw").toStdString() +
        "\" format \"raw\" }\n"
        "pcm.vistrel_out { type file slave.pcm \"null\" file \"" +
        dir.filePath("out.raw").toStdString() + "\" format \"raw\" }\n";
    real = AlsaSeam::withConfiguration(config);
    seam = std::make_shared<FakeAlsa>(
        real, std::map<std::string, std::string>{{"plughw:CARD=Test,DEV=0", "vistrel_in"},
                                                 {"default", "vistrel_out"}});
  }
  AlsaCaptureDevice device() const { return {{0, "Test", "Test Card"}, 0, "ALC Analog"}; }
};

std::shared_ptr<IPin> pinAt(const std::shared_ptr<IBaseFilter>& f, int i) {
  std::shared_ptr<IEnumPins> pins;
  f->EnumPins(pins);
  return pins->all().at(static_cast<size_t>(i));
}

QString pinName(const std::shared_ptr<IPin>& p) {
  PIN_INFO info;
  p->QueryPinInfo(info);
  return info.achName;
}

class BlockSink : public BaseFilter {
 public:
  BlockSink() : BaseFilter(CLSID_NullRenderer, QStringLiteral("sink")) { addPin(std::make_shared<In>(this)); }
  std::vector<std::vector<uint8_t>> blocks() {
    std::lock_guard g(lock);
    return received;
  }
  std::mutex lock;
  std::vector<std::vector<uint8_t>> received;
  std::vector<REFERENCE_TIME> starts;

 private:
  class In : public BaseInputPin {
   public:
    explicit In(BlockSink* s) : BaseInputPin(s, QStringLiteral("In")), sink_(s) {}
    HRESULT CheckMediaType(const MediaType&) override { return S_OK; }

   protected:
    HRESULT receiveSample(const std::shared_ptr<MediaSample>& s) override {
      std::lock_guard g(sink_->lock);
      sink_->received.emplace_back(s->data(), s->data() + s->GetActualDataLength());
      REFERENCE_TIME a = -1, b = -1;
      s->GetTime(&a, &b);
      sink_->starts.push_back(a);
      return S_OK;
    }

   private:
    BlockSink* sink_;
  };
};

bool waitForEvent(FilterGraph& graph, int32_t code, GraphEvent& out) {
  for (int i = 0; i < 100; ++i)
    if (graph.GetEvent(out, 100) == S_OK && out.code == code) return true;
  return false;
}

template <class F>
bool eventually(F f) {
  for (int i = 0; i < 500; ++i) {
    if (f()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

}  // namespace

TEST(AlsaCapture, ReadsTheDeviceThroughAlsaInStampedBlocks) {
  AlsaRig rig;
  ASSERT_TRUE(rig.real);
  auto filter = std::make_shared<AlsaCaptureFilter>(rig.seam, rig.device());
  ASSERT_FALSE(filter->formats().empty());
  EXPECT_EQ(filter->formats().front(), MediaType::pcm(44100, 2, 16));
  auto graph = FilterGraph::create();
  auto sink = std::make_shared<BlockSink>();
  graph->AddFilter(filter, QStringLiteral("mic"));
  graph->AddFilter(sink, QStringLiteral("sink"));
  ASSERT_EQ(interfaceOf<IAMStreamConfig>(pinAt(filter, 0))->SetFormat(MediaType::pcm(44100, 2, 16)), S_OK);
  ASSERT_EQ(graph->ConnectDirect(pinAt(filter, 0), pinAt(sink, 0), nullptr), S_OK);
  ASSERT_EQ(graph->Run(), S_OK);
  ASSERT_TRUE(eventually([&] { return sink->blocks().size() >= 3; }));
  EXPECT_EQ(graph->Stop(), S_OK);
  const auto blocks = sink->blocks();
  ASSERT_GE(blocks.size(), 3u);
  EXPECT_EQ(blocks[0].size(), 882u * 4);  // 20 ms
  // The bytes are the file's, in order.
  std::vector<uint8_t> joined;
  for (size_t i = 0; i < 3; ++i) joined.insert(joined.end(), blocks[i].begin(), blocks[i].end());
  EXPECT_EQ(0, std::memcmp(joined.data(), rig.input.data(), joined.size()));
  {
    // Released before the next run: the streaming thread takes it in every Receive.
    std::lock_guard g(sink->lock);
    EXPECT_EQ(sink->starts[1] - sink->starts[0], 882 * UNITS / 44100);
  }
  // A second run works after the teardown.
  ASSERT_EQ(graph->Run(), S_OK);
  EXPECT_EQ(graph->Stop(), S_OK);
}

TEST(AlsaCapture, BusyDeviceFailsTheRunWithAMessage) {
  AlsaRig rig;
  auto filter = std::make_shared<AlsaCaptureFilter>(rig.seam, rig.device());
  auto graph = FilterGraph::create();
  auto sink = std::make_shared<BlockSink>();
  graph->AddFilter(filter, QStringLiteral("mic"));
  graph->AddFilter(sink, QStringLiteral("sink"));
  ASSERT_EQ(graph->ConnectDirect(pinAt(filter, 0), pinAt(sink, 0), nullptr), S_OK);
  rig.seam->openError = -EBUSY;
  testing::internal::CaptureStderr();
  EXPECT_TRUE(FAILED(graph->Run()));
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Test Card: ALC Analog (plughw:CARD=Test,DEV=0): device busy"), std::string::npos)
      << err;
  EXPECT_EQ(graph->Stop(), S_OK);
}

// The card is unplugged while it streams: the read (or the wait for data) answers that the device
// is gone. The filter says so once, raises EC_DEVICE_LOST once, ends its streaming thread, and
// stops showing its output pin, while the graph still stops and takes it out.
TEST(AlsaCapture, AnUnpluggedCardWhileStreamingIsLostOnceAndItsThreadEnds) {
  struct Case {
    const char* what;
    int readError;
    int waitError;
  };
  constexpr long kAlways = 1L << 40;
  const Case cases[] = {
      {"the read says no device", -ENODEV, 0},
      {"the read says bad state", -EBADFD, 0},
      {"the wait says no device", -EAGAIN, -ENODEV},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    AlsaRig rig;
    auto filter = std::make_shared<AlsaCaptureFilter>(rig.seam, rig.device());
    auto graph = FilterGraph::create();
    auto builder = CaptureGraphBuilder2::create();
    builder->SetFiltergraph(graph);
    auto sink = std::make_shared<BlockSink>();
    graph->AddFilter(filter, QStringLiteral("mic"));
    graph->AddFilter(sink, QStringLiteral("sink"));
    ASSERT_EQ(graph->ConnectDirect(pinAt(filter, 0), pinAt(sink, 0), nullptr), S_OK);
    rig.seam->readFailure.set(10, kAlways, c.readError);
    if (c.waitError) rig.seam->waitFailure.set(0, kAlways, c.waitError);
    testing::internal::CaptureStderr();
    ASSERT_EQ(graph->Run(), S_OK);
    GraphEvent e;
    ASSERT_TRUE(waitForEvent(*graph, EC_DEVICE_LOST, e));
    EXPECT_EQ(e.param2, 0);
    EXPECT_EQ(e.object, filter);
    EXPECT_TRUE(filter->deviceLost());
    // The streaming thread has ended: it reads and waits no more.
    const long reads = rig.seam->readFailure.calls, waits = rig.seam->waitFailure.calls;
    std::shared_ptr<IPin> out;
    EXPECT_TRUE(FAILED(builder->FindPin(filter, PINDIR_OUTPUT, nullptr, nullptr, false, 0, out)));
    EXPECT_EQ(graph->Stop(), S_OK);
    EXPECT_EQ(rig.seam->readFailure.calls, reads);
    EXPECT_EQ(rig.seam->waitFailure.calls, waits);
    EXPECT_NE(graph->GetEvent(e, 0), S_OK);
    EXPECT_TRUE(FAILED(graph->Run()));
    graph->Stop();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Test Card: ALC Analog: the device was removed"), std::string::npos) << err;
    EXPECT_EQ(err.find("removed"), err.rfind("removed")) << err;
    // Taken out of the graph, the filter leaves no link behind, hidden pin or not.
    ASSERT_EQ(graph->RemoveFilter(filter), S_OK);
    std::shared_ptr<IPin> peer;
    EXPECT_NE(pinAt(sink, 0)->ConnectedTo(peer), S_OK);
    filter->setDeviceBack();
    EXPECT_EQ(builder->FindPin(filter, PINDIR_OUTPUT, nullptr, nullptr, false, 0, out), S_OK);
  }
}

TEST(AlsaCapture, MixerCaptureSourcesAreNamedInputPins) {
  struct Case {
    const char* what;
    std::vector<AlsaMixerElement> elements;
  };
  // The replayed card leaves every switch as it is told: turning the others off is ours to do.
  const Case cases[] = {
      {"switches", {{"Line", 0, true, {}}, {"Mic", 0, true, {}}, {"CD", 0, true, {}}}},
      {"selector", {{"Capture Source", 0, false, {"Line", "Mic", "CD"}}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    AlsaRig rig;
    rig.seam->elements = c.elements;
    rig.seam->switches = {{"Line", true}, {"CD", true}};  // several sources on, as a mixer may leave them
    auto filter = std::make_shared<AlsaCaptureFilter>(rig.seam, rig.device());
    std::shared_ptr<IEnumPins> pins;
    filter->EnumPins(pins);
    ASSERT_EQ(pins->all().size(), 4u);
    EXPECT_EQ(pinName(pinAt(filter, 0)), QStringLiteral("Capture"));
    EXPECT_EQ(pinName(pinAt(filter, 1)), QStringLiteral("Line"));
    EXPECT_EQ(pinName(pinAt(filter, 2)), QStringLiteral("Mic"));
    EXPECT_EQ(pinName(pinAt(filter, 3)), QStringLiteral("CD"));
    auto mic = interfaceOf<IAMAudioInputMixer>(pinAt(filter, 2));
    auto line = interfaceOf<IAMAudioInputMixer>(pinAt(filter, 1));
    ASSERT_TRUE(mic && line);
    ASSERT_EQ(line->put_Enable(true), S_OK);
    ASSERT_EQ(mic->put_Enable(true), S_OK);
    bool on = false;
    mic->get_Enable(on);
    EXPECT_TRUE(on);
    line->get_Enable(on);
    EXPECT_FALSE(on);  // one capture source at a time
    auto cd = interfaceOf<IAMAudioInputMixer>(pinAt(filter, 3));
    cd->get_Enable(on);
    EXPECT_FALSE(on);
  }
}

// Which mixer elements are capture sources, as cards name them.
TEST(AlsaMixer, CaptureSourcesAreSelectorsAndCaptureSwitchesButNotTheMasterSwitch) {
  struct Case {
    const char* card;
    std::vector<AlsaMixerFacts> elements;
    std::vector<std::string> sources;  // name, or name:item for a selector's items
  };
  auto sw = [](const char* name, bool active = true) { return AlsaMixerFacts{name, 0, active, true, {}}; };
  auto volume = [](const char* name) { return AlsaMixerFacts{name, 0, true, false, {}}; };
  auto selector = [](const char* name, std::vector<std::string> items) {
    return AlsaMixerFacts{name, 0, true, false, std::move(items)};
  };
  const Case cases[] = {
      {"non-exclusive switches (Sound Blaster 16)",
       {volume("Master"), sw("Line"), sw("Mic"), sw("CD"), volume("PCM")},
       {"Line", "Mic", "CD"}},
      {"exclusive switches beside the master capture switch",
       {sw("Capture"), sw("Line"), sw("Mic"), sw("CD")},
       {"Line", "Mic", "CD"}},
      {"a selector (HD Audio)",
       {sw("Capture"), selector("Input Source", {"Front Mic", "Line"}), volume("Mic Boost")},
       {"Input Source:Front Mic", "Input Source:Line"}},
      {"a selector and switches that repeat its items",
       {selector("Capture Source", {"Mic", "Line"}), sw("Mic"), sw("Line"), sw("Aux")},
       {"Capture Source:Mic", "Capture Source:Line", "Aux"}},
      {"an inactive element", {sw("Line"), sw("Mic", false)}, {"Line"}},
      {"nothing to choose", {volume("Master"), sw("Capture")}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.card);
    std::vector<std::string> got;
    for (const auto& e : captureSources(c.elements)) {
      if (e.captureItems.empty()) {
        EXPECT_TRUE(e.captureSwitch) << e.name;
        got.push_back(e.name);
      }
      for (const auto& item : e.captureItems) got.push_back(e.name + ":" + item);
    }
    EXPECT_EQ(got, c.sources);
  }
}

TEST(AlsaDevicesList, CaptureDevicesAreMonikersAndARemovedCardIsLost) {
  AlsaRig rig;
  AlsaDevices devices(rig.seam);
  auto list = devices.monikers(CLSID_AudioInputDeviceCategory);
  ASSERT_EQ(list.size(), 1u);
  QVariant name;
  list[0]->Read(QStringLiteral("FriendlyName"), name);
  EXPECT_EQ(name.toString(), QStringLiteral("Test Card: ALC Analog"));
  EXPECT_TRUE(devices.monikers(CLSID_VideoInputDeviceCategory).empty());
  std::shared_ptr<IBaseFilter> filter;
  ASSERT_EQ(list[0]->BindToObject(filter), S_OK);
  auto graph = FilterGraph::create();
  graph->AddFilter(filter, QStringLiteral("mic"));

  auto card = rig.seam->cardList;
  rig.seam->cardList.clear();
  testing::internal::CaptureStderr();
  EXPECT_TRUE(devices.rescan());
  testing::internal::GetCapturedStderr();
  GraphEvent e;
  ASSERT_EQ(graph->GetEvent(e, 1000), S_OK);
  EXPECT_EQ(e.code, EC_DEVICE_LOST);
  EXPECT_EQ(e.param2, 0);
  EXPECT_TRUE(devices.monikers(CLSID_AudioInputDeviceCategory).empty());
  std::shared_ptr<IBaseFilter> again;
  EXPECT_TRUE(FAILED(list[0]->BindToObject(again)));

  rig.seam->cardList = card;  // plugged back: the old moniker is the same device again
  EXPECT_TRUE(devices.rescan());
  ASSERT_EQ(graph->GetEvent(e, 1000), S_OK);
  EXPECT_EQ(e.param2, 1);
  auto back = devices.monikers(CLSID_AudioInputDeviceCategory);
  ASSERT_EQ(back.size(), 1u);
  EXPECT_EQ(back[0]->IsEqual(list[0]), S_OK);
  EXPECT_EQ(list[0]->BindToObject(again), S_OK);
}

TEST(AlsaRenderer, PlaysThroughAlsaWithTheGraphVolume) {
  struct Case {
    int32_t volume;
    int peakMin, peakMax;
  };
  for (const Case c : {Case{0, 7900, 8000}, Case{-602, 3900, 4050}, Case{-10000, 0, 0}}) {
    SCOPED_TRACE(c.volume);
    AlsaRig rig;
    auto renderer = std::make_shared<AlsaAudioRenderer>(rig.real, "vistrel_out");
    auto tone = std::make_shared<vistrel::platform::devices::ToneMicrophone>(QStringLiteral("tone"));
    auto graph = FilterGraph::create();
    graph->AddFilter(tone, QStringLiteral("tone"));
    graph->AddFilter(renderer, QStringLiteral("Default DirectSound Device"));
    ASSERT_EQ(graph->ConnectDirect(pinAt(tone, 0), pinAt(renderer, 0), nullptr), S_OK);
    ASSERT_EQ(graph->put_Volume(c.volume), S_OK);
    ASSERT_EQ(graph->Run(), S_OK);
    EXPECT_TRUE(renderer->playing());
    ASSERT_TRUE(eventually([&] { return renderer->framesPlayed() >= 4410; }));
    EXPECT_EQ(graph->Stop(), S_OK);
    QFile out(rig.dir.filePath("out.raw"));
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    const QByteArray bytes = out.readAll();
    ASSERT_GE(bytes.size(), 4410 * 4);
    int peak = 0;
    const auto* s = reinterpret_cast<const int16_t*>(bytes.constData());
    for (int i = 0; i < bytes.size() / 2; ++i) peak = std::max(peak, std::abs(int(s[i])));
    EXPECT_GE(peak, c.peakMin);
    EXPECT_LE(peak, c.peakMax);
  }
}

TEST(AlsaRenderer, WithoutADeviceItConsumesAndSaysWhySoOnce) {
  struct Case {
    const char* what;
    bool fake;      // through the replayed card (else real libasound)
    int openError;  // what opening "default" answers on the replayed card
    const char* words;
  };
  const Case cases[] = {
      {"missing", false, 0, "no sound output (no_such_device: "},
      {"busy", true, -EBUSY, "the sound output \"default\" is busy (another program is using it)"},
      {"denied", true, -EACCES, "no sound output (default: permission denied"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    AlsaRig rig;
    rig.seam->openError = c.openError;
    auto renderer = c.fake ? std::make_shared<AlsaAudioRenderer>(rig.seam, "default")
                           : std::make_shared<AlsaAudioRenderer>(rig.real, "no_such_device");
    auto tone = std::make_shared<vistrel::platform::devices::ToneMicrophone>(QStringLiteral("tone"));
    auto graph = FilterGraph::create();
    graph->AddFilter(tone, QStringLiteral("tone"));
    graph->AddFilter(renderer, QStringLiteral("Default DirectSound Device"));
    ASSERT_EQ(graph->ConnectDirect(pinAt(tone, 0), pinAt(renderer, 0), nullptr), S_OK);
    testing::internal::CaptureStderr();
    ASSERT_EQ(graph->Run(), S_OK);
    EXPECT_FALSE(renderer->playing());
    ASSERT_TRUE(eventually([&] { return renderer->framesPlayed() >= 2205; }));
    graph->Stop();
    ASSERT_EQ(graph->Run(), S_OK);
    graph->Stop();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(c.words), std::string::npos) << err;
    EXPECT_EQ(err.find("vistrel:"), err.rfind("vistrel:")) << err;  // once, not once per run
  }
}

// The playback device fails after a few blocks: what ALSA can restart goes on playing unnoticed;
// a device gone for good is said once, the graph hears of it and keeps running, and the sound is
// consumed at the clock's pace from then on.
TEST(AlsaRenderer, ADeviceFailingWhilePlayingRecoversOrIsSaidAndConsumed) {
  struct Case {
    const char* what;
    int writeError;
    long times;
    int waitError;  // answered by the wait once writes say "try again"
    bool recovers;
  };
  constexpr long kAlways = 1L << 40;
  const Case cases[] = {
      {"an underrun", -EPIPE, 1, 0, true},
      {"a suspend", -ESTRPIPE, 1, 0, true},
      {"underruns that never end", -EPIPE, kAlways, 0, false},
      {"unplugged", -ENODEV, kAlways, 0, false},
      {"an I/O error", -EIO, kAlways, 0, false},
      {"unplugged, seen by the wait", -EAGAIN, kAlways, -ENODEV, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    AlsaRig rig;
    auto renderer = std::make_shared<AlsaAudioRenderer>(rig.seam, "default");
    auto tone = std::make_shared<vistrel::platform::devices::ToneMicrophone>(QStringLiteral("tone"));
    auto graph = FilterGraph::create();
    graph->AddFilter(tone, QStringLiteral("tone"));
    graph->AddFilter(renderer, QStringLiteral("Default DirectSound Device"));
    ASSERT_EQ(graph->ConnectDirect(pinAt(tone, 0), pinAt(renderer, 0), nullptr), S_OK);
    rig.seam->writeFailure.set(3, c.times, c.writeError);
    if (c.waitError) rig.seam->waitFailure.set(0, kAlways, c.waitError);
    testing::internal::CaptureStderr();
    ASSERT_EQ(graph->Run(), S_OK);
    ASSERT_TRUE(renderer->playing());
    GraphEvent e;
    if (c.recovers) {
      // Half a second more than the three blocks written before the failure reaches the file.
      ASSERT_TRUE(eventually([&] { return QFileInfo(rig.dir.filePath("out.raw")).size() >= 22050 * 4; }));
      EXPECT_TRUE(renderer->playing());
      EXPECT_NE(graph->GetEvent(e, 0), S_OK);
    } else {
      ASSERT_TRUE(waitForEvent(*graph, EC_ERROR_STILLPLAYING, e));
      EXPECT_FALSE(renderer->playing());
      const int64_t atFailure = renderer->framesPlayed();
      ASSERT_TRUE(eventually([&] { return renderer->framesPlayed() >= atFailure + 4410; }));
      EXPECT_NE(graph->GetEvent(e, 0), S_OK);  // one event, not one per block
    }
    EXPECT_EQ(graph->Stop(), S_OK);
    const std::string err = testing::internal::GetCapturedStderr();
    if (c.recovers) {
      EXPECT_EQ(err.find("vistrel:"), std::string::npos) << err;
    } else {
      EXPECT_NE(err.find("the sound output \"default\" stopped ("), std::string::npos) << err;
      EXPECT_EQ(err.find("vistrel:"), err.rfind("vistrel:")) << err;
    }
  }
}
