// The ASF writer behind the virtual devices, as the "Wmv" chain records them.
#include <gtest/gtest.h>

#include <QThread>

#include "platform/devices/virtual/ToneMicrophone.h"
#include "platform/devices/virtual/VirtualCamera.h"
#include "platform/media/CaptureGraphBuilder2.h"
#include "platform/media/IAMStreamConfig.h"
#include "platform/media/encoders/Encoders_fixture.h"
#include "platform/media/filters/AsfWriter.h"
#include "platform/wmf/WmProfileManager.h"
#include "support/TempRoot.h"

using namespace vistrel::platform;
using namespace vistrel::platform::media;
using vistrel::testing::pinOf;

namespace {

std::shared_ptr<IPin> firstOutput(const std::shared_ptr<IBaseFilter>& f) {
  for (int i = 0; i < vistrel::testing::pinCount(f); ++i) {
    auto p = pinOf(f, i);
    PIN_DIRECTION d;
    p->QueryDirection(d);
    if (d == PINDIR_OUTPUT) return p;
  }
  return nullptr;
}

TEST(AsfWriterWithDevices, RecordsTheTestCameraAndToneMicrophone) {
  vistrel::testing::TempRoot root;
  vistrel::testing::registerFilters();
  const QString file = root.file("devices.wmv");
  auto graph = FilterGraph::create();
  auto builder = CaptureGraphBuilder2::create();
  builder->SetFiltergraph(graph);
  std::shared_ptr<IBaseFilter> mux;
  std::shared_ptr<IFileSinkFilter> sink;
  ASSERT_EQ(builder->SetOutputFileName(MEDIASUBTYPE_Asf, file, mux, sink), S_OK);
  std::shared_ptr<IBaseFilter> camera =
      std::make_shared<devices::VirtualCamera>(QStringLiteral("Caméra de test"));
  std::shared_ptr<IBaseFilter> microphone =
      std::make_shared<devices::ToneMicrophone>(QStringLiteral("Microphone de test"));
  graph->AddFilter(camera, QStringLiteral("camera"));
  graph->AddFilter(microphone, QStringLiteral("microphone"));
  auto capture = firstOutput(camera);
  ASSERT_TRUE(capture);
  for (const auto& f : devices::VirtualCamera::formats()) {
    auto bmi = f.bitmapHeader();
    if (f.subtype == MEDIASUBTYPE_RGB24 && bmi && bmi->biWidth == 320 && f.averageTimePerFrame() == 400000) {
      ASSERT_EQ(interfaceOf<IAMStreamConfig>(capture)->SetFormat(f), S_OK);
      break;
    }
  }
  ASSERT_EQ(graph->ConnectDirect(capture, pinOf(mux, 1), nullptr), S_OK);
  ASSERT_EQ(graph->ConnectDirect(firstOutput(microphone), pinOf(mux, 0), nullptr), S_OK);
  std::shared_ptr<wmf::IWMProfileManager> manager;
  wmf::WMCreateProfileManager(manager);
  std::shared_ptr<wmf::IWMProfile> profile;
  ASSERT_EQ(manager->LoadProfileByID(wmf::WMProfile_Preset_Medium, profile), S_OK);
  ASSERT_EQ(interfaceOf<IConfigAsfWriter>(mux)->ConfigureFilterUsingProfile(profile), S_OK);
  ASSERT_EQ(graph->Run(), S_OK);
  QThread::msleep(1500);
  ASSERT_EQ(graph->Stop(), S_OK);

  auto info = vistrel::testing::probeFile(file);
  ASSERT_TRUE(info.opened);
  const auto* v = info.first(true);
  const auto* a = info.first(false);
  ASSERT_TRUE(v && a);
  EXPECT_EQ(v->codec, QStringLiteral("wmv2"));
  EXPECT_EQ(v->width, 320);
  EXPECT_GT(v->decodedFrames, 5);
  EXPECT_EQ(a->codec, QStringLiteral("wmav2"));
  EXPECT_GT(a->decodedFrames, 5);
}

}  // namespace
