// The engine with the virtual DV camcorder and the virtual analogue capture card.
#include <gtest/gtest.h>

#include <QDialog>
#include "engine/EngineTestFilters.h"
#include "engine/Tdm.h"

#include "platform/devices/virtual/VirtualTvCard.h"
#include "platform/media/filters/NullRenderer.h"
#include "platform/ui/PropertyFrame.h"
#include "sources/Crossbar.h"
#include "sources/DVCaptureDevice.h"
#include "sources/Sources.h"
#include "sources/VideoCaptureDevice.h"

using namespace vistrel::platform::media;
using namespace vistrel::engine;
using namespace vistrel::sources;
using vistrel::platform::devices::VirtualTvCard;
using vistrel::testing::VirtualDeviceSet;

namespace {

QString friendly(const std::shared_ptr<IMoniker>& m) {
  QVariant v;
  m->Read(QStringLiteral("FriendlyName"), v);
  return v.toString();
}

// Disconnects what is still connected before the sources and devices go (a failed assertion
// leaves the test early).
struct DisconnectAtEnd {
  Tdm& dm;
  ~DisconnectAtEnd() {
    if (auto* v = dm.CurrentVideoSource()) dm.Disconnect(*v, true);
    if (auto* a = dm.CurrentAudioSource()) dm.Disconnect(*a, true);
    dm.Engine().crossbars = nullptr;
  }
};

const SettingsMenuEntry* entryNamed(const SettingsMenu& menu, const QString& caption) {
  for (const auto& e : menu)
    if (e.caption == caption) return &e;
  return nullptr;
}

TEST(TdmDv, VideoDisconnectKeepsTheCamcorderForItsSoundAndStopCaptureRestoresFullSize) {
  VirtualDeviceSet devices("dvcam Caméscope\n");
  Tdm dm;
  auto renderer = NullRenderer::create();
  dm.SetVideoRenderer(renderer);
  auto monikers = devices.monikers(CLSID_VideoInputDeviceCategory);
  ASSERT_EQ(monikers.size(), 1u);
  TDVCaptureDevice dv(dm.Engine(), monikers[0], friendly(monikers[0]), 1);
  ASSERT_TRUE(dv.Ready);
  TVideoSource video(&dv, 1);
  TAudioSource audio(&dv, 1);
  ASSERT_TRUE(video.Valid());
  ASSERT_TRUE(audio.Valid());
  DisconnectAtEnd guard{dm};

  ASSERT_TRUE(dm.Connect(video));
  ASSERT_TRUE(dm.Connect(audio));
  EXPECT_EQ(dm.Engine().VideoInfo.VideoWidth, 720);
  auto source = dv.SourceFilter->filter();

  // The half-size preview of a DivX recording is undone by StopCapture.
  QString shown;
  dm.ShowVideoDescription = [&](const QString& text) { shown = text; };
  dm.Engine().DVHalfSize = true;
  EXPECT_TRUE(dm.StopCapture());
  EXPECT_FALSE(dm.Engine().DVHalfSize);
  EXPECT_TRUE(video.Connected);
  EXPECT_EQ(dm.CurrentVideoSource(), &video);
  EXPECT_EQ(shown, QStringLiteral("720x576 - 25.00 fps"));
  EXPECT_TRUE(audio.Connected);

  // Taking the video away keeps the device for the sound.
  ASSERT_TRUE(dm.Disconnect(video, true));
  EXPECT_TRUE(dm.Graph()->contains(source));
  EXPECT_TRUE(audio.Connected);
  ASSERT_TRUE(dm.Disconnect(audio, true));
  EXPECT_FALSE(dm.Graph()->contains(source));
}

TEST(TdmCaptureCard, CrossbarObjectInputsMenuAndDriverDialogs) {
  VirtualDeviceSet devices("tvcard Carte TV; sound\n");
  Tdm dm;
  auto renderer = NullRenderer::create();
  dm.SetVideoRenderer(renderer);
  TMonikerList crossbars;
  crossbars.Populate();
  ASSERT_GT(crossbars.Count(), 0);
  dm.Engine().crossbars = &crossbars;
  auto monikers = devices.monikers(CLSID_VideoInputDeviceCategory);
  ASSERT_EQ(monikers.size(), 1u);
  TVideoCaptureDevice card(dm.Engine(), monikers[0], friendly(monikers[0]), 1);
  ASSERT_TRUE(card.Ready);
  TVideoSource source(&card, 1);
  TAudioSource sound(&card, 1);
  DisconnectAtEnd guard{dm};

  ASSERT_TRUE(dm.Connect(source));
  ASSERT_NE(dm.Crossbar(), nullptr);
  EXPECT_EQ(dm.CrossbarInputCount, 3);
  ASSERT_NE(dm.FirstCrossbar, nullptr);
  EXPECT_NE(dm.TVTuner, nullptr);

  SettingsMenu menu;
  dm.FillVideoSettings(menu);
  const auto* inputs = entryNamed(menu, kMenuVideoInputs);
  ASSERT_NE(inputs, nullptr);
  int tuner = -1;
  for (size_t i = 0; i < inputs->submenu.size(); ++i) {
    if (inputs->submenu[i].caption == QStringLiteral("Video Tuner")) tuner = int(i);
    EXPECT_EQ(inputs->submenu[i].checked, inputs->submenu[i].caption == QStringLiteral("Video Tuner"));
  }
  ASSERT_GE(tuner, 0);

  // The card's driver has its own dialogs, so its property pages are not offered.
  QStringList captions;
  for (const auto& e : menu) captions << e.caption;
  EXPECT_EQ(captions, (QStringList{kMenuFormatVideo, kMenuDisplayVideo, kMenuSourceVideo, QStringLiteral("-"),
                                   kMenuVideoInputs}));
  int dialogs = 0, reconnects = 0;
  VirtualTvCard::setDialogRunner([&](QDialog&) {
    ++dialogs;
    return int(QDialog::Rejected);
  });
  dm.OnSettingsChanged = [&](bool video) { reconnects += video ? 1 : 100; };
  menu[0].action();
  VirtualTvCard::setDialogRunner(nullptr);
  EXPECT_EQ(dialogs, 1);
  EXPECT_EQ(reconnects, 1);

  // After the crossbar's pages, "Video Input Select" follows what output 0 is routed to.
  ASSERT_EQ(dm.FirstCrossbar->Route(0, 2), S_OK);
  dm.UpdateVideoInputFromCrossbar();
  EXPECT_EQ(dm.VideoInputSelect(), 2);

  // The card's sound: its audio menu offers the same driver dialogs, and reconnects the audio.
  ASSERT_TRUE(sound.Valid());
  ASSERT_TRUE(dm.Connect(sound));
  SettingsMenu audioMenu;
  dm.FillAudioSettings(audioMenu);
  QStringList audioCaptions;
  for (const auto& e : audioMenu) audioCaptions << e.caption;
  EXPECT_EQ(audioCaptions, (QStringList{kMenuFormatVideo, kMenuDisplayVideo, kMenuSourceVideo}));
  VirtualTvCard::setDialogRunner([](QDialog&) { return int(QDialog::Rejected); });
  reconnects = 0;
  audioMenu[2].action();
  VirtualTvCard::setDialogRunner(nullptr);
  EXPECT_EQ(reconnects, 100);

  // Its video going away keeps the card in the graph for the sound.
  auto filter = card.SourceFilter->filter();
  ASSERT_TRUE(dm.Disconnect(source, true));
  EXPECT_TRUE(dm.Graph()->contains(filter));
  ASSERT_TRUE(dm.Disconnect(sound, true));
  EXPECT_FALSE(dm.Graph()->contains(filter));
  dm.Engine().crossbars = nullptr;
}

}  // namespace
