#include "platform/devices/v4l2/V4l2PropertyPages.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QSlider>
#include <QWidget>
#include <memory>

#include "platform/devices/v4l2/CollectingSink.h"
#include "platform/devices/v4l2/FakeV4l2.h"
#include "platform/devices/v4l2/V4l2Analog.h"
#include "platform/devices/v4l2/V4l2CaptureFilter.h"
#include "platform/devices/v4l2/V4l2Devices.h"
#include "platform/media/FilterGraph.h"
#include "platform/media/IAMCameraControl.h"
#include "platform/media/IAMStreamConfig.h"
#include "platform/media/IAMTVAudio.h"
#include "platform/media/IAMVfwCaptureDialogs.h"
#include "platform/media/VideoProcAmpProperties.h"
#include "platform/ui/PropertyFrame.h"

using namespace vistrel::platform::media;
using namespace vistrel::platform::devices::v4l2;
using vistrel::testing::FakeNode;
using vistrel::testing::FakeV4l2;

namespace {
struct Card {
  std::shared_ptr<FakeV4l2> kernel = std::make_shared<FakeV4l2>();
  std::shared_ptr<V4l2CaptureFilter> filter;
  V4l2DeviceInfo info;
  QWidget host;
  explicit Card(FakeNode node) {
    const std::string path = node.path;
    kernel->add(std::move(node));
    info = *probeDevice(*kernel, path);
    filter = std::make_shared<V4l2CaptureFilter>(kernel, info);
  }
  int32_t driverValue(uint32_t cid) {
    return kernel->with("/dev/video0", [&](FakeNode& n) { return n.values[cid]; });
  }
  std::shared_ptr<IPin> pin(int i) {
    std::shared_ptr<IEnumPins> pins;
    filter->EnumPins(pins);
    return pins->all().at(size_t(i));
  }
  template <class Page>
  Page* page(ISpecifyPropertyPages& pages, const GUID& id) {
    return dynamic_cast<Page*>(pages.CreatePage(id, &host));
  }
};

std::vector<GUID> pagesOf(ISpecifyPropertyPages& object) {
  std::vector<GUID> ids;
  EXPECT_EQ(object.GetPages(ids), S_OK);
  return ids;
}
}  // namespace

TEST(V4l2PropertyPages, AWebcamOffersItsControlsAndTheirChangesReachTheDriver) {
  Card card(vistrel::testing::uvcWebcam("/dev/video0"));
  EXPECT_EQ(pagesOf(*card.filter), (std::vector<GUID>{PAGE_V4l2VideoProcAmp, PAGE_V4l2CameraControl}));

  auto* amp = card.page<ControlPage>(*card.filter, PAGE_V4l2VideoProcAmp);
  ASSERT_TRUE(amp);
  EXPECT_FALSE(amp->slider(VideoProcAmp_Hue));  // the camera has no hue control
  ASSERT_TRUE(amp->slider(VideoProcAmp_Brightness));
  EXPECT_EQ(amp->slider(VideoProcAmp_Brightness)->value(), 128);
  EXPECT_FALSE(amp->autoBox(VideoProcAmp_Brightness));
  // White balance is automatic: its slider waits until the box is cleared.
  QCheckBox* autoWb = amp->autoBox(VideoProcAmp_WhiteBalance);
  ASSERT_TRUE(autoWb);
  EXPECT_TRUE(autoWb->isChecked());
  EXPECT_FALSE(amp->slider(VideoProcAmp_WhiteBalance)->isEnabled());

  amp->slider(VideoProcAmp_Brightness)->setValue(200);
  autoWb->setChecked(false);
  amp->slider(VideoProcAmp_WhiteBalance)->setValue(5000);
  ASSERT_EQ(amp->apply(), S_OK);
  EXPECT_EQ(card.driverValue(V4L2_CID_BRIGHTNESS), 200);
  EXPECT_EQ(card.driverValue(V4L2_CID_AUTO_WHITE_BALANCE), 0);
  EXPECT_EQ(card.driverValue(V4L2_CID_WHITE_BALANCE_TEMPERATURE), 5000);
  int32_t value = 0, flags = 0;
  card.filter->Get(VideoProcAmp_Brightness, value, flags);
  EXPECT_EQ(value, 200);

  // Camera control: pan in degrees on the page, arc seconds in the driver.
  auto* camera = card.page<ControlPage>(*card.filter, PAGE_V4l2CameraControl);
  ASSERT_TRUE(camera);
  ASSERT_TRUE(camera->slider(CameraControl_Pan));
  EXPECT_EQ(camera->slider(CameraControl_Pan)->minimum(), -10);
  EXPECT_EQ(camera->slider(CameraControl_Pan)->maximum(), 10);
  EXPECT_FALSE(camera->slider(CameraControl_Tilt));
  camera->slider(CameraControl_Pan)->setValue(5);
  ASSERT_EQ(camera->apply(), S_OK);
  EXPECT_EQ(card.driverValue(V4L2_CID_PAN_ABSOLUTE), 5 * 3600);
  // Nothing changed since: applying again writes nothing and succeeds.
  card.kernel->with("/dev/video0", [](FakeNode& n) { return n.values[V4L2_CID_PAN_ABSOLUTE] = 0; });
  ASSERT_EQ(camera->apply(), S_OK);
  EXPECT_EQ(card.driverValue(V4L2_CID_PAN_ABSOLUTE), 0);
  EXPECT_FALSE(card.page<ControlPage>(*card.filter, GUID_NULL));
}

TEST(V4l2PropertyPages, ACardWithoutCameraControlsHasOnlyItsAmplifierPage) {
  Card card(vistrel::testing::analogueCard("/dev/video0"));
  EXPECT_EQ(pagesOf(*card.filter), std::vector<GUID>{PAGE_V4l2VideoProcAmp});
}

TEST(V4l2PropertyPages, TheFormatPageChoosesTheStreamFormatOfItsPin) {
  Card card(vistrel::testing::uvcWebcam("/dev/video0"));
  auto pages = interfaceOf<ISpecifyPropertyPages>(card.pin(0));
  ASSERT_TRUE(pages);
  EXPECT_EQ(pagesOf(*pages), std::vector<GUID>{PAGE_V4l2StreamFormat});
  auto* page = card.page<StreamFormatPage>(*pages, PAGE_V4l2StreamFormat);
  ASSERT_TRUE(page);
  QComboBox* list = page->formats();
  ASSERT_EQ(list->count(), int(card.filter->formats().size()));
  EXPECT_EQ(list->currentIndex(), 0);  // the pin's current format
  EXPECT_EQ(list->itemText(0), QStringLiteral("YUY2 640 × 480, 30 i/s"));
  const int mjpeg = list->findText(QStringLiteral("MJPG 1280 × 720, 30 i/s"));
  ASSERT_GE(mjpeg, 0);
  list->setCurrentIndex(mjpeg);
  ASSERT_EQ(page->apply(), S_OK);
  MediaType chosen;
  interfaceOf<IAMStreamConfig>(card.pin(0))->GetFormat(chosen);
  EXPECT_EQ(StreamFormatPage::describe(chosen), QStringLiteral("MJPG 1280 × 720, 30 i/s"));

  // While the graph runs the format cannot change: the page says so and the frame stays open.
  auto graph = FilterGraph::create();
  auto sink = std::make_shared<vistrel::testing::CollectingSink>();
  graph->AddFilter(card.filter, QStringLiteral("camera"));
  graph->AddFilter(sink, QStringLiteral("sink"));
  std::shared_ptr<IEnumPins> sinkPins;
  sink->EnumPins(sinkPins);
  ASSERT_EQ(graph->ConnectDirect(card.pin(0), sinkPins->all().at(0), nullptr), S_OK);
  ASSERT_EQ(graph->Run(), S_OK);
  list->setCurrentIndex(0);
  EXPECT_EQ(page->apply(), VFW_E_NOT_STOPPED);
  graph->Stop();
}

TEST(V4l2PropertyPages, TheTunerSoundIsChosenThroughIAMTVAudioAndItsPage) {
  Card card(vistrel::testing::analogueCard("/dev/video0"));
  auto crossbar = std::make_shared<V4l2Crossbar>(card.kernel, card.info);
  auto audio = crossbar->queryInterface<IAMTVAudio>();
  ASSERT_TRUE(audio);
  int32_t modes = 0;
  ASSERT_EQ(audio->GetHardwareSupportedTVAudioModes(modes), S_OK);
  EXPECT_EQ(modes,
            AMTVAUDIO_MODE_MONO | AMTVAUDIO_MODE_STEREO | AMTVAUDIO_MODE_LANG_A | AMTVAUDIO_MODE_LANG_B);
  ASSERT_EQ(audio->GetAvailableTVAudioModes(modes), S_OK);
  EXPECT_EQ(modes, AMTVAUDIO_MODE_STEREO);
  int32_t mode = 0;
  ASSERT_EQ(audio->get_TVAudioMode(mode), S_OK);
  EXPECT_EQ(mode, AMTVAUDIO_MODE_STEREO);

  struct Case {
    int32_t mode;
    HRESULT result;
    uint32_t audmode;
  } cases[] = {
      {AMTVAUDIO_MODE_LANG_A, S_OK, V4L2_TUNER_MODE_LANG1},
      {AMTVAUDIO_MODE_LANG_B, S_OK, V4L2_TUNER_MODE_LANG2},
      {AMTVAUDIO_MODE_MONO, S_OK, V4L2_TUNER_MODE_MONO},
      {AMTVAUDIO_MODE_LANG_C, E_INVALIDARG, V4L2_TUNER_MODE_MONO},  // the hardware has no third language
      {0, E_INVALIDARG, V4L2_TUNER_MODE_MONO},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    EXPECT_EQ(audio->put_TVAudioMode(c.mode), c.result);
    EXPECT_EQ(card.kernel->with("/dev/video0", [](FakeNode& n) { return n.tuner->audmode; }), c.audmode);
  }

  auto pages = interfaceOf<ISpecifyPropertyPages>(audio);
  ASSERT_TRUE(pages);
  EXPECT_EQ(pagesOf(*pages), std::vector<GUID>{PAGE_V4l2TvAudio});
  auto* page = card.page<TvAudioPage>(*pages, PAGE_V4l2TvAudio);
  ASSERT_TRUE(page);
  ASSERT_EQ(page->modes()->count(), 4);
  EXPECT_EQ(page->modes()->currentText(), QStringLiteral("Mono"));
  page->modes()->setCurrentIndex(page->modes()->findText(QStringLiteral("Stéréo")));
  ASSERT_EQ(page->apply(), S_OK);
  EXPECT_EQ(card.kernel->with("/dev/video0", [](FakeNode& n) { return n.tuner->audmode; }),
            uint32_t(V4L2_TUNER_MODE_STEREO));
}

TEST(V4l2PropertyPages, AWebcamHasNoTvSound) {
  // A radio-less camera has no tuner, hence no crossbar and no IAMTVAudio anywhere.
  Card card(vistrel::testing::uvcWebcam("/dev/video0"));
  EXPECT_FALSE(card.filter->queryInterface<IAMTVAudio>());
  EXPECT_FALSE(hasAnalogInputs(card.info));
}

TEST(V4l2PropertyPages, DriverDialogsShowThePagesInAPropertyFrame) {
  Card card(vistrel::testing::uvcWebcam("/dev/video0"));
  auto dialogs = card.filter->queryInterface<IAMVfwCaptureDialogs>();
  ASSERT_TRUE(dialogs);
  EXPECT_EQ(dialogs->HasDialog(VfwCaptureDialog_Format), S_OK);
  EXPECT_EQ(dialogs->HasDialog(VfwCaptureDialog_Source), S_OK);
  EXPECT_EQ(dialogs->HasDialog(VfwCaptureDialog_Display), S_FALSE);
  EXPECT_EQ(dialogs->ShowDialog(VfwCaptureDialog_Display, &card.host), E_INVALIDARG);

  // The scripted frame: the user moves the brightness and confirms.
  std::vector<QString> titles;
  vistrel::platform::ui::SetPropertyFrameRunner([&](const std::vector<PropertyPage*>& pages) {
    for (auto* p : pages) {
      titles.push_back(p->title());
      if (auto* amp = dynamic_cast<ControlPage*>(p); amp && amp->slider(VideoProcAmp_Brightness))
        amp->slider(VideoProcAmp_Brightness)->setValue(17);
      if (auto* format = dynamic_cast<StreamFormatPage*>(p)) format->formats()->setCurrentIndex(1);
    }
    return true;
  });
  ASSERT_EQ(dialogs->ShowDialog(VfwCaptureDialog_Source, &card.host), S_OK);
  EXPECT_EQ(titles, (std::vector<QString>{QStringLiteral("Réglages vidéo"), QStringLiteral("Caméra")}));
  EXPECT_EQ(card.driverValue(V4L2_CID_BRIGHTNESS), 17);

  titles.clear();
  ASSERT_EQ(dialogs->ShowDialog(VfwCaptureDialog_Format, &card.host), S_OK);
  EXPECT_EQ(titles, std::vector<QString>{QStringLiteral("Format du flux")});
  MediaType chosen;
  interfaceOf<IAMStreamConfig>(card.pin(0))->GetFormat(chosen);
  EXPECT_EQ(chosen, card.filter->formats().at(1).type);

  // Cancelled: nothing is written.
  vistrel::platform::ui::SetPropertyFrameRunner([&](const std::vector<PropertyPage*>& pages) {
    for (auto* p : pages)
      if (auto* amp = dynamic_cast<ControlPage*>(p); amp && amp->slider(VideoProcAmp_Brightness))
        amp->slider(VideoProcAmp_Brightness)->setValue(99);
    return false;
  });
  ASSERT_EQ(dialogs->ShowDialog(VfwCaptureDialog_Source, &card.host), S_OK);
  EXPECT_EQ(card.driverValue(V4L2_CID_BRIGHTNESS), 17);
  vistrel::platform::ui::SetPropertyFrameRunner(nullptr);
}
