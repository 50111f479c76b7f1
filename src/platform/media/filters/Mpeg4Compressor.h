#pragma once
// MPEG-4 Part 2 (Advanced Simple Profile) video compressors through libavcodec, listed in the
// video compressor category: one stores its frames under the "XVID" code, the other under
// "DX50", so that players pick the decoder they expect. Pin 0 takes uncompressed video (RGB24,
// RGB32, YUY2, UYVY, I420, YV12, NV12) of an even size from 16x16 to 4096x4096; pin 1 gives
// MPEG-4 video of the same size and rate, one sample per input frame with the input's times,
// key frames marked as sync points. One-pass settings only (a bit rate or a constant quantizer,
// and the key-frame interval), kept in the current user's registry per code and changed through
// the configuration dialog or SetState. No B-frames, so nothing waits in the codec.

#include <QString>
#include <functional>

#include "platform/media/IAMVfwCompressDialogs.h"
#include "platform/media/filters/EncoderFilter.h"
#include "platform/media/filters/FfmpegEncoders.h"

class QDialog;

namespace vistrel::platform::media {

constexpr GUID CLSID_Mpeg4CompressorXvid = makeGuid("{5A3C2E10-7B41-4C8E-9E0A-56A1C0DE0141}");
constexpr GUID CLSID_Mpeg4CompressorDivx = makeGuid("{5A3C2E10-7B41-4C8E-9E0A-56A1C0DE0142}");
extern const char* const kMpeg4XvidName;
extern const char* const kMpeg4DivxName;

struct Mpeg4Settings {
  bool constantQuality = false;
  int bitrateKbps = 1500;  // 16 .. 20000
  int quantizer = 4;       // 1 .. 31 (lower is better)
  int keyInterval = 250;   // frames, 1 .. 1000
  friend bool operator==(const Mpeg4Settings&, const Mpeg4Settings&) = default;
};

class Mpeg4Compressor : public EncoderFilter, public IAMVfwCompressDialogs {
 public:
  Mpeg4Compressor(const GUID& clsid, const QString& name, uint32_t fourcc);
  static std::shared_ptr<IBaseFilter> createXvid();
  static std::shared_ptr<IBaseFilter> createDivx();

  uint32_t fourcc() const { return fourcc_; }
  Mpeg4Settings settings() const;
  // Clamps to the valid ranges and stores in the registry; applies from the next run.
  void setSettings(const Mpeg4Settings& settings);
  // The registry key of this code's settings (below HKEY_CURRENT_USER).
  static QString settingsKey(uint32_t fourcc);

  HRESULT ShowDialog(int dialog, QWidget* parent) override;
  HRESULT GetState(std::vector<uint8_t>& state) override;
  HRESULT SetState(const std::vector<uint8_t>& state) override;
  HRESULT SendDriverMessage(int message, intptr_t param1, intptr_t param2) override;

  // How modal dialogs are run (QDialog::exec by default); tests answer them without a screen.
  using DialogRunner = std::function<int(QDialog&)>;
  static void setDialogRunner(DialogRunner runner);

  HRESULT checkInputType(const MediaType& type) override;
  HRESULT outputType(int position, MediaType& type) override;
  int32_t outputBufferSize() override;
  HRESULT startEncoding() override;
  void stopEncoding() override;
  HRESULT encode(const MediaSample& sample) override;
  HRESULT flush() override;

 private:
  HRESULT sendPackets(std::vector<EncodedPacket>& packets, const MediaSample* sample);

  uint32_t fourcc_;
  Mpeg4Settings settings_;  // user-interface thread; copied at the start of streaming
  VideoEncoder encoder_;
  int64_t frame_ = 0;
};

// The configuration dialog's form, separate from the filter so that it can be driven directly.
QDialog* createMpeg4ConfigDialog(const Mpeg4Settings& settings, uint32_t fourcc, QWidget* parent);
Mpeg4Settings mpeg4DialogSettings(const QDialog& dialog);
QString mpeg4AboutText(uint32_t fourcc);

}  // namespace vistrel::platform::media
