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

#include "platform/registry/RegistryTree.h"

namespace vistrel::platform::registry {

QByteArray serializeHive(const RegistryTree& tree);
// False (and `tree` left empty) when the text is not a complete hive.
bool parseHive(const QByteArray& text, RegistryTree& tree);

class HiveFile {
 public:
  explicit HiveFile(QString path) : path_(std::move(path)) {}

  const QString& path() const { return path_; }
  // Rereads the file into `tree` when it changed since the last load or save.
  void refresh(RegistryTree& tree);
  // Under the file lock: reloads, runs `change` and writes the file when `change` returns true.
  bool modify(RegistryTree& tree, const std::function<bool(RegistryTree&)>& change);

 private:
  struct Signature {
    bool exists = false;
    qint64 inode = 0, size = 0, mtimeNs = 0;
    friend bool operator==(const Signature&, const Signature&) = default;
  };
  Signature currentSignature() const;
  void load(RegistryTree& tree);
  bool save(const RegistryTree& tree);

  QString path_;
  Signature loaded_;
  bool loadedOnce_ = false;
  bool warnedUnwritable_ = false;
};

}  // namespace vistrel::platform::registry
