#pragma once
// The registry as the program knows it from Windows, emulated on Linux.
//
// Paths are backslash-separated key paths below a hive; a leading backslash is allowed, so
// "\Software\Orbano\Vistrel" and "Software\Orbano\Vistrel" name the same key. Key and value
// names compare without regard to case and keep the case they were created with. Values keep
// their type and their exact bytes (a REG_SZ of 2n+1 bytes reads back as 2n+1 bytes).
//
// HKEY_CURRENT_USER and HKEY_CLASSES_ROOT each live in one file under the user's configuration
// folder; every change reloads the file under an exclusive lock, applies itself and replaces the
// file atomically, so two Vistrel processes never lose each other's values. HKEY_LOCAL_MACHINE is
// read-only: the platform layer's own values, or <VISTREL_ROOT>/hklm.ini when that file exists.
// All functions are thread-safe and never throw.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

namespace vistrel::platform::registry {

enum class Hive { CurrentUser, LocalMachine, ClassesRoot };

constexpr uint32_t REG_NONE = 0;
constexpr uint32_t REG_SZ = 1;
constexpr uint32_t REG_EXPAND_SZ = 2;
constexpr uint32_t REG_BINARY = 3;
constexpr uint32_t REG_DWORD = 4;

struct Value {
  uint32_t type = REG_NONE;
  QByteArray data;
  friend bool operator==(const Value&, const Value&) = default;
};

bool keyExists(Hive hive, const QString& path);
// Creates the key and every missing parent; true when the key exists afterwards.
bool createKey(Hive hive, const QString& path);
std::optional<Value> queryValue(Hive hive, const QString& path, const QString& name);
// Fails when the key does not exist (open it with createKey first) or the hive is read-only.
bool setValue(Hive hive, const QString& path, const QString& name, const Value& value);
bool deleteValue(Hive hive, const QString& path, const QString& name);
// Deletes the key with all its subkeys and values (depth first); false when it does not exist.
bool deleteKey(Hive hive, const QString& path);
// Value names in creation order; subkey names in case-insensitive alphabetical order.
QStringList valueNames(Hive hive, const QString& path);
QStringList subkeyNames(Hive hive, const QString& path);

// Value builders and readers for the common encodings.
// A REG_SZ of the text in UTF-16LE followed by `terminatorBytes` zero bytes (2 is the standard
// count 2n+2; 1 gives the 2n+1 form some writers use).
Value stringValue(const QString& text, int terminatorBytes = 2, uint32_t type = REG_SZ);
Value dwordValue(uint32_t number);
// The UTF-16LE text of the data up to its first NUL character; an odd last byte is ignored.
QString decodeString(const QByteArray& data);
std::optional<uint32_t> decodeDword(const Value& value);

// Groups the changes made while it lives (by any thread) into one rewrite of the hive's file,
// taken under the file lock for the whole batch; another process waits for the batch to end.
// Batches nest. A read-only hive ignores it.
class WriteBatch {
 public:
  explicit WriteBatch(Hive hive = Hive::CurrentUser);
  ~WriteBatch();
  WriteBatch(const WriteBatch&) = delete;
  WriteBatch& operator=(const WriteBatch&) = delete;

 private:
  Hive hive_;
};

// Forgets every cached hive and rereads the environment's folders (tests switch VISTREL_ROOT).
void resetForTests();

}  // namespace vistrel::platform::registry
