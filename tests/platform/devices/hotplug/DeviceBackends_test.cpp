#include <gtest/gtest.h>

#include "platform/Environment.h"
#include "platform/devices/DeviceBackends.h"
#include "platform/media/MediaGuids.h"

using namespace vistrel::platform;

// With a virtual device set chosen (the tests always choose one), the machine's cameras and sound
// cards are never looked at.
TEST(DeviceBackends, RealDevicesStayOutWhenVirtualDevicesAreChosen) {
  ASSERT_FALSE(deviceSetting().isEmpty());
  EXPECT_FALSE(devices::realDevicesEnabled());
  for (const auto& category : {media::CLSID_VideoInputDeviceCategory, media::CLSID_AudioInputDeviceCategory,
                               media::AM_KSCATEGORY_CROSSBAR})
    EXPECT_TRUE(devices::realDeviceMonikers(category).empty());
  EXPECT_FALSE(devices::rescanRealDevices());
}
