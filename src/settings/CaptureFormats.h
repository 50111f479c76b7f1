#pragma once
// Text forms of the capture format codes held by "Capture Format" and of the DV audio
// frequency codes held by "FrequenceDV".

#include <QString>
#include <cstdint>

namespace vistrel::settings {

// Capture format codes.
enum : uint8_t {
  fcAucun = 0,
  fcDV1Natif = 1,
  fcDV2Natif = 2,
  fcMpeg2Natif = 3,
  fcMpeg1Natif = 4,
  fcAviNatif = 5,
  fcDV2Recomp = 6,
  fcWmv = 7,
  fcImageImage = 8,
  fcDivx = 9,
  fcDefaut = 10,
  fcWav = 11,
  fcMp3 = 12,
};

// The name of a code (of its low 7 bits): empty for 0, "défaut" for 10 and every unknown code.
QString FormatCaptureToStr(uint8_t code);
// The short name: "natif" for the native formats 1 to 5, "dv2 rec" for 6, else as the name.
QString FormatCaptureToShortStr(uint8_t code);
// The code of a name, compared exactly: "Aucun" is 0, any unknown text 10.
uint8_t StrToFormatCapture(const QString& text);

// "natif" 0, "32000" 1, "44100" 2, "48000" 3; other codes read as "natif".
QString FrequenceDVToStr(uint8_t code);
// Any other text gives 0.
uint8_t StrToFrequenceDV(const QString& text);

}  // namespace vistrel::settings
