// Two filters sharing a class id replace each other in the mapper and bind to the wrong filter,
// silently: every class id of the platform must be its own.
#include <gtest/gtest.h>

#include <set>

#include "platform/devices/alsa/AlsaCaptureFilter.h"
#include "platform/devices/v4l2/V4l2Analog.h"
#include "platform/devices/v4l2/V4l2CaptureFilter.h"
#include "platform/devices/v4l2/V4l2PropertyPages.h"
#include "platform/devices/virtual/VirtualDvCamera.h"
#include "platform/devices/virtual/VirtualMpegCard.h"
#include "platform/devices/virtual/VirtualTvCard.h"
#include "platform/media/FilterMapper.h"
#include "platform/media/MediaGuids.h"

using namespace vistrel::platform;
using namespace vistrel::platform::media;

TEST(ClassIds, NoSystemFilterTakesAnothersClassId) {
  auto mapper = FilterMapper::instance();
  EXPECT_TRUE(mapper->clashes().empty()) << mapper->clashes().front().toStdString();
}

TEST(ClassIds, DevicesPagesAndRegisteredFiltersAllDiffer) {
  std::vector<std::pair<GUID, std::string>> ids = {
      {CLSID_VirtualTestCamera, "virtual camera"},
      {CLSID_VirtualToneMicrophone, "tone microphone"},
      {devices::CLSID_VirtualDvCamera, "virtual DV camera"},
      {devices::CLSID_VirtualMpegCard, "virtual MPEG card"},
      {devices::CLSID_VirtualMpegEncoder, "virtual MPEG encoder"},
      {devices::CLSID_VirtualTvCard, "virtual TV card"},
      {devices::CLSID_VirtualCrossbar, "virtual crossbar"},
      {devices::CLSID_VirtualTvTuner, "virtual tuner"},
      {devices::PAGE_VirtualCrossbar, "virtual crossbar page"},
      {devices::PAGE_VirtualTuner, "virtual tuner page"},
      {devices::alsa::CLSID_AlsaAudioCapture, "ALSA capture"},
      {devices::v4l2::CLSID_V4l2Crossbar, "V4L2 crossbar"},
      {devices::v4l2::CLSID_V4l2VideoCapture, "V4L2 capture"},
      {devices::v4l2::PAGE_V4l2VideoProcAmp, "V4L2 amplifier page"},
      {devices::v4l2::PAGE_V4l2CameraControl, "V4L2 camera page"},
      {devices::v4l2::PAGE_V4l2StreamFormat, "V4L2 format page"},
      {devices::v4l2::PAGE_V4l2TvAudio, "V4L2 TV sound page"},
  };
  for (const FilterRegistration& r : FilterMapper::instance()->registrations())
    ids.push_back({r.clsid, r.name.toStdString()});
  for (size_t i = 0; i < ids.size(); ++i)
    for (size_t j = i + 1; j < ids.size(); ++j)
      EXPECT_FALSE(ids[i].first == ids[j].first) << ids[i].second << " and " << ids[j].second;
}
