#include "platform/Environment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QRegularExpression>
#include <QTextStream>
#include <optional>

namespace vistrel::platform {
namespace {

struct Folders {
  QString root, home, config, data, programFile, programFolder, devices;
  QString videos, pictures, documents;
};

QString envOr(const char* name, const QString& fallback) {
  const QString value = qEnvironmentVariable(name);
  return value.isEmpty() ? fallback : value;
}

QString runningExecutable() {
  const QFileInfo exe(QStringLiteral("/proc/self/exe"));
  const QString target = exe.symLinkTarget();
  return target.isEmpty() ? QStringLiteral("/usr/bin/vistrel") : target;
}

// Reads XDG_<NAME>_DIR from user-dirs.dirs ("$HOME/Videos" style values).
std::optional<QString> xdgUserDir(const QString& config, const QString& home, const QString& name) {
  QFile file(config + QStringLiteral("/user-dirs.dirs"));
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return std::nullopt;
  const QRegularExpression line(QStringLiteral("^\\s*XDG_%1_DIR\\s*=\\s*\"(.*)\"\\s*$").arg(name));
  QTextStream in(&file);
  while (!in.atEnd()) {
    const auto match = line.match(in.readLine());
    if (!match.hasMatch()) continue;
    QString value = match.captured(1);
    value.replace(QStringLiteral("$HOME"), home);
    if (value.isEmpty() || value == home || value == home + QLatin1Char('/')) return std::nullopt;
    return value;
  }
  return std::nullopt;
}

QString ensureFolder(const QString& path) {
  QDir().mkpath(path);
  return path;
}

Folders compute() {
  Folders f;
  f.root = qEnvironmentVariable("VISTREL_ROOT");
  f.devices = qEnvironmentVariable("VISTREL_DEVICES");
  const QString exe = runningExecutable();
  if (!f.root.isEmpty()) {
    f.root = QDir::cleanPath(QDir(f.root).absolutePath());
    f.home = f.root + QStringLiteral("/home");
    f.config = f.home + QStringLiteral("/.config");
    f.data = f.home + QStringLiteral("/.local/share");
    f.programFolder = f.root + QStringLiteral("/program/");
    f.programFile = f.programFolder + QFileInfo(exe).fileName();
    for (const QString& d : {f.home, f.config, f.data, f.programFolder}) ensureFolder(d);
    f.videos = ensureFolder(f.home + QStringLiteral("/Videos"));
    f.pictures = ensureFolder(f.home + QStringLiteral("/Pictures"));
    f.documents = ensureFolder(f.home + QStringLiteral("/Documents"));
    return f;
  }
  f.home = envOr("HOME", QDir::homePath());
  f.config = envOr("XDG_CONFIG_HOME", f.home + QStringLiteral("/.config"));
  f.data = envOr("XDG_DATA_HOME", f.home + QStringLiteral("/.local/share"));
  f.programFile = exe;
  f.programFolder = withTrailingSlash(QFileInfo(exe).absolutePath());
  auto user = [&](const char* key, const char* fallback) {
    return ensureFolder(xdgUserDir(f.config, f.home, QString::fromLatin1(key))
                            .value_or(f.home + QLatin1Char('/') + QString::fromLatin1(fallback)));
  };
  f.videos = user("VIDEOS", "Videos");
  f.pictures = user("PICTURES", "Pictures");
  f.documents = user("DOCUMENTS", "Documents");
  return f;
}

QMutex mutex;
std::optional<Folders> cached;

const Folders& folders() {
  QMutexLocker lock(&mutex);
  if (!cached) cached = compute();
  return *cached;
}

}  // namespace

QString redirectedRoot() { return folders().root; }
QString homeFolder() { return folders().home; }
QString configFolder() { return folders().config; }
QString dataFolder() { return folders().data; }
QString programFile() { return folders().programFile; }
QString programFolder() { return folders().programFolder; }
QString deviceSetting() { return folders().devices; }

QString userFolder(UserFolder which) {
  const Folders& f = folders();
  switch (which) {
    case UserFolder::Videos: return f.videos;
    case UserFolder::Pictures: return f.pictures;
    case UserFolder::Documents: return f.documents;
  }
  return f.home;
}

QString withTrailingSlash(const QString& path) {
  if (path.isEmpty() || path.endsWith(QLatin1Char('/'))) return path;
  return path + QLatin1Char('/');
}

void reloadEnvironment() {
  QMutexLocker lock(&mutex);
  cached.reset();
}

}  // namespace vistrel::platform
