#pragma once
// The ini file beside the program as both store families see it: an ordered list of lines, read
// with byte-order-mark detection and written whole as UTF-16LE with the mark FF FE and CR LF after
// every line.
//
// One document per file is shared in the process: the preferences component keeps the file open
// from its start to its end while the parameter list opens it for each load and save, and both
// must end in the one file. Whoever commits writes the shared lines, so each writer's sections
// survive the other's commit. Main thread only.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

namespace vistrel::settings {

// FF FE: UTF-16LE; FE FF: UTF-16BE; EF BB BF: UTF-8; anything else UTF-8 when valid, otherwise
// Windows-1252. A CR, an LF or a CR LF ends a line; a last line needs no terminator.
QStringList decodeIniLines(const QByteArray& bytes);
// FF FE, then every line in UTF-16LE followed by CR LF. Lone surrogates are kept as they are.
QByteArray encodeIniLines(const QStringList& lines);

// A value holding line breaks would split into lines of its own and be lost at the next read;
// such breaks are kept in the file as this marker and become CR LF again when read.
inline const QString kLineBreakMarker = QStringLiteral("#@crlf\u00A7#");
QString escapeLineBreaks(const QString& value);
QString unescapeLineBreaks(const QString& value);

class IniDocument {
 public:
  // The document of `path`: the one already in use in this process, else the file loaded now.
  static std::shared_ptr<IniDocument> acquire(const QString& path);
  ~IniDocument();
  IniDocument(const IniDocument&) = delete;
  IniDocument& operator=(const IniDocument&) = delete;

  const QString& path() const { return path_; }
  // The file existed when the document was loaded.
  bool existed() const { return existed_; }
  // The file existed but could not be read: its content is unknown, so it is never overwritten.
  bool unreadable() const { return unreadable_; }
  // Writes the whole file (atomically). False, with a message on standard error, when it cannot.
  bool save();

  QStringList lines;

 private:
  explicit IniDocument(QString path);
  QString path_;
  bool existed_ = false;
  bool unreadable_ = false;
};

}  // namespace vistrel::settings
