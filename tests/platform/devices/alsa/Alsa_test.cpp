#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <chrono>
#include <map>
#include <thread>

#include "platform/devices/alsa/AlsaAudioRenderer.h"
#include "platform/devices/alsa/AlsaCaptureFilter.h"
#include "platform/devices/alsa/AlsaDevices.h"
#include "platform/devices/virtual/ToneMicrophone.h"
#include "platform/media/BaseInputPin.h"
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
  int pcmWait(Handle p, int ms) override { return pcm_->pcmWait(p, ms); }
  long pcmRead(Handle p, void* b, unsigned long n) override { return pcm_->pcmRead(p, b, n); }
  long pcmWrite(Handle p, const void* b, unsigned long n) override { return pcm_->pcmWrite(p, b, n); }
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
        real, std::map<std::string, std::string>{{"plughw:CARD=Test,DEV=0", "vistrel_in"}});
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

TEST(AlsaCapture, MixerCaptureSourcesAreNamedInputPins) {
  struct Case {
    const char* what;
    std::vector<AlsaMixerElement> elements;
  };
  const Case cases[] = {
      {"switches", {{"Line", 0, true, {}}, {"Mic", 0, true, {}}, {"CD", 0, true, {}}}},
      {"selector", {{"Capture Source", 0, false, {"Line", "Mic", "CD"}}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    AlsaRig rig;
    rig.seam->elements = c.elements;
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

TEST(AlsaRenderer, WithoutADeviceItConsumesAndSaysSoOnce) {
  AlsaRig rig;
  auto renderer = std::make_shared<AlsaAudioRenderer>(rig.real, "no_such_device");
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
  EXPECT_NE(err.find("no sound output"), std::string::npos) << err;
  EXPECT_EQ(err.find("no sound output"), err.rfind("no sound output"));
}
