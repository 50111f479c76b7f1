#pragma once
// The recording control's rules, apart from the window: how each capture event moves between the
// capture states, what each state looks like, the status texts, the questions, and what a start
// and a cut ask of the engine for each capture format. The window (CaptureForm_Recording.cpp)
// carries them out. Main thread only.

#include <QColor>
#include <QString>
#include <cstdint>
#include <optional>

#include "app/CaptureForm.h"

namespace vistrel::sources {
class TavFlux;
}

namespace vistrel::app {

// ---- Transitions -------------------------------------------------------------------------------

enum class CaptureEvent { CaptureToggle, ProgrammeToggle, StartAlarm, EndAlarm };

// The operations the transitions are made of, as the window carries them out.
class TRecordingSteps {
 public:
  virtual ~TRecordingSteps() = default;
  virtual bool Start() = 0;  // LancerCapture
  virtual bool Stop() = 0;   // StopperCapture
  virtual bool ProgrammerDebut() = 0;
  virtual bool ProgrammerFin() = 0;
  virtual void AnnulerProgrammation() = 0;
  // The state-entry routine of a state (setinterfacepreview, SetInterfaceCapture, ...).
  virtual void EnterState(TEtatCapture state) = 0;
  virtual void EchecCapture() = 0;
};

// Runs the transition of `event` from `state`. Events that a state ignores do nothing.
void RunTransition(TEtatCapture state, CaptureEvent event, TRecordingSteps& steps);

// ---- What a start and a cut ask for ------------------------------------------------------------

enum class RecordRequest {
  None,
  DeviceMux,
  DVType2,
  Stream,
  Avi,
  DVRecompressed,
  Wmv,
  Images,
  DivX,
  Wav,
  Mp3
};
RecordRequest RequestFor(uint8_t captureFormat);

// The writer that a cut points at the new name.
enum class CutTarget {
  None,
  DeviceRebuild,  // the video device's native chain is removed and built for the new name
  AviWriter,      // the engine's AVI file sink
  AsfWriter,      // the Windows Media writer
  FileWriter,     // the engine's `FileWriter` (WAV and MP3)
  StreamWriter,   // the engine's `writer` (native MPEG streams)
};
// Native MPEG streams are written by the engine's own `writer`, so that is the writer retargeted:
// the device has no chain of its own for them and the old name would be overwritten.
CutTarget CutTargetFor(uint8_t captureFormat);

// True when the audio comes from a device other than the video's and the format records both.
bool SeparateAudio(bool videoConnected, bool audioConnected, bool sameDevice, uint8_t captureFormat);
// Whether a scene file goes with the recording (`atCut`: the cut does not exclude the audio
// formats).
bool WantsSceneFile(bool videoConnected, bool hasSceneDetector, uint8_t captureFormat, bool scnSetting,
                    bool atCut);
// The video file name with the extension ".scn".
QString SceneFileName(const QString& videoFileName);

// ---- Questions ---------------------------------------------------------------------------------

QString OverwriteQuestion(const QString& fileName);
QString CreateFolderQuestion(const QString& folder);
QString DeleteSceneFileQuestion(int dropped, const QString& sceneFileName);

// ---- Messages of a recording that cannot start or has to stop -----------------------------------

// The file system's reason for refusing a file, in French, from an errno value.
QString FileErrorText(int error);
QString CannotCreateFileText(const QString& fileName, const QString& reason);
QString ChainRefusedText(const QString& formatName);
QString RunRefusedText(const QString& fileName);
QString StalledDeviceText(int seconds, const QString& fileName);
QString StalledSoundDeviceText(int seconds, const QString& fileName);
QString VanishedFileText(const QString& fileName, bool restored, const QString& reason);
QString WriteErrorText(const QString& fileName, const QString& reason);

// ---- Looks of the states -----------------------------------------------------------------------

// An image field of -1 leaves the image unchanged; kImageFromSources takes PreviewCaptureImage.
constexpr int kImageUnchanged = -1;
constexpr int kImageFromSources = -2;
struct TInterfaceLook {
  TEtatCapture state;
  QColor previewColour;  // invalid: the window's colour
  QColor plateColour;
  bool sourceGroupsEnabled;
  bool scheduleStartShown;
  std::optional<bool> profilesAndFoldersEnabled;  // none: unchanged
  bool couperEnabled;
  bool lockEnabled;
  const char* captureCaption;
  const char* captureHint;
  int captureImage;
  const char* progCaption;
  const char* progHint;
  int progImage;
  int captureGlyph;  // kImageFromSources: the capture toggle's image
  int progGlyph;
};
const TInterfaceLook& InterfaceLook(TEtatCapture state);
// The capture toggle's image in preview: the video picture, or the sound one for audio only.
int PreviewCaptureImage(bool videoConnected, uint8_t captureFormat);

// ---- Status texts ------------------------------------------------------------------------------

struct TDroppedCounts {
  int32_t dropped = 0;
  int32_t notDropped = 0;
};

// "durée h:mm :ss" of the hours, minutes and seconds of a day: 25 hours show "1:00 :00".
QString DurationText(int64_t elapsedMilliseconds);
// Panel 3 while recording.
QString CaptureCountText(uint8_t captureFormat, int imageCount, std::optional<TDroppedCounts> counts);
// The first three characters of a source's name ("Vid: " in upper case).
QString VideoTag(const QString& name);
QString AudioTag(const QString& name);
// Panel 1 while recording: the sources recorded and the short format name.
QString SourceSummary(const std::optional<QString>& videoName, const std::optional<QString>& audioName,
                      uint8_t captureFormat);
// Panel 2 in preview: none when no source is connected (the panel keeps its text).
std::optional<QString> PreviewSourcesText(const std::optional<QString>& videoName,
                                          const std::optional<QString>& audioName, uint8_t captureFormat);
struct TPreviewFlags {
  bool mute = false, incrust = false, wide = false, verticalFlip = false, horizontalFlip = false;
};
// Panel 1 in preview ("Prévisualisation") or when armed ("programmation"), and its suffix.
QString PreviewPanel1(const QString& word, const TPreviewFlags& flags);
QString PreviewSuffix(const TPreviewFlags& flags);
// Panel 0: the picture format, then the intervalometer; red while it runs.
QString PreviewPanel0(uint8_t imageExtension, bool intervalometerRuns, int interval, const QString& unit);
QColor PreviewPanel0Colour(bool intervalometerRuns);
QString FreeSpaceText(int64_t freeBytes, const QString& drive);
QString AlarmText(int hour, int minute, int second);
// The camcorder's time code from its BCD bytes: "h:mm:ss:ff" (hours without a leading zero).
QString TimeCodeText(const uint8_t bcd[4]);
// The DV recording date ("dddd ddddd tt" in French), empty for 0.
QString RecordingDateText(double dateTime);

// What a camcorder window shows of its tape: the time code under the heads and the recording
// date of the current frame (empty when the frame carries none).
struct TTapePosition {
  QString timeCode;
  QString date;
};
// None when the source is not a DV device with an available transport, or its time code cannot
// be read.
std::optional<TTapePosition> ReadTapePosition(const sources::TavFlux& source);

}  // namespace vistrel::app
