#pragma once
// The component stores: a hierarchical store (sections inside sections) used by the preferences
// component for its own values and for the action lists' values. Names are compared without
// regard to case. Main thread only.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>

namespace vistrel::settings {

class IniDocument;

class TPreferencesMan {
 public:
  virtual ~TPreferencesMan() = default;
  // The names of the current section's values, in order (the list is cleared first).
  virtual bool ListValueNames(QStringList& names) = 0;
  // The names of the subsections below the current section, deeper levels as "a\b".
  virtual bool ListSubsectionNames(QStringList& names) = 0;
  // Descends into `path` below the current section, creating it when `create` is set. On failure
  // the current section stays as it was.
  virtual bool OpenSection(const QString& path, bool create) = 0;
  // Returns to the parent section.
  virtual bool CloseSection() = 0;
  virtual bool WriteString(const QString& name, const QString& value) = 0;
  // A read that finds nothing leaves `value` unchanged and returns false.
  virtual bool ReadString(const QString& name, QString& value) = 0;
  virtual bool DeleteValue(const QString& name) = 0;
  virtual bool WriteBoolean(const QString& name, bool value) = 0;
  virtual bool ReadBoolean(const QString& name, bool& value) = 0;
  virtual bool WriteInteger(const QString& name, int32_t value) = 0;
  virtual bool ReadInteger(const QString& name, int32_t& value) = 0;
  virtual bool WriteReal(const QString& name, double value) = 0;
  virtual bool ReadReal(const QString& name, double& value) = 0;
};

// Keeps nothing: every operation returns false.
class TNonePreferencesMan : public TPreferencesMan {
 public:
  bool ListValueNames(QStringList&) override { return false; }
  bool ListSubsectionNames(QStringList&) override { return false; }
  bool OpenSection(const QString&, bool) override { return false; }
  bool CloseSection() override { return false; }
  bool WriteString(const QString&, const QString&) override { return false; }
  bool ReadString(const QString&, QString&) override { return false; }
  bool DeleteValue(const QString&) override { return false; }
  bool WriteBoolean(const QString&, bool) override { return false; }
  bool ReadBoolean(const QString&, bool&) override { return false; }
  bool WriteInteger(const QString&, int32_t) override { return false; }
  bool ReadInteger(const QString&, int32_t&) override { return false; }
  bool WriteReal(const QString&, double) override { return false; }
  bool ReadReal(const QString&, double&) override { return false; }
};

// The ini file: the root section is "[]", a subsection "[a\b]". The copy of the file is kept from
// creation to destruction, and the file is written whole only at destruction.
class TIniPreferencesMan : public TPreferencesMan {
 public:
  TIniPreferencesMan(const QString& iniFile, bool create);
  ~TIniPreferencesMan() override;

  bool ListValueNames(QStringList& names) override;
  bool ListSubsectionNames(QStringList& names) override;
  bool OpenSection(const QString& path, bool create) override;
  bool CloseSection() override;
  bool WriteString(const QString& name, const QString& value) override;
  // Booleans are "True" or "False", exactly; any other text reads as not found.
  bool ReadString(const QString& name, QString& value) override;
  bool DeleteValue(const QString& name) override;
  bool WriteBoolean(const QString& name, bool value) override;
  bool ReadBoolean(const QString& name, bool& value) override;
  bool WriteInteger(const QString& name, int32_t value) override;
  // A found entry that is no number reads as 0.
  bool ReadInteger(const QString& name, int32_t& value) override;
  bool WriteReal(const QString& name, double value) override;
  // Gives 0.0 for an entry that is missing (false) or no number (true).
  bool ReadReal(const QString& name, double& value) override;

  QString CurrentPath() const { return path_; }

 private:
  qsizetype findHeader(const QString& path) const;
  qsizetype bodyEnd() const;
  qsizetype findValue(const QString& name) const;

  std::shared_ptr<IniDocument> doc_;
  QString path_;
  qsizetype section_ = -1;  // index of the current section's header line, -1 for none
};

// The registry key HKEY_CURRENT_USER\<base>; every write takes effect at once.
class TRegPreferencesMan : public TPreferencesMan {
 public:
  TRegPreferencesMan(const QString& baseKey, bool create);

  bool ListValueNames(QStringList& names) override;
  bool ListSubsectionNames(QStringList& names) override;
  bool OpenSection(const QString& path, bool create) override;
  bool CloseSection() override;
  // REG_SZ with a byte count of twice the length plus one.
  bool WriteString(const QString& name, const QString& value) override;
  // Reads a one-byte value as empty, otherwise every complete character, less a final NUL.
  bool ReadString(const QString& name, QString& value) override;
  bool DeleteValue(const QString& name) override;
  bool WriteBoolean(const QString& name, bool value) override;
  // Only 4-byte values of 0 or 1 are booleans; anything else reads as not found.
  bool ReadBoolean(const QString& name, bool& value) override;
  bool WriteInteger(const QString& name, int32_t value) override;
  // The 4-byte value whatever its type; other sizes read as not found.
  bool ReadInteger(const QString& name, int32_t& value) override;
  bool WriteReal(const QString& name, double value) override;
  // The 8-byte value whatever its type; other sizes read as not found.
  bool ReadReal(const QString& name, double& value) override;

  QString CurrentPath() const { return path_; }

 private:
  QString keyOf(const QString& path) const;

  QString base_;
  QString path_;
  bool open_ = false;
};

}  // namespace vistrel::settings
