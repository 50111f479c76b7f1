#include "platform/shell/Desktop.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace vistrel::platform::shell {

bool openWithDefaultApplication(const QString& pathOrUrl) {
  // "mailto:" addresses have no "//" but are addresses all the same, not file names.
  const bool address = pathOrUrl.contains(QStringLiteral("://")) ||
                       pathOrUrl.startsWith(QStringLiteral("mailto:"), Qt::CaseInsensitive);
  const QUrl url = address ? QUrl(pathOrUrl) : QUrl::fromLocalFile(pathOrUrl);
  return QDesktopServices::openUrl(url);
}

bool showInFolder(const QString& filePath) {
  const QFileInfo file(filePath);
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (bus.isConnected()) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(file.absoluteFilePath()).toString()} << QString();
    const QDBusMessage reply = bus.call(call, QDBus::Block, 3000);
    if (reply.type() == QDBusMessage::ReplyMessage) return true;
  }
  return openWithDefaultApplication(file.isDir() ? file.absoluteFilePath() : file.absolutePath());
}

}  // namespace vistrel::platform::shell
