#include "settings/CaptureFormats.h"

#include <array>

namespace vistrel::settings {
namespace {

struct FormatNames {
  const char* name;
  const char* shortName;
};

constexpr std::array<FormatNames, 13> kFormats = {{
    {"", ""},
    {"dv type 1 natif", "natif"},
    {"dv type 2 natif", "natif"},
    {"flux mpeg2 natif", "natif"},
    {"flux mpeg1 natif", "natif"},
    {"avi natif", "natif"},
    {"dv type 2 (recomp)", "dv2 rec"},
    {"Wmv", "Wmv"},
    {"Image/Image", "Image/Image"},
    {"divx", "divx"},
    {"d\xc3\xa9"
     "faut",
     "d\xc3\xa9"
     "faut"},
    {"Wav", "Wav"},
    {"mp3", "mp3"},
}};

constexpr std::array<const char*, 4> kFrequencies = {"natif", "32000", "44100", "48000"};

}  // namespace

QString FormatCaptureToStr(uint8_t code) {
  const uint8_t c = code & 0x7F;
  return QString::fromUtf8(kFormats[c < kFormats.size() ? c : uint8_t(fcDefaut)].name);
}

QString FormatCaptureToShortStr(uint8_t code) {
  const uint8_t c = code & 0x7F;
  return QString::fromUtf8(kFormats[c < kFormats.size() ? c : uint8_t(fcDefaut)].shortName);
}

uint8_t StrToFormatCapture(const QString& text) {
  if (text == QLatin1String("Aucun")) return fcAucun;
  for (uint8_t c = 1; c < kFormats.size(); ++c)
    if (text == QString::fromUtf8(kFormats[c].name)) return c;
  return fcDefaut;
}

QString FrequenceDVToStr(uint8_t code) {
  return QString::fromLatin1(kFrequencies[code < kFrequencies.size() ? code : 0]);
}

uint8_t StrToFrequenceDV(const QString& text) {
  for (uint8_t c = 0; c < kFrequencies.size(); ++c)
    if (text == QLatin1String(kFrequencies[c])) return c;
  return 0;
}

}  // namespace vistrel::settings
