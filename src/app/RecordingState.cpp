#include "app/RecordingState.h"

#include <cerrno>
#include <cstring>

#include <QDateTime>
#include <QFileInfo>
#include <QLocale>

#include "filters/Tvt_SceneDetect.h"
#include "platform/media/FilterComponent.h"
#include "platform/media/IAMTimecodeReader.h"
#include "settings/CaptureFormats.h"
#include "sources/CaptureDevice.h"
#include "sources/Sources.h"

namespace vistrel::app {

using namespace settings;

void RunTransition(TEtatCapture state, CaptureEvent event, TRecordingSteps& steps) {
  switch (event) {
    case CaptureEvent::CaptureToggle:
      switch (state) {
        case etatPreview:
          if (steps.Start()) steps.EnterState(etatCapture);
          return;
        case etatCapture:
          if (steps.Stop())
            steps.EnterState(etatPreview);
          else
            steps.EchecCapture();
          return;
        case etatProgAttente:
          if (steps.Start()) {
            steps.EnterState(etatProgCapture);
            steps.ProgrammerFin();
          } else {
            steps.EnterState(etatPreview);
            steps.AnnulerProgrammation();
          }
          return;
        case etatProgCapture:
          if (steps.Stop()) {
            steps.EnterState(etatPreview);
            steps.AnnulerProgrammation();
          } else {
            steps.EchecCapture();
          }
          return;
      }
      return;
    case CaptureEvent::ProgrammeToggle:
      switch (state) {
        case etatPreview:
          if (steps.ProgrammerDebut()) steps.EnterState(etatProgAttente);
          return;
        case etatCapture:
          if (steps.ProgrammerFin()) steps.EnterState(etatProgCapture);
          return;
        case etatProgAttente:
          steps.AnnulerProgrammation();
          steps.EnterState(etatPreview);
          return;
        case etatProgCapture:
          // The recording goes on, now without an end time.
          steps.AnnulerProgrammation();
          steps.EnterState(etatCapture);
          return;
      }
      return;
    case CaptureEvent::StartAlarm:
      if (state != etatProgAttente) return;
      if (steps.Start()) {
        steps.ProgrammerFin();
        steps.EnterState(etatProgCapture);
      } else {
        steps.AnnulerProgrammation();
        steps.Stop();
        steps.EnterState(etatPreview);
      }
      return;
    case CaptureEvent::EndAlarm:
      if (state != etatProgCapture) return;
      steps.AnnulerProgrammation();
      steps.Stop();
      steps.EnterState(etatPreview);
      return;
  }
}

RecordRequest RequestFor(uint8_t captureFormat) {
  switch (captureFormat) {
    case fcDV1Natif: return RecordRequest::DeviceMux;
    case fcDV2Natif: return RecordRequest::DVType2;
    case fcMpeg2Natif:
    case fcMpeg1Natif: return RecordRequest::Stream;
    case fcAviNatif: return RecordRequest::Avi;
    case fcDV2Recomp: return RecordRequest::DVRecompressed;
    case fcWmv: return RecordRequest::Wmv;
    case fcImageImage: return RecordRequest::Images;
    case fcDivx: return RecordRequest::DivX;
    case fcWav: return RecordRequest::Wav;
    case fcMp3: return RecordRequest::Mp3;
    default: return RecordRequest::None;
  }
}

CutTarget CutTargetFor(uint8_t captureFormat) {
  switch (captureFormat) {
    case fcDV1Natif: return CutTarget::DeviceRebuild;
    case fcMpeg2Natif:
    case fcMpeg1Natif: return CutTarget::StreamWriter;
    case fcDV2Natif:
    case fcAviNatif:
    case fcDV2Recomp:
    case fcImageImage:
    case fcDivx: return CutTarget::AviWriter;
    case fcWmv: return CutTarget::AsfWriter;
    case fcWav:
    case fcMp3: return CutTarget::FileWriter;
    default: return CutTarget::None;
  }
}

bool SeparateAudio(bool videoConnected, bool audioConnected, bool sameDevice, uint8_t captureFormat) {
  if (!videoConnected || !audioConnected || sameDevice) return false;
  switch (captureFormat) {
    case fcDV1Natif:
    case fcMpeg2Natif:
    case fcMpeg1Natif:
    case fcImageImage:
    case fcWav:
    case fcMp3: return false;
    default: return true;
  }
}

bool WantsSceneFile(bool videoConnected, bool hasSceneDetector, uint8_t captureFormat, bool scnSetting,
                    bool atCut) {
  if (!videoConnected || !hasSceneDetector || !scnSetting) return false;
  return atCut || (captureFormat != fcWav && captureFormat != fcMp3);
}

QString SceneFileName(const QString& videoFileName) {
  const QFileInfo info(videoFileName);
  const QString suffix = info.suffix();
  const QString base = suffix.isEmpty() || info.fileName() == QLatin1Char('.') + suffix
                           ? videoFileName
                           : videoFileName.left(videoFileName.size() - suffix.size() - 1);
  return base + QStringLiteral(".scn");
}

QString OverwriteQuestion(const QString& fileName) {
  return QStringLiteral("Le fichier ") + fileName + QStringLiteral(" existe déjà. Voulez-vous l'écraser?") +
         QStringLiteral("\r\n") +
         QStringLiteral("Si vous cliquez sur \"Tous\", alors plus aucune confirmation ne sera demandée");
}

QString CreateFolderQuestion(const QString& folder) {
  return QStringLiteral("Le dossier ") + folder + QStringLiteral(" n'existe pas.") + QStringLiteral("\r\n") +
         QStringLiteral("Voulez-vous le créer?");
}

QString DeleteSceneFileQuestion(int dropped, const QString& sceneFileName) {
  return QString::number(dropped) +
         QStringLiteral(
             " frames ont été perdues pendant la capture.\r\nLe fichier .scn créé en temps réel n'est "
             "probablement pas correct.\r\nIl est recommandé de le détruire et d'en recréer un avec "
             "Kronel\r\n\r\nVoulez-vous détruire le fichier ") +
         sceneFileName + QLatin1Char('?');
}

QString FileErrorText(int error) {
  switch (error) {
    case ENAMETOOLONG: return QStringLiteral("nom de fichier trop long");
    case ENOENT:
    case ENOTDIR: return QStringLiteral("le dossier n'existe pas");
    case EACCES:
    case EPERM: return QStringLiteral("accès refusé");
    case EROFS: return QStringLiteral("disque en lecture seule");
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return QStringLiteral("disque plein");
    case EINVAL:
    case EILSEQ: return QStringLiteral("nom refusé par le système de fichiers");
    default: return QString::fromLocal8Bit(std::strerror(error));
  }
}

QString CannotCreateFileText(const QString& fileName, const QString& reason) {
  return QStringLiteral("Impossible de créer le fichier ") + fileName + QStringLiteral(" : ") + reason +
         QStringLiteral(".\r\nLa capture n'a pas été lancée.");
}

QString ChainRefusedText(const QString& formatName) {
  return QStringLiteral("La capture au format \"") + formatName +
         QStringLiteral("\" n'a pas pu être préparée avec les sources actuelles.\r\n") +
         QStringLiteral("La capture n'a pas été lancée.");
}

QString RunRefusedText(const QString& fileName) {
  return QStringLiteral("La capture dans le fichier ") + fileName +
         QStringLiteral(
             " n'a pas pu démarrer : le fichier ne peut pas être ouvert ou le compresseur "
             "refuse la taille de l'image.\r\nLa capture n'a pas été lancée.");
}

QString StalledDeviceText(int seconds, const QString& fileName) {
  return QStringLiteral("Le périphérique vidéo ne fournit plus d'images depuis ") + QString::number(seconds) +
         QStringLiteral(" secondes.\r\nLa capture a été arrêtée ; le fichier ") + fileName +
         QStringLiteral(" contient ce qui a été enregistré jusque-là.");
}

QString StalledSoundDeviceText(int seconds, const QString& fileName) {
  return QStringLiteral("Le périphérique audio ne fournit plus de son depuis ") + QString::number(seconds) +
         QStringLiteral(" secondes.\r\nLa capture a été arrêtée ; le fichier ") + fileName +
         QStringLiteral(" contient ce qui a été enregistré jusque-là.");
}

QString VanishedFileText(const QString& fileName, bool restored, const QString& reason) {
  QString text =
      QStringLiteral("Le fichier ") + fileName +
      QStringLiteral(" a disparu pendant la capture (son dossier a été supprimé ou déplacé).\r\n") +
      QStringLiteral("La capture a été arrêtée ; ");
  if (restored) return text + QStringLiteral("le fichier enregistré jusque-là a été recréé.");
  return text + QStringLiteral("le fichier enregistré jusque-là n'a pas pu être recréé : ") + reason +
         QLatin1Char('.');
}

QString WriteErrorText(const QString& fileName, const QString& reason) {
  return QStringLiteral("La capture a été arrêtée : erreur d'écriture du fichier ") + fileName +
         QStringLiteral(" (") + reason +
         QStringLiteral(").\r\nLe fichier contient ce qui a été enregistré jusque-là.");
}

namespace {

const char* const kPreviewHint =
    "Capturer le flux vidéo ou audio actuel sur le disque dur.\r\nLa barre d'Espace permet aussi de lancer  "
    "la "
    "capture.";
const char* const kCaptureHint =
    "Stopper la capture.\r\nLa barre d'Espace permer aussi de stopper la capture.";

const QColor kRed(255, 0, 0);
const QColor kYellow(255, 255, 0);
const QColor kFuchsia(255, 0, 255);

const TInterfaceLook kLooks[] = {
    {etatPreview, QColor(), QColor(0, 0, 0), true, true, true, false, true, "Capturer", kPreviewHint,
     kImageFromSources, "Prog", "Lancer la programmation", 20, kImageFromSources, 20},
    {etatCapture, kRed, kRed, false, false, false, true, false, "Stop Capture", kCaptureHint, 28, "Prog",
     "Lancer la programmation", 20, 28, 20},
    {etatProgAttente, kYellow, kYellow, true, true, std::nullopt, false, true, "Capturer", kPreviewHint,
     kImageUnchanged, "Stop Prog", "Interrompre la programmation", 30, 14, 20},
    {etatProgCapture, kFuchsia, kFuchsia, false, false, false, true, false, "Stop Capture", kCaptureHint, 28,
     "Stop Prog", "Interrompre la programmation", kImageUnchanged, 28, 30},
};

}  // namespace

const TInterfaceLook& InterfaceLook(TEtatCapture state) {
  for (const auto& look : kLooks)
    if (look.state == state) return look;
  return kLooks[0];
}

int PreviewCaptureImage(bool videoConnected, uint8_t captureFormat) {
  return videoConnected && captureFormat != fcWav && captureFormat != fcMp3 ? 14 : 43;
}

QString DurationText(int64_t elapsedMilliseconds) {
  constexpr int64_t kDay = 86'400'000;
  int64_t ms = elapsedMilliseconds % kDay;
  if (ms < 0) ms += kDay;
  const int64_t seconds = ms / 1000;
  return QString::asprintf("durée %d:%.2d :%.2d", int(seconds / 3600), int(seconds / 60 % 60),
                           int(seconds % 60));
}

QString CaptureCountText(uint8_t captureFormat, int imageCount, std::optional<TDroppedCounts> counts) {
  switch (captureFormat) {
    case fcImageImage: return QString::asprintf("Image/Image: %d frames", imageCount);
    case fcWav: return QStringLiteral("Audio Wav");
    case fcMp3: return QStringLiteral("Audio Mp3");
    default:
      if (!counts) return {};
      return QString::asprintf("%d frames perdues / %d", counts->dropped,
                               counts->dropped + counts->notDropped);
  }
}

QString VideoTag(const QString& name) { return QStringLiteral("Vid: ") + name.left(3).toUpper(); }
QString AudioTag(const QString& name) { return QStringLiteral("Aud: ") + name.left(3); }

QString SourceSummary(const std::optional<QString>& videoName, const std::optional<QString>& audioName,
                      uint8_t captureFormat) {
  QString text;
  if (videoName && captureFormat != fcWav && captureFormat != fcMp3) text = VideoTag(*videoName);
  if (audioName && captureFormat != fcImageImage) {
    if (!text.isEmpty()) text += QStringLiteral(" - ");
    text += AudioTag(*audioName);
  }
  if (!text.isEmpty()) text += QStringLiteral("=>") + FormatCaptureToShortStr(captureFormat);
  return text;
}

std::optional<QString> PreviewSourcesText(const std::optional<QString>& videoName,
                                          const std::optional<QString>& audioName, uint8_t captureFormat) {
  if (!videoName && !audioName) return std::nullopt;
  QString text;
  if (videoName) text = VideoTag(*videoName);
  if (audioName) {
    if (!text.isEmpty()) text += QStringLiteral(" - ");
    text += AudioTag(*audioName);
  }
  return text + QStringLiteral("=>") + FormatCaptureToShortStr(captureFormat);
}

QString PreviewPanel1(const QString& word, const TPreviewFlags& flags) {
  QString text = word;
  if (flags.mute) text += QStringLiteral(" mute");
  if (flags.incrust) text += QStringLiteral(" in");
  text += flags.wide ? QStringLiteral(" 16x9") : QStringLiteral(" 4x3");
  if (flags.verticalFlip) text += QStringLiteral(" v");
  return text;
}

QString PreviewSuffix(const TPreviewFlags& flags) {
  return flags.horizontalFlip ? QStringLiteral(" h") : QString();
}

QString PreviewPanel0(uint8_t imageExtension, bool intervalometerRuns, int interval, const QString& unit) {
  QString text = imageExtension == 1 ? QStringLiteral("JPG - ") : QStringLiteral("BMP - ");
  if (intervalometerRuns)
    text += QStringLiteral("toutes les %1 %2").arg(interval).arg(unit);
  else
    text += QStringLiteral("Intervallo OFF");
  return text;
}

QColor PreviewPanel0Colour(bool intervalometerRuns) { return intervalometerRuns ? kRed : QColor(0, 0, 0); }

QString FreeSpaceText(int64_t freeBytes, const QString& drive) {
  return QStringLiteral("%1 mo libres sur %2").arg(freeBytes / 1'048'576).arg(drive.toUpper());
}

QString AlarmText(int hour, int minute, int second) {
  return QString::asprintf("%.2d:%.2d:%.2d", hour, minute, second);
}

QString TimeCodeText(const uint8_t bcd[4]) {
  auto two = [](uint8_t b) { return QString::asprintf("%d%d", (b >> 4) & 0x0F, b & 0x0F); };
  QString hours = two(bcd[0]);
  if (hours.startsWith(QLatin1Char('0'))) hours.remove(0, 1);
  return hours + QLatin1Char(':') + two(bcd[1]) + QLatin1Char(':') + two(bcd[2]) + QLatin1Char(':') +
         two(bcd[3]);
}

QString RecordingDateText(double dateTime) {
  if (dateTime == 0) return {};
  static const QDateTime epoch(QDate(1899, 12, 30), QTime(0, 0));
  const QDateTime when = epoch.addMSecs(static_cast<qint64>(dateTime * 86'400'000.0 + 0.5));
  const QLocale french(QLocale::French, QLocale::France);
  return french.toString(when.date(), QStringLiteral("dddd")) + QLatin1Char(' ') +
         french.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
         french.toString(when.time(), QStringLiteral("HH:mm:ss"));
}

std::optional<TTapePosition> ReadTapePosition(const sources::TavFlux& source) {
  using namespace platform::media;
  // A DV device (it has a scene detector) whose transport is there.
  if (!source.HasTransport || !source.SceneDetector || !source.Device || !source.Device->SourceFilter)
    return std::nullopt;
  const auto reader = interfaceOf<IAMTimecodeReader>(source.Device->SourceFilter->filter());
  TIMECODE_SAMPLE sample;
  sample.dwFlags = ED_DEVCAP_TIMECODE_READ;
  if (!reader || FAILED(reader->GetTimecode(sample))) return std::nullopt;
  const uint32_t word = sample.timecode.dwFrames;
  const uint8_t bcd[4] = {uint8_t(word >> 24), uint8_t(word >> 16), uint8_t(word >> 8), uint8_t(word)};
  return TTapePosition{
      TimeCodeText(bcd),
      RecordingDateText(source.SceneDetector->processing().CurrentRecord().RecordingDateTime)};
}

}  // namespace vistrel::app
