#include "platform/shell/ScreenSaver.h"

#include <QDBusConnection>
#include <QDBusMessage>

namespace vistrel::platform::shell {
namespace {

QDBusMessage screenSaverCall(const QString& method) {
  return QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.ScreenSaver"),
                                        QStringLiteral("/org/freedesktop/ScreenSaver"),
                                        QStringLiteral("org.freedesktop.ScreenSaver"), method);
}

}  // namespace

bool ScreenSaverInhibitor::inhibit(const QString& reason) {
  if (cookie_ != 0) return true;
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return false;
  QDBusMessage call = screenSaverCall(QStringLiteral("Inhibit"));
  call << QStringLiteral("Vistrel") << reason;
  const QDBusMessage reply = bus.call(call, QDBus::Block, 2000);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return false;
  cookie_ = reply.arguments().first().toUInt();
  return cookie_ != 0;
}

void ScreenSaverInhibitor::release() {
  if (cookie_ == 0) return;
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (bus.isConnected()) {
    QDBusMessage call = screenSaverCall(QStringLiteral("UnInhibit"));
    call << cookie_;
    bus.call(call, QDBus::NoBlock);
  }
  cookie_ = 0;
}

}  // namespace vistrel::platform::shell
