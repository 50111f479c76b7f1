#include "platform/media/filters/DvInfo.h"

#include <cstring>

#include "platform/media/dv/DvAudio.h"

namespace vistrel::platform::media {

DVINFO dvInfoOfFrame(std::span<const uint8_t> frame, dv::System system) {
  const dv::InfoPacks packs = dv::readInfoPacks(frame, system);
  DVINFO info;
  info.dwDVAAuxSrc = packs.aauxSource;
  info.dwDVAAuxCtl = packs.aauxControl;
  info.dwDVAAuxSrc1 = packs.aauxSource1;
  info.dwDVAAuxCtl1 = packs.aauxControl1;
  info.dwDVVAuxSrc = packs.vauxSource;
  info.dwDVVAuxCtl = packs.vauxControl;
  return info;
}

std::optional<DVINFO> dvInfoOf(const MediaType& type) {
  DVINFO info;
  size_t at = 0;
  if (type.formattype == FORMAT_DvInfo)
    at = 0;
  else if (type.formattype == FORMAT_VideoInfo && type.subtype == MEDIASUBTYPE_dvsd)
    at = sizeof(VIDEOINFOHEADER);
  else
    return std::nullopt;
  if (type.format.size() < at + sizeof info) return std::nullopt;
  std::memcpy(&info, type.format.data() + at, sizeof info);
  return info;
}

MediaType dvsdVideoType(dv::System system, const DVINFO& info) {
  const bool pal = system == dv::System::Pal;
  const REFERENCE_TIME frame = pal ? 400000 : 333667;
  const auto bytes = static_cast<uint32_t>(dv::frameBytes(system));
  VIDEOINFOHEADER vih;
  vih.rcSource = vih.rcTarget = RECT{0, 0, 720, pal ? 576 : 480};
  vih.AvgTimePerFrame = frame;
  vih.dwBitRate = static_cast<uint32_t>(uint64_t{bytes} * 8 * UNITS / frame);
  vih.bmiHeader.biWidth = 720;
  vih.bmiHeader.biHeight = pal ? 576 : 480;
  vih.bmiHeader.biBitCount = 24;
  vih.bmiHeader.biCompression = makeFourcc('d', 'v', 's', 'd');
  vih.bmiHeader.biSizeImage = bytes;
  std::vector<uint8_t> block(sizeof vih + sizeof info);
  std::memcpy(block.data(), &vih, sizeof vih);
  std::memcpy(block.data() + sizeof vih, &info, sizeof info);
  MediaType type(MEDIATYPE_Video, MEDIASUBTYPE_dvsd, FORMAT_VideoInfo);
  type.setFormat(block.data(), block.size());
  type.lSampleSize = bytes;
  type.bFixedSizeSamples = true;
  type.bTemporalCompression = false;
  return type;
}

}  // namespace vistrel::platform::media
