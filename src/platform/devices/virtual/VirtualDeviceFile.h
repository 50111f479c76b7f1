#pragma once
// The virtual device set file that VISTREL_DEVICES names. One device per line:
//   camera <friendly name>        a test-pattern camera
//   microphone <friendly name>    a tone microphone
// Blank lines and lines starting with "#" are comments; a line with an unknown kind or no name
// is ignored. Two lines with the same name are two devices (two monikers, not equal).

#include <QByteArray>
#include <QString>
#include <vector>

namespace vistrel::platform::devices {

enum class VirtualDeviceKind { Camera, Microphone };

struct VirtualDeviceEntry {
  VirtualDeviceKind kind;
  QString name;
  friend bool operator==(const VirtualDeviceEntry&, const VirtualDeviceEntry&) = default;
};

std::vector<VirtualDeviceEntry> parseVirtualDeviceFile(const QByteArray& text);

}  // namespace vistrel::platform::devices
