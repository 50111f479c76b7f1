#include "platform/shell/ScreenSaver.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <set>

#include "platform/Environment.h"

namespace vistrel::platform::shell {
namespace {

QDBusMessage screenSaverCall(const QString& method) {
  return QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.ScreenSaver"),
                                        QStringLiteral("/org/freedesktop/ScreenSaver"),
                                        QStringLiteral("org.freedesktop.ScreenSaver"), method);
}

struct StandIn {
  bool active = true;
  uint32_t nextCookie = 1;
  std::set<uint32_t> cookies;
};

StandIn& standIn() {
  static StandIn s;
  return s;
}

bool redirected() { return !redirectedRoot().isEmpty(); }

}  // namespace

void setStandInScreenSaverActive(bool active) { standIn().active = active; }

int standInScreenSaverInhibitions() { return static_cast<int>(standIn().cookies.size()); }

bool ScreenSaverInhibitor::inhibit(const QString& reason) {
  if (cookie_ != 0) return true;
  if (redirected()) {
    StandIn& s = standIn();
    if (!s.active) return false;
    cookie_ = s.nextCookie++;
    s.cookies.insert(cookie_);
    standIn_ = true;
    return true;
  }
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
  if (standIn_) {
    standIn().cookies.erase(cookie_);
  } else {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
      QDBusMessage call = screenSaverCall(QStringLiteral("UnInhibit"));
      call << cookie_;
      bus.call(call, QDBus::NoBlock);
    }
  }
  cookie_ = 0;
  standIn_ = false;
}

}  // namespace vistrel::platform::shell
