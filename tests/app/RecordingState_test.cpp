#include "app/RecordingState.h"

#include <gtest/gtest.h>

#include <QStringList>

#include "settings/CaptureFormats.h"

namespace vistrel::app {
namespace {

using namespace settings;

// Records the operations a transition runs, answering from the given results.
class Recorder : public TRecordingSteps {
 public:
  bool startResult = true, stopResult = true, debutResult = true, finResult = true;
  QStringList log;
  bool Start() override {
    log << "start";
    return startResult;
  }
  bool Stop() override {
    log << "stop";
    return stopResult;
  }
  bool ProgrammerDebut() override {
    log << "debut";
    return debutResult;
  }
  bool ProgrammerFin() override {
    log << "fin";
    return finResult;
  }
  void AnnulerProgrammation() override { log << "annuler"; }
  void EnterState(TEtatCapture s) override { log << QStringLiteral("state%1").arg(int(s)); }
  void EchecCapture() override { log << "echec"; }
};

struct TransitionCase {
  TEtatCapture state;
  CaptureEvent event;
  bool succeed;
  const char* expected;
};

TEST(RecordingState, TransitionTable) {
  const TransitionCase cases[] = {
      {etatPreview, CaptureEvent::CaptureToggle, true, "start state2"},
      {etatPreview, CaptureEvent::CaptureToggle, false, "start"},
      {etatCapture, CaptureEvent::CaptureToggle, true, "stop state1"},
      {etatCapture, CaptureEvent::CaptureToggle, false, "stop echec"},
      {etatProgAttente, CaptureEvent::CaptureToggle, true, "start state4 fin"},
      {etatProgAttente, CaptureEvent::CaptureToggle, false, "start state1 annuler"},
      {etatProgCapture, CaptureEvent::CaptureToggle, true, "stop state1 annuler"},
      {etatProgCapture, CaptureEvent::CaptureToggle, false, "stop echec"},
      {etatPreview, CaptureEvent::ProgrammeToggle, true, "debut state3"},
      {etatPreview, CaptureEvent::ProgrammeToggle, false, "debut"},
      {etatCapture, CaptureEvent::ProgrammeToggle, true, "fin state4"},
      {etatCapture, CaptureEvent::ProgrammeToggle, false, "fin"},
      {etatProgAttente, CaptureEvent::ProgrammeToggle, true, "annuler state1"},
      // The recording goes on without an end time.
      {etatProgCapture, CaptureEvent::ProgrammeToggle, true, "annuler state2"},
      {etatPreview, CaptureEvent::StartAlarm, true, ""},
      {etatCapture, CaptureEvent::StartAlarm, true, ""},
      {etatProgAttente, CaptureEvent::StartAlarm, true, "start fin state4"},
      {etatProgAttente, CaptureEvent::StartAlarm, false, "start annuler stop state1"},
      {etatProgCapture, CaptureEvent::StartAlarm, true, ""},
      {etatPreview, CaptureEvent::EndAlarm, true, ""},
      {etatCapture, CaptureEvent::EndAlarm, true, ""},
      {etatProgAttente, CaptureEvent::EndAlarm, true, ""},
      {etatProgCapture, CaptureEvent::EndAlarm, true, "annuler stop state1"},
      // Whatever the stop returned.
      {etatProgCapture, CaptureEvent::EndAlarm, false, "annuler stop state1"},
  };
  for (const auto& c : cases) {
    Recorder r;
    r.startResult = r.stopResult = r.debutResult = r.finResult = c.succeed;
    RunTransition(c.state, c.event, r);
    EXPECT_EQ(r.log.join(' ').toStdString(), c.expected)
        << "state " << int(c.state) << " event " << int(c.event) << " success " << c.succeed;
  }
}

TEST(RecordingState, RequestsAndCutTargets) {
  struct Case {
    uint8_t format;
    RecordRequest request;
    CutTarget cut;
  };
  const Case cases[] = {
      {fcAucun, RecordRequest::None, CutTarget::None},
      {fcDV1Natif, RecordRequest::DeviceMux, CutTarget::DeviceRebuild},
      {fcDV2Natif, RecordRequest::DVType2, CutTarget::AviWriter},
      {fcMpeg2Natif, RecordRequest::Stream, CutTarget::StreamWriter},
      {fcMpeg1Natif, RecordRequest::Stream, CutTarget::StreamWriter},
      {fcAviNatif, RecordRequest::Avi, CutTarget::AviWriter},
      {fcDV2Recomp, RecordRequest::DVRecompressed, CutTarget::AviWriter},
      {fcWmv, RecordRequest::Wmv, CutTarget::AsfWriter},
      {fcImageImage, RecordRequest::Images, CutTarget::AviWriter},
      {fcDivx, RecordRequest::DivX, CutTarget::AviWriter},
      {fcDefaut, RecordRequest::None, CutTarget::None},
      {fcWav, RecordRequest::Wav, CutTarget::FileWriter},
      {fcMp3, RecordRequest::Mp3, CutTarget::FileWriter},
      {200, RecordRequest::None, CutTarget::None},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RequestFor(c.format), c.request) << int(c.format);
    EXPECT_EQ(CutTargetFor(c.format), c.cut) << int(c.format);
  }
}

TEST(RecordingState, SeparateAudioOnlyForFormatsThatRecordBothFromTwoDevices) {
  for (uint8_t f = 0; f <= fcMp3; ++f) {
    const bool excluded = f == fcDV1Natif || f == fcMpeg2Natif || f == fcMpeg1Natif || f == fcImageImage ||
                          f == fcWav || f == fcMp3;
    EXPECT_EQ(SeparateAudio(true, true, false, f), !excluded) << int(f);
    EXPECT_FALSE(SeparateAudio(true, true, true, f));
    EXPECT_FALSE(SeparateAudio(false, true, false, f));
    EXPECT_FALSE(SeparateAudio(true, false, false, f));
  }
}

TEST(RecordingState, SceneFileConditions) {
  EXPECT_TRUE(WantsSceneFile(true, true, fcDV2Natif, true, false));
  EXPECT_FALSE(WantsSceneFile(true, true, fcDV2Natif, false, false));
  EXPECT_FALSE(WantsSceneFile(true, false, fcDV2Natif, true, false));
  EXPECT_FALSE(WantsSceneFile(false, true, fcDV2Natif, true, false));
  EXPECT_FALSE(WantsSceneFile(true, true, fcWav, true, false));
  EXPECT_FALSE(WantsSceneFile(true, true, fcMp3, true, false));
  // A cut reopens one for the audio formats too.
  EXPECT_TRUE(WantsSceneFile(true, true, fcWav, true, true));
  EXPECT_TRUE(WantsSceneFile(true, true, fcMp3, true, true));

  EXPECT_EQ(SceneFileName("/v/clip_00001.avi"), "/v/clip_00001.scn");
  EXPECT_EQ(SceneFileName("/v.d/clip"), "/v.d/clip.scn");
  EXPECT_EQ(SceneFileName("/v/a.b.avi"), "/v/a.b.scn");
}

TEST(RecordingState, Questions) {
  EXPECT_EQ(
      OverwriteQuestion("/v/a.avi"),
      QString::fromUtf8("Le fichier /v/a.avi existe déjà. Voulez-vous l'écraser?\r\nSi vous cliquez sur "
                        "\"Tous\", alors plus aucune confirmation ne sera demandée"));
  EXPECT_EQ(CreateFolderQuestion("/v/new"),
            QString::fromUtf8("Le dossier /v/new n'existe pas.\r\nVoulez-vous le créer?"));
  EXPECT_EQ(
      DeleteSceneFileQuestion(12, "/v/a.scn"),
      QString::fromUtf8("12 frames ont été perdues pendant la capture.\r\nLe fichier .scn créé en temps réel "
                        "n'est probablement pas correct.\r\nIl est recommandé de le détruire et d'en recréer "
                        "un avec Kronel\r\n\r\nVoulez-vous détruire le fichier /v/a.scn?"));
}

TEST(RecordingState, StateLooks) {
  const auto& preview = InterfaceLook(etatPreview);
  const auto& capture = InterfaceLook(etatCapture);
  const auto& attente = InterfaceLook(etatProgAttente);
  const auto& prog = InterfaceLook(etatProgCapture);
  EXPECT_FALSE(preview.previewColour.isValid());
  EXPECT_EQ(preview.plateColour, QColor(Qt::black));
  EXPECT_EQ(capture.previewColour, QColor(255, 0, 0));
  EXPECT_EQ(attente.plateColour, QColor(255, 255, 0));
  EXPECT_EQ(prog.previewColour, QColor(255, 0, 255));
  EXPECT_FALSE(attente.profilesAndFoldersEnabled.has_value());
  EXPECT_EQ(preview.profilesAndFoldersEnabled, true);
  EXPECT_EQ(prog.profilesAndFoldersEnabled, false);
  EXPECT_STREQ(capture.captureCaption, "Stop Capture");
  EXPECT_STREQ(attente.captureHint, preview.captureHint);
  EXPECT_STREQ(prog.captureHint, capture.captureHint);
  EXPECT_EQ(QString::fromUtf8(preview.captureHint),
            QString::fromUtf8(
                "Capturer le flux vidéo ou audio actuel sur le disque dur.\r\nLa barre d'Espace permet "
                "aussi de lancer  la capture."));
  EXPECT_EQ(
      QString::fromUtf8(capture.captureHint),
      QString::fromUtf8("Stopper la capture.\r\nLa barre d'Espace permer aussi de stopper la capture."));
  EXPECT_EQ(preview.captureImage, kImageFromSources);
  EXPECT_EQ(attente.captureImage, kImageUnchanged);
  EXPECT_EQ(prog.progImage, kImageUnchanged);
  EXPECT_EQ(attente.captureGlyph, 14);
  EXPECT_EQ(prog.progGlyph, 30);
  EXPECT_TRUE(capture.couperEnabled && !capture.lockEnabled && !capture.sourceGroupsEnabled);
  EXPECT_TRUE(!attente.couperEnabled && attente.lockEnabled && attente.scheduleStartShown);
  EXPECT_STREQ(attente.progCaption, "Stop Prog");

  EXPECT_EQ(PreviewCaptureImage(true, fcDV2Natif), 14);
  EXPECT_EQ(PreviewCaptureImage(true, fcWav), 43);
  EXPECT_EQ(PreviewCaptureImage(true, fcMp3), 43);
  EXPECT_EQ(PreviewCaptureImage(false, fcDV2Natif), 43);
}

TEST(RecordingState, DurationIsHoursOfADay) {
  struct Case {
    int64_t ms;
    const char* text;
  };
  const Case cases[] = {
      {0, "durée 0:00 :00"},
      {999, "durée 0:00 :00"},
      {61'000, "durée 0:01 :01"},
      {(10 * 3600 + 5 * 60 + 9) * 1000LL, "durée 10:05 :09"},
      {25 * 3600 * 1000LL, "durée 1:00 :00"},
      {24 * 3600 * 1000LL - 1, "durée 23:59 :59"},
  };
  for (const auto& c : cases) EXPECT_EQ(DurationText(c.ms), QString::fromUtf8(c.text)) << c.ms;
}

TEST(RecordingState, CaptureCounts) {
  EXPECT_EQ(CaptureCountText(fcImageImage, 3, TDroppedCounts{1, 2}), "Image/Image: 3 frames");
  EXPECT_EQ(CaptureCountText(fcWav, 0, TDroppedCounts{1, 2}), "Audio Wav");
  EXPECT_EQ(CaptureCountText(fcMp3, 0, std::nullopt), "Audio Mp3");
  EXPECT_EQ(CaptureCountText(fcDV2Natif, 0, TDroppedCounts{2, 248}), "2 frames perdues / 250");
  EXPECT_EQ(CaptureCountText(fcDivx, 0, std::nullopt), "");
}

TEST(RecordingState, Summaries) {
  const std::optional<QString> cam = QStringLiteral("caméra de test"), mic = QStringLiteral("micro tonalité");
  EXPECT_EQ(SourceSummary(cam, mic, fcDV2Natif), QString::fromUtf8("Vid: CAM - Aud: mic=>natif"));
  EXPECT_EQ(SourceSummary(cam, mic, fcWav), "Aud: mic=>Wav");
  EXPECT_EQ(SourceSummary(cam, mic, fcImageImage), QString::fromUtf8("Vid: CAM=>Image/Image"));
  EXPECT_EQ(SourceSummary(std::nullopt, std::nullopt, fcDivx), "");
  EXPECT_EQ(SourceSummary(cam, std::nullopt, fcMp3), "");
  EXPECT_EQ(SourceSummary(cam, mic, fcDV2Recomp), QString::fromUtf8("Vid: CAM - Aud: mic=>dv2 rec"));

  EXPECT_FALSE(PreviewSourcesText(std::nullopt, std::nullopt, fcDivx).has_value());
  EXPECT_EQ(PreviewSourcesText(std::nullopt, mic, fcWav), "Aud: mic=>Wav");
  EXPECT_EQ(PreviewSourcesText(cam, mic, fcWav), QString::fromUtf8("Vid: CAM - Aud: mic=>Wav"));

  TPreviewFlags flags;
  EXPECT_EQ(PreviewPanel1(QString::fromUtf8("Prévisualisation"), flags),
            QString::fromUtf8("Prévisualisation 4x3"));
  flags = {true, true, true, true, true};
  EXPECT_EQ(PreviewPanel1("programmation", flags), "programmation mute in 16x9 v");
  EXPECT_EQ(PreviewSuffix(flags), " h");
  EXPECT_EQ(PreviewSuffix({}), "");

  EXPECT_EQ(PreviewPanel0(1, false, 0, {}), "JPG - Intervallo OFF");
  EXPECT_EQ(PreviewPanel0(0, true, 5, "secondes"), "BMP - toutes les 5 secondes");
  EXPECT_EQ(PreviewPanel0Colour(true), QColor(255, 0, 0));
  EXPECT_EQ(PreviewPanel0Colour(false), QColor(0, 0, 0));
  EXPECT_EQ(FreeSpaceText(3 * 1'048'576LL + 1'048'575, "/media/disque"), "3 mo libres sur /MEDIA/DISQUE");
  EXPECT_EQ(AlarmText(7, 5, 0), "07:05:00");
}

TEST(RecordingState, TimeCodeAndDate) {
  const uint8_t tc1[4] = {0x01, 0x02, 0x03, 0x24};
  const uint8_t tc2[4] = {0x12, 0x59, 0x58, 0x00};
  const uint8_t tc3[4] = {0x00, 0x00, 0x00, 0x00};
  EXPECT_EQ(TimeCodeText(tc1), "1:02:03:24");
  EXPECT_EQ(TimeCodeText(tc2), "12:59:58:00");
  EXPECT_EQ(TimeCodeText(tc3), "0:00:00:00");

  EXPECT_EQ(RecordingDateText(0), "");
  // 10 December 2026 14:03:09 is day 46366 since 30 December 1899.
  const double when = 46366.0 + (14 * 3600 + 3 * 60 + 9) / 86400.0;
  EXPECT_EQ(RecordingDateText(when), "jeudi 10/12/2026 14:03:09");
}

}  // namespace
}  // namespace vistrel::app
