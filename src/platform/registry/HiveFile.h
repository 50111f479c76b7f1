#pragma once
// The file behind one writable hive. Text, one line per key and per value, names percent-encoded
// and data in hexadecimal so that every byte count survives; an END line with the record count
// tells a complete file from a truncated one.
//
//   VISTREL-HIVE 1
//   K Software%5COrbano%5CVistrel
//   V Volume 4 0a000000
//   END 2
//
// Changes take an exclusive lock on "<file>.lock", reload, apply and replace the file through a
// temporary file and rename, so two processes never see a half-written hive nor lose each
// other's values. A corrupt file is kept aside as "<file>.corrupt-<date>" with a warning.

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

#include "platform/registry/RegistryTree.h"

namespace vistrel::platform::registry {

QByteArray serializeHive(const RegistryTree& tree);
// False (and `tree` left empty) when the text is not a complete hive.
bool parseHive(const QByteArray& text, RegistryTree& tree);

class HiveFile {
 public:
  explicit HiveFile(QString path);
  ~HiveFile();
  HiveFile(const HiveFile&) = delete;
  HiveFile& operator=(const HiveFile&) = delete;

  const QString& path() const { return path_; }
  // Rereads the file into `tree` when it changed since the last load or save.
  void refresh(RegistryTree& tree);
  // Under the file lock: reloads, runs `change` and writes the file when `change` returns true.
  // Inside a batch the lock is already held and the write waits for the batch's end.
  bool modify(RegistryTree& tree, const std::function<bool(RegistryTree&)>& change);

  // A batch holds the file lock from its first begin to its last end, so that a run of changes
  // (a whole settings save) costs one reload and one rewrite instead of one per value, and
  // another process never sees half of it. Calls nest.
  void beginBatch(RegistryTree& tree);
  void endBatch(const RegistryTree& tree);

 private:
  struct Signature {
    bool exists = false;
    qint64 inode = 0, size = 0, mtimeNs = 0;
    friend bool operator==(const Signature&, const Signature&) = default;
  };
  Signature currentSignature() const;
  void load(RegistryTree& tree);
  bool save(const RegistryTree& tree);

  class Lock;

  QString path_;
  Signature loaded_;
  int batchDepth_ = 0;
  std::unique_ptr<Lock> batchLock_;
  bool batchDirty_ = false;
  bool loadedOnce_ = false;
  bool warnedUnwritable_ = false;
};

}  // namespace vistrel::platform::registry
