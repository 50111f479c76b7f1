#include "settings/ParameterStore.h"

#include <QtDebug>
#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "platform/registry/Registry.h"
#include "settings/IniDocument.h"
#include "settings/SettingsContext.h"

namespace vistrel::settings {

namespace reg = platform::registry;

namespace {

bool isBlank(QChar c) { return c.unicode() <= 0x20; }

QStringView trimmed(QStringView text) {
  qsizetype begin = 0, end = text.size();
  while (begin < end && isBlank(text[begin])) ++begin;
  while (end > begin && isBlank(text[end - 1])) --end;
  return text.mid(begin, end - begin);
}

bool isHeader(QStringView trimmedLine) {
  return trimmedLine.startsWith(QLatin1Char('[')) && trimmedLine.endsWith(QLatin1Char(']'));
}

}  // namespace

// Where the section headers of the ini lines are, so that a lookup looks at each line only once
// (a damaged file can hold hundreds of thousands of lines). A header is recognised after
// trimming; a name is compared as it stands.
class SectionIndex {
 public:
  // Rebuilds the index when the lines changed behind its back.
  void sync(const QStringList& lines) {
    if (lines.size() == size_) return;
    headers_.clear();
    for (qsizetype i = 0; i < lines.size(); ++i)
      if (isHeader(trimmed(lines[i]))) headers_.push_back(i);
    size_ = lines.size();
  }

  // The first line of the section `header` whose name is exactly `key`; -1 when there is none.
  qsizetype findEntry(const QStringList& lines, const QString& header, const QString& key) const {
    const qsizetype n = lines.size(), k = key.size();
    for (qsizetype i = 0; i < n; ++i) {
      const QString& line = lines[i];
      if (line.size() > k && line[k] == QLatin1Char('=') && line.startsWith(key) &&
          sectionOf(lines, i) == header)
        return i;
    }
    return -1;
  }

  // The first line whose trimmed form is `header`; -1 when there is none.
  qsizetype findHeader(const QStringList& lines, const QString& header) const {
    for (qsizetype h : headers_)
      if (trimmed(lines[h]) == header) return h;
    return -1;
  }

  // The next header after line `h`, or the end of the list.
  qsizetype nextHeader(qsizetype h) const {
    const auto it = std::upper_bound(headers_.begin(), headers_.end(), h);
    return it == headers_.end() ? size_ : *it;
  }

  void inserted(qsizetype at, bool header) {
    for (qsizetype& h : headers_)
      if (h >= at) ++h;
    if (header) headers_.insert(std::upper_bound(headers_.begin(), headers_.end(), at - 1), at);
    ++size_;
  }

 private:
  // The trimmed header that governs line `i`; empty before the first header.
  QStringView sectionOf(const QStringList& lines, qsizetype i) const {
    const auto it = std::lower_bound(headers_.begin(), headers_.end(), i);
    if (it == headers_.begin()) return {};
    return trimmed(lines[*(it - 1)]);
  }

  std::vector<qsizetype> headers_;
  qsizetype size_ = -1;
};

namespace {

QString decimalSeparator() { return settingsLocale().decimalPoint(); }

QString boolText(bool value) { return value ? QStringLiteral("1") : QStringLiteral("0"); }

reg::Value realValue(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  bits = qToLittleEndian(bits);
  return reg::Value{reg::REG_BINARY, QByteArray(reinterpret_cast<const char*>(&bits), sizeof bits)};
}

std::optional<double> decodeReal(const reg::Value& value) {
  if (value.type != reg::REG_BINARY || value.data.size() != 8) return std::nullopt;
  uint64_t bits;
  std::memcpy(&bits, value.data.constData(), sizeof bits);
  bits = qFromLittleEndian(bits);
  double result;
  std::memcpy(&result, &bits, sizeof result);
  return result;
}

std::optional<int32_t> decodeInteger(const reg::Value& value) {
  if (value.type != reg::REG_DWORD || value.data.size() != 4) return std::nullopt;
  return int32_t(qFromLittleEndian<uint32_t>(value.data.constData()));
}

// The fields of the overlay record under the parameter's key: "key\field" in the ini file,
// values of the subkey "key" (and of its subkey "FontRec" for the font) in the registry.
struct RecordNames {
  QString recordKey, fontKey, iniRecord, iniFont;
  RecordNames(const QString& storePath, const QString& key)
      : recordKey(storePath + QLatin1Char('\\') + key),
        fontKey(recordKey + QStringLiteral("\\FontRec")),
        iniRecord(key + QLatin1Char('\\')),
        iniFont(key + QStringLiteral("\\FontRec\\")) {}
};

}  // namespace

struct TReadPreferences::Place {
  QString regPath;
  QString name;     // registry value name
  QString iniName;  // ini key
};

struct TWritePreferences::Place {
  QString regPath;
  QString name;
  QString iniName;
};

// ---------------------------------------------------------------------------------------------
// Reader

TReadPreferences::TReadPreferences(const QString& storePath, TSavePreferences mode)
    : storePath_(storePath),
      header_(QLatin1Char('[') + storePath + QLatin1Char(']')),
      mode_(mode),
      index_(std::make_unique<SectionIndex>()) {
  if (mode_ != spPortable) return;
  ini_ = IniDocument::acquire(parameterIniFile());
  if (ini_->unreadable() || (!ini_->existed() && ini_.use_count() == 1)) {
    ini_.reset();
    throw std::runtime_error("the settings file cannot be read");
  }
}

TReadPreferences::~TReadPreferences() = default;

std::optional<QString> TReadPreferences::iniText(const QString& name) const {
  index_->sync(ini_->lines);
  const qsizetype i = index_->findEntry(ini_->lines, header_, name);
  if (i < 0) return std::nullopt;
  return ini_->lines[i].mid(name.size() + 1);
}

int32_t TReadPreferences::readInteger(const Place& at, int32_t defaultValue) const {
  try {
    switch (mode_) {
      case spNone: return defaultValue;
      case spPortable: {
        const QString text = iniText(at.iniName).value_or(QString::number(defaultValue));
        return parseInteger(text).value_or(0);
      }
      case spRegistre: {
        const auto value = reg::queryValue(reg::Hive::CurrentUser, at.regPath, at.name);
        return value ? decodeInteger(*value).value_or(defaultValue) : defaultValue;
      }
    }
  } catch (...) {
  }
  return defaultValue;
}

bool TReadPreferences::readBoolean(const Place& at, bool defaultValue) const {
  try {
    switch (mode_) {
      case spNone: return defaultValue;
      case spPortable: {
        const QString text = iniText(at.iniName).value_or(boolText(defaultValue));
        return trimmed(text) != QLatin1String("0");
      }
      case spRegistre: {
        const auto value = reg::queryValue(reg::Hive::CurrentUser, at.regPath, at.name);
        if (!value) return defaultValue;
        const auto number = decodeInteger(*value);
        return number ? *number != 0 : defaultValue;
      }
    }
  } catch (...) {
  }
  return defaultValue;
}

double TReadPreferences::readReal(const Place& at, double defaultValue) const {
  try {
    switch (mode_) {
      case spNone: return defaultValue;
      case spPortable: {
        const QString separator = decimalSeparator();
        const QString text = iniText(at.iniName).value_or(formatReal(defaultValue, separator));
        return parseReal(text, separator).value_or(0.0);
      }
      case spRegistre: {
        const auto value = reg::queryValue(reg::Hive::CurrentUser, at.regPath, at.name);
        return value ? decodeReal(*value).value_or(defaultValue) : defaultValue;
      }
    }
  } catch (...) {
  }
  return defaultValue;
}

QString TReadPreferences::readString(const Place& at, const QString& defaultValue) const {
  try {
    QString text = defaultValue;
    switch (mode_) {
      case spNone: return defaultValue;
      case spPortable:
        if (const auto found = iniText(at.iniName)) text = unescapeLineBreaks(*found);
        break;
      case spRegistre: {
        const auto value = reg::queryValue(reg::Hive::CurrentUser, at.regPath, at.name);
        if (value && (value->type == reg::REG_SZ || value->type == reg::REG_EXPAND_SZ))
          text = reg::decodeString(value->data);
        break;
      }
    }
    return text == kEmptyMarker ? QString() : text;
  } catch (...) {
  }
  return defaultValue;
}

int32_t TReadPreferences::ReadInteger(const QString& key, int32_t defaultValue) {
  return readInteger({storePath_, key, key}, defaultValue);
}

bool TReadPreferences::ReadBoolean(const QString& key, bool defaultValue) {
  return readBoolean({storePath_, key, key}, defaultValue);
}

double TReadPreferences::ReadReal(const QString& key, double defaultValue) {
  return readReal({storePath_, key, key}, defaultValue);
}

QString TReadPreferences::ReadString(const QString& key, const QString& defaultValue) {
  return readString({storePath_, key, key}, defaultValue);
}

TincrustRec TReadPreferences::ReadIncrustRec(const QString& key, const TincrustRec& d) {
  try {
    if (mode_ == spNone) return d;
    const RecordNames n(storePath_, key);
    if (mode_ == spRegistre && !reg::keyExists(reg::Hive::CurrentUser, n.recordKey)) return d;
    const auto field = [&](const char* name) {
      const QString f = QString::fromLatin1(name);
      return Place{n.recordKey, f, n.iniRecord + f};
    };
    const bool font = mode_ != spRegistre || reg::keyExists(reg::Hive::CurrentUser, n.fontKey);
    const auto fontField = [&](const char* name) {
      const QString f = QString::fromLatin1(name);
      return Place{n.fontKey, f, n.iniFont + f};
    };
    TincrustRec r;
    r.Incrust1 = readString(field("Incrust1"), d.Incrust1);
    r.Incrust2 = readString(field("Incrust2"), d.Incrust2);
    r.FormatDate1 = readString(field("FormatDate1"), d.FormatDate1);
    r.FormatDate2 = readString(field("FormatDate2"), d.FormatDate2);
    r.DecalageHoraire = readReal(field("Decalage Horaire"), d.DecalageHoraire);
    if (font) {
      const TfontRecord& f = d.FontRec;
      r.FontRec.FontName = readString(fontField("FontName"), f.FontName);
      r.FontRec.FontSize = readInteger(fontField("FontSize"), f.FontSize);
      r.FontRec.FontColor = readInteger(fontField("FontColor"), f.FontColor);
      r.FontRec.FontBold = readBoolean(fontField("FontBold"), f.FontBold);
      r.FontRec.FontItalic = readBoolean(fontField("FontItalic"), f.FontItalic);
      r.FontRec.FontUnderline = readBoolean(fontField("FontUnderline"), f.FontUnderline);
      r.FontRec.FontStrikeOut = readBoolean(fontField("FontStrikeOut"), f.FontStrikeOut);
    } else {
      r.FontRec = d.FontRec;
    }
    r.Autofontsize = readBoolean(field("Autofontsize"), d.Autofontsize);
    r.BorderSize = readInteger(field("BorderSize"), d.BorderSize);
    r.WhatIncrust = uint8_t(readInteger(field("What Incrust"), d.WhatIncrust));
    r.Alignement = uint8_t(readInteger(field("Alignement"), d.Alignement));
    r.BorderColor = readInteger(field("BorderColor"), d.BorderColor);
    r.Xpos = readInteger(field("Xpos"), d.Xpos);
    r.Ypos = readInteger(field("Ypos"), d.Ypos);
    return r;
  } catch (...) {
  }
  return d;
}

// ---------------------------------------------------------------------------------------------
// Writer

TWritePreferences::TWritePreferences(const QString& storePath, TSavePreferences mode)
    : storePath_(storePath),
      header_(QLatin1Char('[') + storePath + QLatin1Char(']')),
      mode_(mode),
      index_(std::make_unique<SectionIndex>()) {
  if (mode_ == spPortable) {
    ini_ = IniDocument::acquire(parameterIniFile());
  } else if (mode_ == spRegistre) {
    batch_ = std::make_unique<reg::WriteBatch>(reg::Hive::CurrentUser);
    if (!reg::createKey(reg::Hive::CurrentUser, storePath_)) ++failedWrites_;
  }
}

TWritePreferences::~TWritePreferences() { Release(); }

bool TWritePreferences::Release() {
  if (released_) return failedWrites_ == 0;
  released_ = true;
  bool ok = true;
  batch_.reset();
  if (ini_) {
    ok = ini_->save();
    ini_.reset();
  }
  if (failedWrites_ > 0) {
    qWarning().noquote() << "vistrel:" << failedWrites_ << "settings could not be written to the registry key"
                         << storePath_;
    ok = false;
  }
  return ok;
}

void TWritePreferences::writeIni(const QString& name, const QString& text) {
  QStringList& lines = ini_->lines;
  index_->sync(lines);
  const QString line = name + QLatin1Char('=') + text;
  // An empty text keeps its line ("name="): dropping it would bring the default back at the next
  // load in place of the user's empty value.
  if (const qsizetype i = index_->findEntry(lines, header_, name); i >= 0) {
    lines[i] = line;
    return;
  }
  const qsizetype h = index_->findHeader(lines, header_);
  if (h < 0) {
    lines.append(header_);
    index_->inserted(lines.size() - 1, true);
    lines.append(line);
    index_->inserted(lines.size() - 1, false);
    return;
  }
  const qsizetype next = index_->nextHeader(h);
  lines.insert(next, line);
  index_->inserted(next, false);
}

void TWritePreferences::writeInteger(const Place& at, int32_t value) {
  try {
    if (released_) return;
    if (mode_ == spPortable) writeIni(at.iniName, QString::number(value));
    if (mode_ == spRegistre &&
        !reg::setValue(reg::Hive::CurrentUser, at.regPath, at.name, reg::dwordValue(uint32_t(value))))
      ++failedWrites_;
  } catch (...) {
    ++failedWrites_;
  }
}

void TWritePreferences::writeBoolean(const Place& at, bool value) {
  try {
    if (released_) return;
    if (mode_ == spPortable) writeIni(at.iniName, boolText(value));
    if (mode_ == spRegistre &&
        !reg::setValue(reg::Hive::CurrentUser, at.regPath, at.name, reg::dwordValue(value ? 1 : 0)))
      ++failedWrites_;
  } catch (...) {
    ++failedWrites_;
  }
}

void TWritePreferences::writeReal(const Place& at, double value) {
  try {
    if (released_) return;
    if (mode_ == spPortable) writeIni(at.iniName, formatReal(value, decimalSeparator()));
    if (mode_ == spRegistre && !reg::setValue(reg::Hive::CurrentUser, at.regPath, at.name, realValue(value)))
      ++failedWrites_;
  } catch (...) {
    ++failedWrites_;
  }
}

void TWritePreferences::writeString(const Place& at, const QString& value) {
  try {
    if (released_) return;
    if (mode_ == spPortable) writeIni(at.iniName, escapeLineBreaks(value));
    if (mode_ == spRegistre &&
        !reg::setValue(reg::Hive::CurrentUser, at.regPath, at.name, reg::stringValue(value)))
      ++failedWrites_;
  } catch (...) {
    ++failedWrites_;
  }
}

void TWritePreferences::WriteInteger(const QString& key, int32_t value) {
  writeInteger({storePath_, key, key}, value);
}

void TWritePreferences::WriteBoolean(const QString& key, bool value) {
  writeBoolean({storePath_, key, key}, value);
}

void TWritePreferences::WriteReal(const QString& key, double value) {
  writeReal({storePath_, key, key}, value);
}

void TWritePreferences::WriteString(const QString& key, const QString& value) {
  writeString({storePath_, key, key}, value.isEmpty() ? kEmptyMarker : value);
}

void TWritePreferences::WriteIncrustRec(const QString& key, const TincrustRec& r) {
  if (mode_ == spNone || released_) return;
  try {
    const RecordNames n(storePath_, key);
    if (mode_ == spRegistre && (!reg::createKey(reg::Hive::CurrentUser, n.recordKey) ||
                                !reg::createKey(reg::Hive::CurrentUser, n.fontKey)))
      ++failedWrites_;
    const auto field = [&](const char* name) {
      const QString f = QString::fromLatin1(name);
      return Place{n.recordKey, f, n.iniRecord + f};
    };
    const auto fontField = [&](const char* name) {
      const QString f = QString::fromLatin1(name);
      return Place{n.fontKey, f, n.iniFont + f};
    };
    writeString(field("Incrust1"), r.Incrust1);
    writeString(field("Incrust2"), r.Incrust2);
    writeString(field("FormatDate1"), r.FormatDate1);
    writeString(field("FormatDate2"), r.FormatDate2);
    writeReal(field("Decalage Horaire"), r.DecalageHoraire);
    writeString(fontField("FontName"), r.FontRec.FontName);
    writeInteger(fontField("FontSize"), r.FontRec.FontSize);
    writeInteger(fontField("FontColor"), r.FontRec.FontColor);
    writeBoolean(fontField("FontBold"), r.FontRec.FontBold);
    writeBoolean(fontField("FontItalic"), r.FontRec.FontItalic);
    writeBoolean(fontField("FontUnderline"), r.FontRec.FontUnderline);
    writeBoolean(fontField("FontStrikeOut"), r.FontRec.FontStrikeOut);
    writeBoolean(field("Autofontsize"), r.Autofontsize);
    writeInteger(field("BorderSize"), r.BorderSize);
    writeInteger(field("What Incrust"), r.WhatIncrust);
    writeInteger(field("Alignement"), r.Alignement);
    writeInteger(field("BorderColor"), r.BorderColor);
    writeInteger(field("Xpos"), r.Xpos);
    writeInteger(field("Ypos"), r.Ypos);
  } catch (...) {
    ++failedWrites_;
  }
}

}  // namespace vistrel::settings
