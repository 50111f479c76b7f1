#include "platform/registry/HiveFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <algorithm>
#include <cstdio>

namespace vistrel::platform::registry {
namespace {

constexpr const char* kMagic = "VISTREL-HIVE 1";

QByteArray encodeName(const QString& name) { return QUrl::toPercentEncoding(name); }
QString decodeName(const QByteArray& text) { return QUrl::fromPercentEncoding(text); }

void writeKey(const RegistryKey& key, const QString& path, QByteArray& out, int& records) {
  for (const auto& child : key.children()) {
    const QString childPath = path.isEmpty() ? child->name() : path + QLatin1Char('\\') + child->name();
    out += "K " + encodeName(childPath) + '\n';
    ++records;
    for (const auto& [name, value] : child->values()) {
      out += "V " + (name.isEmpty() ? QByteArray("%") : encodeName(name)) + ' ' +
             QByteArray::number(value.type) + ' ' +
             (value.data.isEmpty() ? QByteArray("-") : value.data.toHex()) + '\n';
      ++records;
    }
    writeKey(*child, childPath, out, records);
  }
}

bool isHex(const QByteArray& text) {
  if (text.isEmpty() || text.size() % 2 != 0) return false;
  return std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
  });
}

// "<file>.corrupt-<date>", numbered when a file of that name is already kept aside.
QString asideName(const QString& path) {
  const QString base = path + QStringLiteral(".corrupt-") +
                       QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
  QString name = base;
  for (int n = 2; QFileInfo::exists(name); ++n) name = base + QStringLiteral("-%1").arg(n);
  return name;
}

}  // namespace

// Holds an flock on "<hive>.lock" for its lifetime; without a lock file (unwritable folder) it
// holds nothing and the hive is used from memory.
class HiveFile::Lock {
 public:
  explicit Lock(const QString& hivePath) {
    QDir().mkpath(QFileInfo(hivePath).absolutePath());
    fd_ = ::open(QFile::encodeName(hivePath + QStringLiteral(".lock")).constData(),
                 O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ >= 0) ::flock(fd_, LOCK_EX);
  }
  ~Lock() {
    if (fd_ < 0) return;
    // A forked child shares the parent's lock: unlocking there would release the parent's.
    if (::getpid() == owner_) ::flock(fd_, LOCK_UN);
    ::close(fd_);
  }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

 private:
  int fd_ = -1;
  pid_t owner_ = ::getpid();
};

HiveFile::HiveFile(QString path) : path_(std::move(path)) {}

HiveFile::~HiveFile() = default;

QByteArray serializeHive(const RegistryTree& tree) {
  QByteArray out = QByteArray(kMagic) + '\n';
  int records = 0;
  writeKey(tree.root(), QString(), out, records);
  out += "END " + QByteArray::number(records) + '\n';
  return out;
}

bool parseHive(const QByteArray& text, RegistryTree& tree) {
  tree.clear();
  const QList<QByteArray> lines = text.split('\n');
  if (lines.isEmpty() || lines.first() != kMagic) return false;
  RegistryKey* current = nullptr;
  int records = 0;
  for (qsizetype i = 1; i < lines.size(); ++i) {
    const QByteArray& line = lines[i];
    const QList<QByteArray> parts = line.split(' ');
    if (parts.size() == 2 && parts[0] == "K") {
      current = tree.create(splitPath(decodeName(parts[1])));
      ++records;
    } else if (parts.size() == 4 && parts[0] == "V" && current) {
      bool ok = false;
      const uint type = parts[2].toUInt(&ok);
      if (!ok) break;
      QByteArray data;
      if (parts[3] != "-") {
        if (!isHex(parts[3])) break;
        data = QByteArray::fromHex(parts[3]);
      }
      current->setValue(parts[1] == "%" ? QString() : decodeName(parts[1]), Value{type, data});
      ++records;
    } else if (parts.size() == 2 && parts[0] == "END") {
      bool ok = false;
      const int expected = parts[1].toInt(&ok);
      const bool restEmpty = i + 1 == lines.size() || (i + 2 == lines.size() && lines[i + 1].isEmpty());
      if (ok && expected == records && restEmpty) return true;
      break;
    } else {
      break;
    }
  }
  tree.clear();
  return false;
}

HiveFile::Signature HiveFile::currentSignature() const {
  struct stat st {};
  if (::stat(QFile::encodeName(path_).constData(), &st) != 0) return {};
  return Signature{true, static_cast<qint64>(st.st_ino), static_cast<qint64>(st.st_size),
                   static_cast<qint64>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

void HiveFile::load(RegistryTree& tree) {
  const Signature signature = currentSignature();
  loadedOnce_ = true;
  loaded_ = signature;
  if (!signature.exists) {
    tree.clear();
    return;
  }
  QFile file(path_);
  if (!file.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "vistrel: warning: cannot read the registry file %s; its values are not available\n",
                 qPrintable(path_));
    tree.clear();
    return;
  }
  if (parseHive(file.readAll(), tree)) return;
  const QString aside = asideName(path_);
  const bool kept = QFile::rename(path_, aside);
  std::fprintf(stderr, "vistrel: warning: the registry file %s is damaged; %s, starting with an empty hive\n",
               qPrintable(path_),
               kept ? qPrintable(QStringLiteral("kept as ") + aside) : "it could not be moved aside");
  loaded_ = currentSignature();
}

bool HiveFile::save(const RegistryTree& tree) {
  const QByteArray bytes = serializeHive(tree);
  const QString temporary = path_ + QStringLiteral(".tmp-") + QString::number(::getpid());
  QFile file(temporary);
  bool ok = file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size() &&
            file.flush() && ::fsync(file.handle()) == 0;
  file.close();
  ok = ok && ::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path_).constData()) == 0;
  if (!ok) {
    QFile::remove(temporary);
    if (!warnedUnwritable_) {
      std::fprintf(
          stderr, "vistrel: warning: cannot write the registry file %s; changes are kept for this run only\n",
          qPrintable(path_));
      warnedUnwritable_ = true;
    }
  }
  loaded_ = currentSignature();
  return ok;
}

void HiveFile::refresh(RegistryTree& tree) {
  // Within a batch nobody else can write the file, and the tree holds changes not yet saved.
  if (batchDepth_ > 0) return;
  if (loadedOnce_ && currentSignature() == loaded_) return;
  Lock lock(path_);
  load(tree);
}

bool HiveFile::modify(RegistryTree& tree, const std::function<bool(RegistryTree&)>& change) {
  if (batchDepth_ > 0) {
    if (!change(tree)) return false;
    batchDirty_ = true;
    return true;
  }
  Lock lock(path_);
  if (!loadedOnce_ || currentSignature() != loaded_) load(tree);
  if (!change(tree)) return false;
  save(tree);
  return true;
}

void HiveFile::beginBatch(RegistryTree& tree) {
  if (batchDepth_++ > 0) return;
  batchLock_ = std::make_unique<Lock>(path_);
  batchDirty_ = false;
  if (!loadedOnce_ || currentSignature() != loaded_) load(tree);
}

void HiveFile::endBatch(const RegistryTree& tree) {
  if (batchDepth_ == 0 || --batchDepth_ > 0) return;
  if (batchDirty_) save(tree);
  batchDirty_ = false;
  batchLock_.reset();
}

}  // namespace vistrel::platform::registry
