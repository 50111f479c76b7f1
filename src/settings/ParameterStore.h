#pragma once
// The parameter store: the flat key/value store of the parameter list, in the registry key or the
// ini section named by the store path, or nowhere. A reader lives for one load, a writer for one
// save. Reads never raise and give the default when the store holds no usable value. Main thread.

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

#include "settings/IncrustRec.h"
#include "settings/SavePreferences.h"

namespace vistrel::platform::registry {
class WriteBatch;
}

namespace vistrel::settings {

class IniDocument;
class SectionIndex;

class TReadPreferences {
 public:
  // Ini mode loads the ini file and throws std::runtime_error when it is missing or unreadable;
  // registry mode reads the key named by the store path (reads give defaults when it is missing).
  TReadPreferences(const QString& storePath, TSavePreferences mode);
  ~TReadPreferences();
  TReadPreferences(const TReadPreferences&) = delete;
  TReadPreferences& operator=(const TReadPreferences&) = delete;

  int32_t ReadInteger(const QString& key, int32_t defaultValue);
  bool ReadBoolean(const QString& key, bool defaultValue);
  double ReadReal(const QString& key, double defaultValue);
  // The empty marker reads as the empty string.
  QString ReadString(const QString& key, const QString& defaultValue);
  // Every field falls back to the same field of the default.
  TincrustRec ReadIncrustRec(const QString& key, const TincrustRec& defaultValue);

 private:
  struct Place;
  std::optional<QString> iniText(const QString& name) const;
  int32_t readInteger(const Place& at, int32_t defaultValue) const;
  bool readBoolean(const Place& at, bool defaultValue) const;
  double readReal(const Place& at, double defaultValue) const;
  QString readString(const Place& at, const QString& defaultValue) const;

  QString storePath_;
  QString header_;
  TSavePreferences mode_;
  std::shared_ptr<IniDocument> ini_;
  std::unique_ptr<SectionIndex> index_;
};

class TWritePreferences {
 public:
  // Ini mode loads the ini file when it exists (an empty list otherwise); registry mode opens the
  // key named by the store path, creating it.
  TWritePreferences(const QString& storePath, TSavePreferences mode);
  // Releases the writer: commits (ini mode rewrites the whole file).
  ~TWritePreferences();
  TWritePreferences(const TWritePreferences&) = delete;
  TWritePreferences& operator=(const TWritePreferences&) = delete;

  void WriteInteger(const QString& key, int32_t value);
  void WriteBoolean(const QString& key, bool value);
  void WriteReal(const QString& key, double value);
  // An empty string is written as the empty marker.
  void WriteString(const QString& key, const QString& value);
  void WriteIncrustRec(const QString& key, const TincrustRec& value);
  // Commits now; later writes are ignored. False when the store could not be written (a message
  // then went to standard error).
  bool Release();

 private:
  struct Place;
  void writeIni(const QString& name, const QString& text);
  void writeInteger(const Place& at, int32_t value);
  void writeBoolean(const Place& at, bool value);
  void writeReal(const Place& at, double value);
  void writeString(const Place& at, const QString& value);

  QString storePath_;
  QString header_;
  TSavePreferences mode_;
  std::shared_ptr<IniDocument> ini_;
  std::unique_ptr<SectionIndex> index_;
  std::unique_ptr<platform::registry::WriteBatch> batch_;  // registry mode: one hive rewrite per save
  bool released_ = false;
  int failedWrites_ = 0;
};

}  // namespace vistrel::settings
