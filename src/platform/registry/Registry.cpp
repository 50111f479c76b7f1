#include "platform/registry/Registry.h"

#include <QFile>
#include <QMutex>
#include <QStringDecoder>
#include <array>
#include <memory>
#include <optional>

#include "platform/Environment.h"
#include "platform/registry/HiveFile.h"
#include "platform/registry/RegistryTree.h"

namespace vistrel::platform::registry {
namespace {

const QString kShellFolders =
    QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders");
constexpr const char* kMediaFrameworkVersion = "4.09.00.0904";

struct HiveState {
  QMutex mutex;
  RegistryTree tree;
  std::unique_ptr<HiveFile> file;  // null for the read-only local machine
  bool ready = false;
};

std::array<HiveState, 3> hives;
QMutex setupMutex;  // guards the lazy set-up of each hive's state

// HKEY_LOCAL_MACHINE: <root>/hklm.ini when it exists, else the platform layer's own values.
void loadLocalMachine(RegistryTree& tree) {
  tree.clear();
  const QString root = redirectedRoot();
  QFile file(root + QStringLiteral("/hklm.ini"));
  if (root.isEmpty() || !file.open(QIODevice::ReadOnly)) {
    tree.create(splitPath(QStringLiteral("Software\\Microsoft\\DirectX")))
        ->setValue(QStringLiteral("version"), stringValue(QString::fromLatin1(kMediaFrameworkVersion)));
    return;
  }
  RegistryKey* key = nullptr;
  const QString text = QString::fromUtf8(file.readAll());
  for (QString line : text.split(QLatin1Char('\n'))) {
    line = line.trimmed();
    if (line.isEmpty() || line.startsWith(QLatin1Char(';'))) continue;
    if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
      key = tree.create(splitPath(line.mid(1, line.size() - 2)));
    } else if (const qsizetype eq = line.indexOf(QLatin1Char('=')); key && eq > 0) {
      key->setValue(line.left(eq).trimmed(), stringValue(line.mid(eq + 1).trimmed()));
    }
  }
}

HiveState& state(Hive hive) {
  HiveState& s = hives[static_cast<size_t>(hive)];
  QMutexLocker setup(&setupMutex);
  if (!s.ready) {
    s.ready = true;
    const QString folder = configFolder() + QStringLiteral("/vistrel/");
    if (hive == Hive::CurrentUser) s.file = std::make_unique<HiveFile>(folder + QStringLiteral("hkcu.hive"));
    if (hive == Hive::ClassesRoot) s.file = std::make_unique<HiveFile>(folder + QStringLiteral("hkcr.hive"));
    if (hive == Hive::LocalMachine) loadLocalMachine(s.tree);
  }
  return s;
}

template <typename Read>
auto read(Hive hive, Read&& reader) {
  HiveState& s = state(hive);
  QMutexLocker lock(&s.mutex);
  if (s.file) s.file->refresh(s.tree);
  return reader(s.tree);
}

bool modify(Hive hive, const std::function<bool(RegistryTree&)>& change) {
  HiveState& s = state(hive);
  QMutexLocker lock(&s.mutex);
  if (!s.file) return false;  // read-only hive
  return s.file->modify(s.tree, change);
}

// The shell-folder values are answered from the XDG user folders, never stored.
bool isShellFolders(Hive hive, const QStringList& path) {
  return hive == Hive::CurrentUser &&
         path.join(QLatin1Char('\\')).compare(kShellFolders, Qt::CaseInsensitive) == 0;
}

const std::array<std::pair<const char*, UserFolder>, 3> kShellFolderValues{{
    {"My Video", UserFolder::Videos},
    {"My Pictures", UserFolder::Pictures},
    {"Personal", UserFolder::Documents},
}};

std::optional<Value> shellFolderValue(const QString& name) {
  for (const auto& [valueName, folder] : kShellFolderValues)
    if (name.compare(QLatin1String(valueName), Qt::CaseInsensitive) == 0)
      return stringValue(userFolder(folder));
  return std::nullopt;
}

}  // namespace

bool keyExists(Hive hive, const QString& path) {
  const QStringList parts = splitPath(path);
  if (isShellFolders(hive, parts)) return true;
  return read(hive, [&](RegistryTree& tree) { return tree.find(parts) != nullptr; });
}

bool createKey(Hive hive, const QString& path) {
  const QStringList parts = splitPath(path);
  if (isShellFolders(hive, parts)) return true;
  if (read(hive, [&](RegistryTree& tree) { return tree.find(parts) != nullptr; })) return true;
  modify(hive, [&](RegistryTree& tree) {
    if (tree.find(parts)) return false;
    tree.create(parts);
    return true;
  });
  return read(hive, [&](RegistryTree& tree) { return tree.find(parts) != nullptr; });
}

std::optional<Value> queryValue(Hive hive, const QString& path, const QString& name) {
  const QStringList parts = splitPath(path);
  if (isShellFolders(hive, parts))
    if (auto v = shellFolderValue(name)) return v;
  return read(hive, [&](RegistryTree& tree) -> std::optional<Value> {
    const RegistryKey* key = tree.find(parts);
    const Value* value = key ? key->value(name) : nullptr;
    if (!value) return std::nullopt;
    return *value;
  });
}

bool setValue(Hive hive, const QString& path, const QString& name, const Value& value) {
  const QStringList parts = splitPath(path);
  bool found = false;
  modify(hive, [&](RegistryTree& tree) {
    RegistryKey* key = tree.find(parts);
    if (!key) return false;
    found = true;
    const Value* old = key->value(name);
    if (old && *old == value) return false;
    key->setValue(name, value);
    return true;
  });
  return found;
}

bool deleteValue(Hive hive, const QString& path, const QString& name) {
  const QStringList parts = splitPath(path);
  bool removed = false;
  modify(hive, [&](RegistryTree& tree) {
    RegistryKey* key = tree.find(parts);
    removed = key && key->removeValue(name);
    return removed;
  });
  return removed;
}

bool deleteKey(Hive hive, const QString& path) {
  const QStringList parts = splitPath(path);
  bool removed = false;
  modify(hive, [&](RegistryTree& tree) {
    removed = tree.remove(parts);
    return removed;
  });
  return removed;
}

QStringList valueNames(Hive hive, const QString& path) {
  const QStringList parts = splitPath(path);
  QStringList names = read(hive, [&](RegistryTree& tree) {
    QStringList result;
    if (const RegistryKey* key = tree.find(parts))
      for (const auto& [name, value] : key->values()) result << name;
    return result;
  });
  if (isShellFolders(hive, parts))
    for (const auto& [valueName, folder] : kShellFolderValues)
      if (!names.contains(QLatin1String(valueName), Qt::CaseInsensitive)) names << QLatin1String(valueName);
  return names;
}

QStringList subkeyNames(Hive hive, const QString& path) {
  const QStringList parts = splitPath(path);
  QStringList names = read(hive, [&](RegistryTree& tree) {
    QStringList result;
    if (const RegistryKey* key = tree.find(parts))
      for (const auto& child : key->children()) result << child->name();
    return result;
  });
  std::sort(names.begin(), names.end(),
            [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
  return names;
}

Value stringValue(const QString& text, int terminatorBytes, uint32_t type) {
  QByteArray data(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
  if constexpr (Q_BYTE_ORDER == Q_BIG_ENDIAN) {
    for (qsizetype i = 0; i + 1 < data.size(); i += 2) std::swap(data[i], data[i + 1]);
  }
  data.append(QByteArray(std::max(0, terminatorBytes), '\0'));
  return Value{type, data};
}

Value dwordValue(uint32_t number) {
  QByteArray data(4, '\0');
  for (int i = 0; i < 4; ++i) data[i] = static_cast<char>((number >> (8 * i)) & 0xFF);
  return Value{REG_DWORD, data};
}

QString decodeString(const QByteArray& data) {
  QString text;
  text.reserve(data.size() / 2);
  for (qsizetype i = 0; i + 1 < data.size(); i += 2) {
    const char16_t c =
        static_cast<char16_t>(static_cast<uint8_t>(data[i]) | (static_cast<uint8_t>(data[i + 1]) << 8));
    if (c == 0) break;
    text.append(QChar(c));
  }
  return text;
}

std::optional<uint32_t> decodeDword(const Value& value) {
  if (value.type != REG_DWORD || value.data.size() != 4) return std::nullopt;
  uint32_t number = 0;
  for (int i = 0; i < 4; ++i) number |= static_cast<uint32_t>(static_cast<uint8_t>(value.data[i])) << (8 * i);
  return number;
}

WriteBatch::WriteBatch(Hive hive) : hive_(hive) {
  HiveState& s = state(hive_);
  QMutexLocker lock(&s.mutex);
  if (s.file) s.file->beginBatch(s.tree);
}

WriteBatch::~WriteBatch() {
  HiveState& s = state(hive_);
  QMutexLocker lock(&s.mutex);
  if (s.file) s.file->endBatch(s.tree);
}

void resetForTests() {
  QMutexLocker setup(&setupMutex);
  for (HiveState& s : hives) {
    QMutexLocker lock(&s.mutex);
    s.tree.clear();
    s.file.reset();
    s.ready = false;
  }
}

}  // namespace vistrel::platform::registry
