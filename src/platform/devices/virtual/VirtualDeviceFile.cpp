#include "platform/devices/virtual/VirtualDeviceFile.h"

#include <QList>
#include <QRegularExpression>

namespace vistrel::platform::devices {

std::vector<VirtualDeviceEntry> parseVirtualDeviceFile(const QByteArray& text) {
  std::vector<VirtualDeviceEntry> out;
  const QString all = QString::fromUtf8(text);
  for (const QString& raw : all.split(QLatin1Char('\n'))) {
    const QString line = raw.trimmed();
    if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
    const qsizetype space = line.indexOf(QRegularExpression(QStringLiteral("\\s")));
    if (space <= 0) continue;
    const QString kind = line.left(space).toLower();
    const QString name = line.mid(space + 1).trimmed();
    if (name.isEmpty() || name.size() > 255) continue;
    if (kind == QLatin1String("camera"))
      out.push_back({VirtualDeviceKind::Camera, name});
    else if (kind == QLatin1String("microphone"))
      out.push_back({VirtualDeviceKind::Microphone, name});
  }
  return out;
}

}  // namespace vistrel::platform::devices
