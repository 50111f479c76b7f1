#pragma once
// The recording chains: for each capture format, the branch that the engine adds to the running
// preview graph from the device tees (raw streams) or from the engine's tees `infdecvideo` and
// `infdecaudio` (overlaid streams) to a file. The graph is stopped while a chain is built; the
// main window runs it afterwards, and Tdm::StopCapture removes the branch again.
//
// User-interface thread only. Every builder returns true when it reached its end and false when
// it stopped early or anything threw; a builder that fails leaves what it added in the graph for
// StopCapture to remove.

#include <QString>
#include <functional>
#include <memory>

namespace vistrel::settings {
class TparameterList;
}
namespace vistrel::platform::wmf {
class IWMProfile;
class IWMProfileManager;
}  // namespace vistrel::platform::wmf

namespace vistrel::engine {

class Tdm;

// Choices of the options panel that the chains read; where the panel does not give them the
// parameters they mirror are read instead.
struct TRecordChoices {
  // The Windows Media profile designated by the profile list when its selection is at least 1;
  // null: the system profile of "Profile wmv" (0...3) is loaded from `ProfileManager`.
  std::shared_ptr<platform::wmf::IWMProfile> CustomWmvProfile;
  std::shared_ptr<platform::wmf::IWMProfileManager> ProfileManager;  // null: one is created
  // The video compressor of the "divx" chain; empty: "Divx favori", else the first DivX or Xvid one.
  QString DivxCompressor;
  // Called after "divx" from a DV source reconnected at half size, with the new description.
  std::function<void(const QString&)> ShowVideoDescription;
};

class TRecorder {
 public:
  TRecorder(Tdm& dm, settings::TparameterList& parameters, TRecordChoices choices = {});

  // The PCM format of the audio converter `acmcap`: stereo, 16 bits, at the DV or chosen rate.
  // Side 1 takes the template from the converter's output, side 0 from its input.
  bool ConfigureAudioFormat(int side);
  // The rate ConfigureAudioFormat applies.
  int AudioFormatRate() const;

  bool RecordDVType2(const QString& file);
  bool RecordAvi(const QString& file);
  bool RecordDVRecompressed(const QString& file);
  bool RecordWmv(const QString& file);
  // `stopRoutine` is called by the control filter when the graph stops.
  bool RecordImages(const QString& file, std::function<void()> stopRoutine);
  bool RecordDivX(const QString& file);
  bool RecordWav(const QString& file);
  bool RecordMp3(const QString& file);
  bool RecordStream(const QString& file);

  // Whether the MP3 encoder filter is installed.
  static bool Mp3EncoderAvailable();

 private:
  bool videoIsDv() const;
  bool flag(const char* key) const;
  int integer(const char* key) const;
  uint8_t enumValue(const char* key) const;

  bool recordDVType2(const QString& file);
  bool recordAvi(const QString& file);
  bool recordDVRecompressed(const QString& file);
  bool recordWmv(const QString& file);
  bool recordImages(const QString& file, std::function<void()> stopRoutine);
  bool recordDivX(const QString& file);
  bool recordWav(const QString& file);
  bool recordMp3(const QString& file);
  bool recordStream(const QString& file);
  bool configureAudioFormat(int side);
  void configureBeforeOutput();

  Tdm& dm_;
  settings::TparameterList& parameters_;
  TRecordChoices choices_;
};

}  // namespace vistrel::engine
