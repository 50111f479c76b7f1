#include "settings/PreferencesMan.h"

#include <QtEndian>
#include <cstring>

#include "platform/registry/Registry.h"
#include "settings/IniDocument.h"
#include "settings/SettingsContext.h"

namespace vistrel::settings {

namespace reg = platform::registry;

namespace {

bool isHeaderLine(const QString& line) {
  return line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'));
}

// The text before the first "=", empty for a line without one.
QStringView nameOf(const QString& line) {
  const qsizetype eq = line.indexOf(QLatin1Char('='));
  return eq < 0 ? QStringView() : QStringView(line).left(eq);
}

bool sameName(QStringView a, QStringView b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

QString childPath(const QString& current, const QString& path) {
  return current.isEmpty() ? path : current + QLatin1Char('\\') + path;
}

QString parentPath(const QString& path) {
  const qsizetype slash = path.lastIndexOf(QLatin1Char('\\'));
  return slash < 0 ? QString() : path.left(slash);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Ini file

TIniPreferencesMan::TIniPreferencesMan(const QString& iniFile, bool create)
    : doc_(IniDocument::acquire(iniFile)) {
  if (!doc_->existed() && !doc_->unreadable() && doc_->lines.isEmpty())
    doc_->lines.append(QStringLiteral("[]"));
  OpenSection(QString(), create);
}

TIniPreferencesMan::~TIniPreferencesMan() { doc_->save(); }

qsizetype TIniPreferencesMan::findHeader(const QString& path) const {
  const QString header = QLatin1Char('[') + path + QLatin1Char(']');
  const QStringList& lines = doc_->lines;
  for (qsizetype i = 0; i < lines.size(); ++i) {
    if (lines[i].size() == header.size() && sameName(lines[i], header)) return i;
  }
  return -1;
}

qsizetype TIniPreferencesMan::bodyEnd() const {
  const QStringList& lines = doc_->lines;
  qsizetype i = section_ + 1;
  while (i < lines.size() && !lines[i].isEmpty() && !isHeaderLine(lines[i])) ++i;
  return i;
}

qsizetype TIniPreferencesMan::findValue(const QString& name) const {
  if (section_ < 0) return -1;
  const QStringList& lines = doc_->lines;
  const qsizetype end = bodyEnd();
  for (qsizetype i = section_ + 1; i < end; ++i) {
    if (sameName(nameOf(lines[i]), name)) return i;
  }
  return -1;
}

bool TIniPreferencesMan::OpenSection(const QString& path, bool create) {
  const QString target = childPath(path_, path);
  qsizetype header = findHeader(target);
  if (header < 0) {
    if (!create) return false;
    doc_->lines.append(QString());
    doc_->lines.append(QLatin1Char('[') + target + QLatin1Char(']'));
    header = doc_->lines.size() - 1;
  }
  path_ = target;
  section_ = header;
  return true;
}

bool TIniPreferencesMan::CloseSection() {
  path_ = parentPath(path_);
  section_ = findHeader(path_);
  return section_ >= 0;
}

bool TIniPreferencesMan::ListValueNames(QStringList& names) {
  names.clear();
  if (section_ < 0) return false;
  const qsizetype end = bodyEnd();
  for (qsizetype i = section_ + 1; i < end; ++i) names.append(nameOf(doc_->lines[i]).toString());
  return true;
}

bool TIniPreferencesMan::ListSubsectionNames(QStringList& names) {
  names.clear();
  // At the root the subsections are the headers of their own paths ("[FormSave]"); the root
  // header "[]" and the parameter list's "[\...]" section are none of them.
  const bool root = path_.isEmpty();
  const QString prefix = root ? QStringLiteral("[") : QLatin1Char('[') + path_ + QLatin1Char('\\');
  for (const QString& line : doc_->lines) {
    if (line.size() <= prefix.size() + 1 || !line.endsWith(QLatin1Char(']'))) continue;
    if (!line.startsWith(prefix, Qt::CaseInsensitive)) continue;
    const QString name = line.mid(prefix.size(), line.size() - prefix.size() - 1);
    if (root && name.startsWith(QLatin1Char('\\'))) continue;
    names.append(name);
  }
  return true;
}

bool TIniPreferencesMan::WriteString(const QString& name, const QString& value) {
  if (section_ < 0) return false;
  const QString line = name + QLatin1Char('=') + escapeLineBreaks(value);
  if (const qsizetype i = findValue(name); i >= 0) {
    doc_->lines[i] = line;
  } else {
    doc_->lines.insert(bodyEnd(), line);
  }
  return true;
}

bool TIniPreferencesMan::ReadString(const QString& name, QString& value) {
  const qsizetype i = findValue(name);
  if (i < 0) return false;
  const QString& line = doc_->lines[i];
  value = unescapeLineBreaks(line.mid(line.indexOf(QLatin1Char('=')) + 1));
  return true;
}

bool TIniPreferencesMan::DeleteValue(const QString& name) {
  const qsizetype i = findValue(name);
  if (i < 0) return false;
  doc_->lines.removeAt(i);
  return true;
}

bool TIniPreferencesMan::WriteBoolean(const QString& name, bool value) {
  return WriteString(name, value ? QStringLiteral("True") : QStringLiteral("False"));
}

bool TIniPreferencesMan::ReadBoolean(const QString& name, bool& value) {
  QString text;
  if (!ReadString(name, text)) return false;
  if (text == QLatin1String("True")) {
    value = true;
    return true;
  }
  if (text == QLatin1String("False")) {
    value = false;
    return true;
  }
  return false;
}

bool TIniPreferencesMan::WriteInteger(const QString& name, int32_t value) {
  return WriteString(name, QString::number(value));
}

bool TIniPreferencesMan::ReadInteger(const QString& name, int32_t& value) {
  QString text;
  if (!ReadString(name, text)) return false;
  value = parseInteger(text).value_or(0);
  return true;
}

bool TIniPreferencesMan::WriteReal(const QString& name, double value) {
  return WriteString(name, formatReal(value, settingsLocale().decimalPoint()));
}

bool TIniPreferencesMan::ReadReal(const QString& name, double& value) {
  QString text;
  if (!ReadString(name, text)) {
    value = 0.0;
    return false;
  }
  value = parseReal(text, settingsLocale().decimalPoint()).value_or(0.0);
  return true;
}

// ---------------------------------------------------------------------------------------------
// Registry

TRegPreferencesMan::TRegPreferencesMan(const QString& baseKey, bool create) : base_(baseKey) {
  OpenSection(QString(), create);
}

QString TRegPreferencesMan::keyOf(const QString& path) const {
  return path.isEmpty() ? base_ : base_ + QLatin1Char('\\') + path;
}

bool TRegPreferencesMan::OpenSection(const QString& path, bool create) {
  const QString target = childPath(path_, path);
  const QString key = keyOf(target);
  if (!reg::keyExists(reg::Hive::CurrentUser, key) &&
      !(create && reg::createKey(reg::Hive::CurrentUser, key)))
    return false;
  path_ = target;
  open_ = true;
  return true;
}

bool TRegPreferencesMan::CloseSection() {
  path_ = parentPath(path_);
  open_ = reg::keyExists(reg::Hive::CurrentUser, keyOf(path_));
  return open_;
}

bool TRegPreferencesMan::ListValueNames(QStringList& names) {
  names.clear();
  if (!open_) return false;
  names = reg::valueNames(reg::Hive::CurrentUser, keyOf(path_));
  return true;
}

bool TRegPreferencesMan::ListSubsectionNames(QStringList& names) {
  names.clear();
  if (!open_) return false;
  names = reg::subkeyNames(reg::Hive::CurrentUser, keyOf(path_));
  return true;
}

bool TRegPreferencesMan::WriteString(const QString& name, const QString& value) {
  return open_ && reg::setValue(reg::Hive::CurrentUser, keyOf(path_), name, reg::stringValue(value, 1));
}

bool TRegPreferencesMan::ReadString(const QString& name, QString& value) {
  if (!open_) return false;
  const auto found = reg::queryValue(reg::Hive::CurrentUser, keyOf(path_), name);
  if (!found) return false;
  const QByteArray& data = found->data;
  if (data.size() <= 1) {
    value.clear();
    return true;
  }
  const qsizetype n = data.size() / 2;
  QString text(n, Qt::Uninitialized);
  for (qsizetype i = 0; i < n; ++i)
    text[i] = QChar(char16_t(uchar(data[2 * i]) | (uchar(data[2 * i + 1]) << 8)));
  if (!text.isEmpty() && text.back() == QChar(0)) text.chop(1);
  value = text;
  return true;
}

bool TRegPreferencesMan::DeleteValue(const QString& name) {
  return open_ && reg::deleteValue(reg::Hive::CurrentUser, keyOf(path_), name);
}

bool TRegPreferencesMan::WriteBoolean(const QString& name, bool value) {
  return WriteInteger(name, value ? 1 : 0);
}

bool TRegPreferencesMan::ReadBoolean(const QString& name, bool& value) {
  int32_t number = 0;
  if (!ReadInteger(name, number) || (number != 0 && number != 1)) return false;
  value = number == 1;
  return true;
}

bool TRegPreferencesMan::WriteInteger(const QString& name, int32_t value) {
  return open_ && reg::setValue(reg::Hive::CurrentUser, keyOf(path_), name, reg::dwordValue(uint32_t(value)));
}

bool TRegPreferencesMan::ReadInteger(const QString& name, int32_t& value) {
  if (!open_) return false;
  const auto found = reg::queryValue(reg::Hive::CurrentUser, keyOf(path_), name);
  if (!found || found->data.size() != 4) return false;
  value = int32_t(qFromLittleEndian<uint32_t>(found->data.constData()));
  return true;
}

bool TRegPreferencesMan::WriteReal(const QString& name, double value) {
  if (!open_) return false;
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  bits = qToLittleEndian(bits);
  const reg::Value data{reg::REG_BINARY, QByteArray(reinterpret_cast<const char*>(&bits), sizeof bits)};
  return reg::setValue(reg::Hive::CurrentUser, keyOf(path_), name, data);
}

bool TRegPreferencesMan::ReadReal(const QString& name, double& value) {
  if (!open_) return false;
  const auto found = reg::queryValue(reg::Hive::CurrentUser, keyOf(path_), name);
  if (!found || found->data.size() != 8) return false;
  const uint64_t bits = qFromLittleEndian<uint64_t>(found->data.constData());
  std::memcpy(&value, &bits, sizeof value);
  return true;
}

}  // namespace vistrel::settings
