#include "app/FileNaming.h"

#include "settings/CaptureFormats.h"

namespace vistrel::app {
namespace {

QString twoDigits(int n) { return QStringLiteral("%1").arg(n % 100, 2, 10, QLatin1Char('0')); }

}  // namespace

QString dateStamp(const QDateTime& session) {
  const QDate d = session.date();
  const QTime t = session.time();
  return twoDigits(d.day()) + twoDigits(d.month()) + twoDigits(d.year()) + QLatin1Char('_') +
         twoDigits(t.hour()) + twoDigits(t.minute()) + twoDigits(t.second()) + QLatin1Char('_');
}

QString videoExtension(uint8_t captureFormat) {
  switch (captureFormat) {
    case settings::fcMpeg2Natif:
    case settings::fcMpeg1Natif: return QStringLiteral(".mpg");
    case settings::fcWmv: return QStringLiteral(".wmv");
    case settings::fcWav: return QStringLiteral(".wav");
    case settings::fcMp3: return QStringLiteral(".mp3");
    default: return QStringLiteral(".avi");
  }
}

QString folderWithSlash(const QString& folder) {
  return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

QString composeVideoName(const VideoNameParts& parts, int32_t counter) {
  QString name = folderWithSlash(parts.folder) + parts.root + QLatin1Char('_');
  if (parts.withDate) name += dateStamp(parts.session);
  return name + QString::number(counter) + videoExtension(parts.captureFormat);
}

QString composeImageName(const ImageNameParts& parts, int32_t counter) {
  QString name = folderWithSlash(parts.folder) + parts.root + QLatin1Char('_');
  if (parts.withDate) name += dateStamp(parts.session);
  name += (QStringLiteral("00000") + QString::number(counter)).right(5);
  return name + (parts.imageExtension == 1 ? QStringLiteral(".jpg") : QStringLiteral(".bmp"));
}

QString withVideoExtension(const QString& name, uint8_t captureFormat) {
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  const qsizetype slash = name.lastIndexOf(QLatin1Char('/'));
  const QString stem = dot > slash ? name.left(dot) : name;
  return stem + videoExtension(captureFormat);
}

}  // namespace vistrel::app
