#include "platform/registry/RegistryTree.h"

#include <algorithm>

namespace vistrel::platform::registry {
namespace {

bool sameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

}  // namespace

QStringList splitPath(const QString& path) { return path.split(QLatin1Char('\\'), Qt::SkipEmptyParts); }

RegistryKey* RegistryKey::child(const QString& name) const {
  for (const auto& c : children_)
    if (sameName(c->name(), name)) return c.get();
  return nullptr;
}

RegistryKey* RegistryKey::addChild(const QString& name) {
  if (RegistryKey* existing = child(name)) return existing;
  children_.push_back(std::make_unique<RegistryKey>(name));
  return children_.back().get();
}

bool RegistryKey::removeChild(const QString& name) {
  const auto it = std::find_if(children_.begin(), children_.end(),
                               [&](const auto& c) { return sameName(c->name(), name); });
  if (it == children_.end()) return false;
  children_.erase(it);
  return true;
}

const Value* RegistryKey::value(const QString& name) const {
  for (const auto& [n, v] : values_)
    if (sameName(n, name)) return &v;
  return nullptr;
}

void RegistryKey::setValue(const QString& name, const Value& value) {
  for (auto& [n, v] : values_) {
    if (sameName(n, name)) {
      v = value;
      return;
    }
  }
  values_.emplace_back(name, value);
}

bool RegistryKey::removeValue(const QString& name) {
  const auto it =
      std::find_if(values_.begin(), values_.end(), [&](const auto& p) { return sameName(p.first, name); });
  if (it == values_.end()) return false;
  values_.erase(it);
  return true;
}

RegistryKey* RegistryTree::find(const QStringList& path) const {
  auto* key = const_cast<RegistryKey*>(&root_);
  for (const QString& name : path) {
    key = key->child(name);
    if (!key) return nullptr;
  }
  return key;
}

RegistryKey* RegistryTree::create(const QStringList& path) {
  RegistryKey* key = &root_;
  for (const QString& name : path) key = key->addChild(name);
  return key;
}

bool RegistryTree::remove(const QStringList& path) {
  if (path.isEmpty()) return false;
  RegistryKey* parent = find(path.mid(0, path.size() - 1));
  return parent && parent->removeChild(path.last());
}

}  // namespace vistrel::platform::registry
