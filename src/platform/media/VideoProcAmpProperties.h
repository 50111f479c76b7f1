#pragma once
// The video processing amplifier properties beyond the four of IAMVideoProcAmp.h, in the
// platform's numbering (IAMVideoProcAmp::GetRange/Get/Set take them as plain integers).

#include <cstdint>

namespace vistrel::platform::media {

constexpr int32_t VideoProcAmp_Sharpness = 4;
constexpr int32_t VideoProcAmp_Gamma = 5;
constexpr int32_t VideoProcAmp_ColorEnable = 6;
constexpr int32_t VideoProcAmp_WhiteBalance = 7;
constexpr int32_t VideoProcAmp_BacklightCompensation = 8;
constexpr int32_t VideoProcAmp_Gain = 9;

}  // namespace vistrel::platform::media
