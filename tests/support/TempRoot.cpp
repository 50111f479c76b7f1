#include "support/TempRoot.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "platform/Environment.h"
#include "platform/registry/Registry.h"

namespace vistrel::testing {

void reloadPlatform() {
  platform::reloadEnvironment();
  platform::registry::resetForTests();
}

TempRoot::TempRoot() : previous_(qgetenv("VISTREL_ROOT")) {
  qputenv("VISTREL_ROOT", dir_.path().toLocal8Bit());
  reloadPlatform();
}

TempRoot::~TempRoot() {
  qputenv("VISTREL_ROOT", previous_);
  reloadPlatform();
}

void TempRoot::write(const QString& relative, const QByteArray& bytes) const {
  const QString target = file(relative);
  QDir().mkpath(QFileInfo(target).absolutePath());
  QFile f(target);
  if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(bytes);
}

QByteArray TempRoot::read(const QString& relative) const {
  QFile f(file(relative));
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace vistrel::testing
