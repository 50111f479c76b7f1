#pragma once
// One hive in memory: a tree of keys holding typed values. Not thread-safe; the registry
// functions guard each hive with a mutex.

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "platform/registry/Registry.h"

namespace vistrel::platform::registry {

// Splits "\A\B\C" or "A\B\C" into its names; empty parts (doubled backslashes) are dropped.
QStringList splitPath(const QString& path);

class RegistryKey {
 public:
  explicit RegistryKey(QString name = {}) : name_(std::move(name)) {}

  const QString& name() const { return name_; }
  RegistryKey* child(const QString& name) const;
  RegistryKey* addChild(const QString& name);  // the existing child when there is one
  bool removeChild(const QString& name);
  const std::vector<std::unique_ptr<RegistryKey>>& children() const { return children_; }

  const Value* value(const QString& name) const;
  void setValue(const QString& name, const Value& value);
  bool removeValue(const QString& name);
  const std::vector<std::pair<QString, Value>>& values() const { return values_; }

 private:
  QString name_;
  std::vector<std::unique_ptr<RegistryKey>> children_;
  std::vector<std::pair<QString, Value>> values_;
};

class RegistryTree {
 public:
  RegistryKey& root() { return root_; }
  const RegistryKey& root() const { return root_; }
  RegistryKey* find(const QStringList& path) const;
  RegistryKey* create(const QStringList& path);
  // Removes the key at `path` with everything below it; false when it does not exist.
  bool remove(const QStringList& path);
  void clear() { root_ = RegistryKey(); }

 private:
  RegistryKey root_;
};

}  // namespace vistrel::platform::registry
