#include "platform/devices/virtual/VirtualDeviceFile.h"

#include <gtest/gtest.h>

#include <QFile>

#include "platform/devices/VirtualDevices.h"
#include "platform/devices/virtual/FrameSink.h"
#include "platform/devices/virtual/VirtualCamera.h"
#include "platform/devices/virtual/VirtualDvCamera.h"
#include "platform/devices/virtual/VirtualMpegCard.h"
#include "platform/devices/virtual/VirtualTvCard.h"
#include "platform/media/CaptureGraphBuilder2.h"
#include "platform/media/FilterGraph.h"
#include "platform/media/SystemDeviceEnum.h"
#include "platform/ui/MessageBoxes.h"
#include "support/TempRoot.h"

using namespace vistrel::platform::devices;
using namespace vistrel::platform::media;

namespace {

TEST(VirtualDeviceFile, TheDeviceKeywordsWithTheirOptions) {
  const QByteArray text =
      "dvcam Camescope DV; ntsc ; break=500+7200;;\n"
      "DVCAM  Platine\n"
      "tvcard Carte TV; sound; chain\n"
      "mpegcard Carte MPEG; aspect=0:0\n"
      "mpegencoder Encodeur\n"
      "camera Webcam; with a semicolon\n"
      "dvcam ; ntsc\n"
      "tvcard\n";
  const auto e = parseVirtualDeviceFile(text);
  ASSERT_EQ(e.size(), 6u);
  EXPECT_EQ(e[0], (VirtualDeviceEntry{VirtualDeviceKind::DvCamera,
                                      QStringLiteral("Camescope DV"),
                                      {QStringLiteral("ntsc"), QStringLiteral("break=500+7200")}}));
  EXPECT_EQ(e[1], (VirtualDeviceEntry{VirtualDeviceKind::DvCamera, QStringLiteral("Platine"), {}}));
  EXPECT_EQ(e[2], (VirtualDeviceEntry{VirtualDeviceKind::TvCard,
                                      QStringLiteral("Carte TV"),
                                      {QStringLiteral("sound"), QStringLiteral("chain")}}));
  EXPECT_EQ(e[3].kind, VirtualDeviceKind::MpegCard);
  EXPECT_EQ(e[3].options, QStringList{QStringLiteral("aspect=0:0")});
  EXPECT_EQ(e[4], (VirtualDeviceEntry{VirtualDeviceKind::MpegEncoder, QStringLiteral("Encodeur"), {}}));
  // A camera's name is the whole rest of its line.
  EXPECT_EQ(e[5],
            (VirtualDeviceEntry{VirtualDeviceKind::Camera, QStringLiteral("Webcam; with a semicolon"), {}}));

  const TvCardSettings tv = tvCardSettings(e[2].options);
  EXPECT_TRUE(tv.sound);
  EXPECT_TRUE(tv.chain);
  EXPECT_FALSE(tvCardSettings({QStringLiteral("turbo")}).error.isEmpty());
}

// Points VISTREL_DEVICES at a file of the test's root for the test's duration.
class DeviceFile {
 public:
  explicit DeviceFile(const vistrel::testing::TempRoot& root) : path_(root.file("devices.txt")) {}
  ~DeviceFile() {
    qputenv("VISTREL_DEVICES", "none");
    VirtualDevices::instance().rescan();
  }
  void write(const QByteArray& text) {
    QFile f(path_);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
    f.close();
    qputenv("VISTREL_DEVICES", path_.toLocal8Bit());
    VirtualDevices::instance().rescan();
  }

 private:
  QString path_;
};

GUID classOf(const std::shared_ptr<IMoniker>& m) {
  std::shared_ptr<IBaseFilter> f;
  if (m->BindToObject(f) != S_OK) return GUID_NULL;
  GUID clsid;
  f->GetClassID(clsid);
  return clsid;
}

TEST(VirtualDevices, EachKindInItsCategories) {
  vistrel::testing::TempRoot root;
  root.write(QStringLiteral("letter.dv"), QByteArray(200000, 'a'));
  DeviceFile file(root);
  file.write(
      "dvcam Platine; frames=50\n"
      "tvcard Carte TV\n"
      "mpegcard Carte MPEG\n"
      "mpegencoder Encodeur\n"
      "dvcam Mauvaise cassette; file=" +
      root.file(QStringLiteral("letter.dv")).toUtf8() + "\n");
  auto devs = SystemDeviceEnum::create();
  auto video = devs->monikers(CLSID_VideoInputDeviceCategory);
  ASSERT_EQ(video.size(), 5u);
  EXPECT_EQ(classOf(video[0]), CLSID_VirtualDvCamera);
  EXPECT_EQ(classOf(video[1]), CLSID_VirtualTvCard);
  EXPECT_EQ(classOf(video[2]), CLSID_VirtualMpegCard);
  EXPECT_EQ(classOf(video[3]), CLSID_VirtualMpegEncoder);
  std::shared_ptr<IBaseFilter> bad;
  auto* boxes = vistrel::platform::ui::setMessageBoxService(
      std::make_unique<vistrel::platform::ui::ScriptedMessageBoxes>());
  EXPECT_TRUE(FAILED(video[4]->BindToObject(bad)));  // not a DV tape: the device does not open
  EXPECT_EQ(static_cast<vistrel::platform::ui::ScriptedMessageBoxes*>(boxes)->asked().size(), 1u);
  vistrel::platform::ui::setMessageBoxService(nullptr);
  EXPECT_TRUE(devs->monikers(CLSID_AudioInputDeviceCategory).empty());

  auto crossbars = devs->monikers(AM_KSCATEGORY_CROSSBAR);
  ASSERT_EQ(crossbars.size(), 1u);
  // The crossbar and the capture filter of one card share it: routing one changes the other.
  std::shared_ptr<IBaseFilter> xbarFilter, cardFilter;
  ASSERT_EQ(crossbars[0]->BindToObject(xbarFilter), S_OK);
  ASSERT_EQ(video[1]->BindToObject(cardFilter), S_OK);
  auto xbar = std::dynamic_pointer_cast<VirtualCrossbar>(xbarFilter);
  auto card = std::dynamic_pointer_cast<VirtualTvCard>(cardFilter);
  ASSERT_TRUE(xbar && card);
  EXPECT_EQ(xbar->card(), card->card());
  ASSERT_EQ(xbar->Route(0, 2), S_OK);
  EXPECT_EQ(card->card()->videoSource(), TvInput::SVideo);
}

TEST(VirtualDevices, UnpluggedDeckCardAndEncoderRaiseDeviceLost) {
  vistrel::testing::TempRoot root;
  DeviceFile file(root);
  file.write("dvcam Platine; frames=50\ntvcard Carte TV\nmpegencoder Encodeur\n");
  auto graph = FilterGraph::create();
  auto video = SystemDeviceEnum::create()->monikers(CLSID_VideoInputDeviceCategory);
  ASSERT_EQ(video.size(), 3u);
  for (auto& m : video) {
    std::shared_ptr<IBaseFilter> f;
    ASSERT_EQ(m->BindToObject(f), S_OK);
    ASSERT_TRUE(SUCCEEDED(graph->AddFilter(f, QString())));
  }
  file.write("");
  int lost = 0;
  GraphEvent ev;
  while (graph->GetEvent(ev, 0) == S_OK) {
    if (ev.code == EC_DEVICE_LOST && ev.param2 == 0) ++lost;
    graph->FreeEventParams(ev);
  }
  EXPECT_EQ(lost, 3);
  std::shared_ptr<IBaseFilter> again;
  EXPECT_EQ(video[0]->BindToObject(again), VFW_E_DEVICE_LOST);
}

// A device whose hardware is gone answers no output pin 0 (the program's test of a live
// device), while the running graph still stops, and taking the device out of it unlinks the
// filter it fed. A device that comes back shows its outputs again.
TEST(VirtualDevices, ALostDeviceShowsNoOutputPinAndLeavesTheGraphCleanly) {
  vistrel::testing::TempRoot root;
  DeviceFile file(root);
  const QByteArray devices =
      "camera Webcam\ndvcam Platine; frames=50\ntvcard Carte TV\nmpegcard Carte MPEG\nmicrophone Micro\n";
  file.write(devices);
  auto graph = FilterGraph::create();
  auto builder = CaptureGraphBuilder2::create();
  builder->SetFiltergraph(graph);
  auto enumerator = SystemDeviceEnum::create();
  auto monikers = enumerator->monikers(CLSID_VideoInputDeviceCategory);
  for (const auto& m : enumerator->monikers(CLSID_AudioInputDeviceCategory)) monikers.push_back(m);
  ASSERT_EQ(monikers.size(), 5u);
  std::vector<std::shared_ptr<IBaseFilter>> sources;
  std::vector<std::shared_ptr<vistrel::testing::FrameSink>> sinks;
  for (const auto& m : monikers) {
    std::shared_ptr<IBaseFilter> f;
    ASSERT_EQ(m->BindToObject(f), S_OK);
    ASSERT_TRUE(SUCCEEDED(graph->AddFilter(f, QString())));
    std::shared_ptr<IPin> out;
    ASSERT_EQ(builder->FindPin(f, PINDIR_OUTPUT, nullptr, nullptr, false, 0, out), S_OK);
    auto sink = std::make_shared<vistrel::testing::FrameSink>();
    graph->AddFilter(sink, QString());
    std::shared_ptr<IEnumPins> in;
    sink->EnumPins(in);
    ASSERT_EQ(graph->ConnectDirect(out, in->all().front(), nullptr), S_OK);
    sources.push_back(f);
    sinks.push_back(sink);
  }
  ASSERT_EQ(graph->Run(), S_OK);
  file.write("");  // every device unplugged while the graph runs
  for (const auto& f : sources) {
    std::shared_ptr<IPin> out;
    EXPECT_TRUE(FAILED(builder->FindPin(f, PINDIR_OUTPUT, nullptr, nullptr, false, 0, out)));
    EXPECT_FALSE(out);
    std::shared_ptr<IEnumPins> pins;
    ASSERT_EQ(f->EnumPins(pins), S_OK);
    for (const auto& p : pins->all()) {
      PIN_DIRECTION dir;
      p->QueryDirection(dir);
      EXPECT_EQ(dir, PINDIR_INPUT);  // a card's analogue inputs stay
    }
  }
  EXPECT_EQ(graph->Stop(), S_OK);
  // Back again (a replugged device): the outputs show, still linked.
  auto camera = std::dynamic_pointer_cast<VirtualCamera>(sources[0]);
  ASSERT_TRUE(camera);
  camera->setDeviceLost(false);
  std::shared_ptr<IPin> back;
  ASSERT_EQ(builder->FindPin(sources[0], PINDIR_OUTPUT, nullptr, nullptr, false, 0, back), S_OK);
  std::shared_ptr<IPin> peer;
  EXPECT_EQ(back->ConnectedTo(peer), S_OK);
  camera->setDeviceLost(true);
  for (size_t i = 0; i < sources.size(); ++i) {
    ASSERT_EQ(graph->RemoveFilter(sources[i]), S_OK);
    std::shared_ptr<IEnumPins> in;
    sinks[i]->EnumPins(in);
    std::shared_ptr<IPin> linked;
    EXPECT_EQ(in->all().front()->ConnectedTo(linked), VFW_E_NOT_CONNECTED) << i;
  }
  EXPECT_EQ(graph->Run(), S_OK);  // what is left runs and stops
  EXPECT_EQ(graph->Stop(), S_OK);
}

}  // namespace
