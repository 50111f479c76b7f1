#include "platform/devices/virtual/VirtualDeviceFile.h"

#include <QList>
#include <QRegularExpression>

namespace vistrel::platform::devices {

namespace {
constexpr VirtualDeviceKind kKinds[] = {VirtualDeviceKind::Camera,   VirtualDeviceKind::Microphone,
                                        VirtualDeviceKind::DvCamera, VirtualDeviceKind::TvCard,
                                        VirtualDeviceKind::MpegCard, VirtualDeviceKind::MpegEncoder};
}

QString virtualDeviceKeyword(VirtualDeviceKind kind) {
  switch (kind) {
    case VirtualDeviceKind::Camera: return QStringLiteral("camera");
    case VirtualDeviceKind::Microphone: return QStringLiteral("microphone");
    case VirtualDeviceKind::DvCamera: return QStringLiteral("dvcam");
    case VirtualDeviceKind::TvCard: return QStringLiteral("tvcard");
    case VirtualDeviceKind::MpegCard: return QStringLiteral("mpegcard");
    case VirtualDeviceKind::MpegEncoder: return QStringLiteral("mpegencoder");
  }
  return {};
}

std::vector<VirtualDeviceEntry> parseVirtualDeviceFile(const QByteArray& text) {
  std::vector<VirtualDeviceEntry> out;
  const QString all = QString::fromUtf8(text);
  for (const QString& raw : all.split(QLatin1Char('\n'))) {
    const QString line = raw.trimmed();
    if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
    const qsizetype space = line.indexOf(QRegularExpression(QStringLiteral("\\s")));
    if (space <= 0) continue;
    const QString keyword = line.left(space).toLower();
    QString rest = line.mid(space + 1).trimmed();
    for (VirtualDeviceKind kind : kKinds) {
      if (keyword != virtualDeviceKeyword(kind)) continue;
      VirtualDeviceEntry e{kind, rest, {}};
      if (kind != VirtualDeviceKind::Camera && kind != VirtualDeviceKind::Microphone) {
        QStringList parts = rest.split(QLatin1Char(';'));
        e.name = parts.takeFirst().trimmed();
        for (const QString& p : parts)
          if (!p.trimmed().isEmpty()) e.options.push_back(p.trimmed());
      }
      if (!e.name.isEmpty() && e.name.size() <= 255) out.push_back(std::move(e));
      break;
    }
  }
  return out;
}

}  // namespace vistrel::platform::devices
