#include "settings/IniDocument.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QtDebug>
#include <map>

namespace vistrel::settings {
namespace {

// Windows-1252 differs from Latin-1 only in 0x80..0x9F; its five unused codes map to themselves.
constexpr char16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString decodeCp1252(QByteArrayView bytes) {
  QString out(bytes.size(), Qt::Uninitialized);
  QChar* d = out.data();
  for (qsizetype i = 0; i < bytes.size(); ++i) {
    const uchar b = uchar(bytes[i]);
    d[i] = QChar(b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : char16_t(b));
  }
  return out;
}

QString decodeUtf16(QByteArrayView bytes, bool littleEndian) {
  const qsizetype n = bytes.size() / 2;  // a truncated last byte is dropped
  QString out(n, Qt::Uninitialized);
  QChar* d = out.data();
  const auto* p = reinterpret_cast<const uchar*>(bytes.data());
  for (qsizetype i = 0; i < n; ++i) {
    const uchar a = p[2 * i], b = p[2 * i + 1];
    d[i] = QChar(littleEndian ? char16_t(a | (b << 8)) : char16_t((a << 8) | b));
  }
  return out;
}

QString decodeText(const QByteArray& bytes) {
  const auto starts = [&](std::initializer_list<uchar> mark) {
    if (bytes.size() < qsizetype(mark.size())) return false;
    qsizetype i = 0;
    for (uchar m : mark)
      if (uchar(bytes[i++]) != m) return false;
    return true;
  };
  if (starts({0xFF, 0xFE})) return decodeUtf16(QByteArrayView(bytes).sliced(2), true);
  if (starts({0xFE, 0xFF})) return decodeUtf16(QByteArrayView(bytes).sliced(2), false);
  if (starts({0xEF, 0xBB, 0xBF})) return QString::fromUtf8(QByteArrayView(bytes).sliced(3));
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = utf8.decode(bytes);
  if (!utf8.hasError()) return text;
  return decodeCp1252(bytes);
}

// Documents in use, by absolute path; an entry dies with the last holder of its document.
std::map<QString, std::weak_ptr<IniDocument>>& openDocuments() {
  static std::map<QString, std::weak_ptr<IniDocument>> documents;
  return documents;
}

QString documentKey(const QString& path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }

}  // namespace

QStringList decodeIniLines(const QByteArray& bytes) {
  const QString text = decodeText(bytes);
  QStringList lines;
  const QChar* p = text.constData();
  const qsizetype n = text.size();
  qsizetype start = 0;
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t c = p[i].unicode();
    if (c != u'\r' && c != u'\n') continue;
    lines.append(text.mid(start, i - start));
    if (c == u'\r' && i + 1 < n && p[i + 1] == QLatin1Char('\n')) ++i;
    start = i + 1;
  }
  if (start < n) lines.append(text.mid(start));
  return lines;
}

QByteArray encodeIniLines(const QStringList& lines) {
  qsizetype size = 2;
  for (const QString& line : lines) size += 2 * line.size() + 4;
  QByteArray out;
  out.reserve(size);
  out.append(char(0xFF)).append(char(0xFE));
  const auto put = [&out](char16_t c) { out.append(char(c & 0xFF)).append(char(c >> 8)); };
  for (const QString& line : lines) {
    for (QChar c : line) put(c.unicode());
    put(u'\r');
    put(u'\n');
  }
  return out;
}

QString escapeLineBreaks(const QString& value) {
  if (!value.contains(QLatin1Char('\r')) && !value.contains(QLatin1Char('\n'))) return value;
  QString out;
  for (qsizetype i = 0; i < value.size(); ++i) {
    const QChar c = value[i];
    if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
      out += kLineBreakMarker;
      if (c == QLatin1Char('\r') && i + 1 < value.size() && value[i + 1] == QLatin1Char('\n')) ++i;
    } else {
      out += c;
    }
  }
  return out;
}

QString unescapeLineBreaks(const QString& value) {
  if (!value.contains(kLineBreakMarker)) return value;
  QString out = value;
  return out.replace(kLineBreakMarker, QStringLiteral("\r\n"));
}

IniDocument::IniDocument(QString path) : path_(std::move(path)) {}

IniDocument::~IniDocument() {
  auto& documents = openDocuments();
  const auto it = documents.find(documentKey(path_));
  if (it != documents.end() && it->second.expired()) documents.erase(it);
}

std::shared_ptr<IniDocument> IniDocument::acquire(const QString& path) {
  auto& documents = openDocuments();
  const QString key = documentKey(path);
  if (const auto it = documents.find(key); it != documents.end()) {
    if (auto live = it->second.lock()) return live;
  }
  std::shared_ptr<IniDocument> doc(new IniDocument(path));
  const QFileInfo info(path);
  doc->existed_ = info.exists();
  if (doc->existed_) {
    QFile file(path);
    if (info.isFile() && file.open(QIODevice::ReadOnly)) {
      const QByteArray bytes = file.readAll();
      if (file.error() == QFileDevice::NoError) {
        doc->lines = decodeIniLines(bytes);
      } else {
        doc->unreadable_ = true;
      }
    } else {
      doc->unreadable_ = true;
    }
    if (doc->unreadable_)
      qWarning().noquote() << "vistrel: cannot read the settings file" << path
                           << "- using the default settings; the file is left as it is";
  }
  documents[key] = doc;
  return doc;
}

bool IniDocument::save() {
  if (unreadable_) {
    qWarning().noquote()
        << "vistrel: the settings file" << path_
        << "could not be read at start; it is not overwritten and the settings are not saved";
    return false;
  }
  QSaveFile file(path_);
  if (!file.open(QIODevice::WriteOnly) || file.write(encodeIniLines(lines)) < 0 || !file.commit()) {
    qWarning().noquote() << "vistrel: cannot write the settings file" << path_ << ":" << file.errorString();
    return false;
  }
  existed_ = true;
  return true;
}

}  // namespace vistrel::settings
