#include "actions/CustomScript.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QtDebug>
#include <exception>
#include <filesystem>

#include "actions/SwitchArgument.h"
#include "settings/IniDocument.h"

namespace vistrel::actions {
namespace {

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }

// Removes control characters and blanks at both ends.
QString trimBlanks(const QString& s) {
  qsizetype begin = 0, end = s.size();
  while (begin < end && s.at(begin).unicode() <= 0x20) ++begin;
  while (end > begin && s.at(end - 1).unicode() <= 0x20) --end;
  return s.mid(begin, end - begin);
}

// The first word of a remainder: blanks end it unless inside double quotes; the quote after an
// opening one ends it; quotes are not part of it.
QString firstWord(const QString& remainder) {
  const QString t = trimBlanks(remainder);
  QString word;
  bool quoted = false;
  for (QChar c : t) {
    if (c == u'"') {
      if (quoted) break;
      quoted = true;
      continue;
    }
    if (!quoted && isBlank(c)) break;
    word.append(c);
  }
  return word;
}

bool isRegularFile(const QString& path) {
  if (path.isEmpty()) return false;
  std::error_code error;
  return std::filesystem::is_regular_file(std::filesystem::path(QFile::encodeName(path).toStdString()),
                                          error);
}

// Reads a text file line by line without holding it whole, so that a huge or binary file costs
// little memory. Empty lines are skipped (a CR LF is two terminators).
class LineReader {
 public:
  bool open(const QString& path) {
    file_.setFileName(path);
    if (!file_.open(QIODevice::ReadOnly)) return false;
    const QByteArray head = file_.peek(3);
    if (head.startsWith("\xFF\xFE")) {
      encoding_ = Encoding::Utf16LE;
      file_.skip(2);
    } else if (head.startsWith("\xFE\xFF")) {
      encoding_ = Encoding::Utf16BE;
      file_.skip(2);
    } else if (head.startsWith("\xEF\xBB\xBF")) {
      encoding_ = Encoding::Utf8;
      file_.skip(3);
    }
    return true;
  }

  // False at the end of the file.
  bool next(QString& line) {
    const int unit = wide() ? 2 : 1;
    for (;;) {
      if (pos_ + unit > buffer_.size()) {
        if (!fill()) break;
        continue;
      }
      const char* p = buffer_.constData() + pos_;
      const char16_t c = wide() ? char16_t(encoding_ == Encoding::Utf16LE ? uchar(p[0]) | (uchar(p[1]) << 8)
                                                                          : (uchar(p[0]) << 8) | uchar(p[1]))
                                : char16_t(uchar(p[0]));
      pos_ += unit;
      if (c == u'\r' || c == u'\n') {
        if (take(line)) return true;
        continue;
      }
      if (current_.size() + unit > TCustomScript::kMaxLineBytes)
        overlong_ = true;
      else
        current_.append(p, unit);
    }
    return take(line);
  }

 private:
  enum class Encoding { Auto, Utf8, Utf16LE, Utf16BE };

  bool wide() const { return encoding_ == Encoding::Utf16LE || encoding_ == Encoding::Utf16BE; }

  bool fill() {
    buffer_.remove(0, pos_);  // keeps an odd byte of a UTF-16 unit
    pos_ = 0;
    const QByteArray more = file_.read(1 << 16);
    if (more.isEmpty()) return false;
    buffer_.append(more);
    return true;
  }

  // The line gathered so far, if it is one to parse; resets the gathering.
  bool take(QString& line) {
    const bool keep = !overlong_ && !current_.isEmpty();
    if (keep) line = decode(current_);
    current_.clear();
    overlong_ = false;
    return keep;
  }

  QString decode(const QByteArray& bytes) const {
    switch (encoding_) {
      case Encoding::Utf8: return QString::fromUtf8(bytes);
      case Encoding::Utf16LE:
      case Encoding::Utf16BE: {
        QString s(bytes.size() / 2, Qt::Uninitialized);
        for (qsizetype i = 0; i < s.size(); ++i) {
          const uchar a = uchar(bytes[2 * i]), b = uchar(bytes[2 * i + 1]);
          s[i] = QChar(encoding_ == Encoding::Utf16LE ? char16_t(a | (b << 8)) : char16_t((a << 8) | b));
        }
        return s;
      }
      case Encoding::Auto: break;
    }
    // UTF-8 when valid, else Windows-1252, as the ini files are read.
    const QStringList lines = settings::decodeIniLines(bytes);
    return lines.isEmpty() ? QString() : lines.join(QString());
  }

  QFile file_;
  Encoding encoding_ = Encoding::Auto;
  QByteArray buffer_;
  qsizetype pos_ = 0;
  QByteArray current_;
  bool overlong_ = false;
};

// Commands parsed from a file are applied in batches of this size, so that a huge file never
// holds all its commands at once.
constexpr size_t kFileBatch = 4096;

}  // namespace

TCustomScript::TCustomScript(TActionList* actionlist, QWidget* mainWindow, QObject* parent)
    : QObject(parent), actionlist_(actionlist), mainWindow_(mainWindow) {}

TCustomSuperAction* TCustomScript::FindAction(const QString& name) {
  const QString n = name.toLower();
  if (!actionlist_) return nullptr;
  if (n.isEmpty()) return defaultAction_;
  if (n == u"quit") {
    quit_ = true;
    return nullptr;
  }
  for (TCustomAction* action : actionlist_->actions()) {
    auto* super = qobject_cast<TCustomSuperAction*>(action);
    if (super && (super->Switch() == n || super->Token() == n)) return super;
  }
  return nullptr;
}

bool TCustomScript::ParseArgument(const QString& argument) {
  const SwitchArgument parsed = SplitSwitchArgument(argument);
  TCustomSuperAction* action = FindAction(parsed.Name);
  if (!action) return false;
  commands_.push_back({action, parsed.Mode, parsed.Value});
  return true;
}

bool TCustomScript::ParseLine(const QString& line) {
  const QString s = trimBlanks(line);
  if (s.isEmpty()) return false;
  TSwitchMode mode = TSwitchMode::smBare;
  const qsizetype start = SwitchPrefixMode(s.at(0), mode) ? 1 : 0;
  qsizetype end = start;
  while (end < s.size() && s.at(end) != u'=' && !isBlank(s.at(end))) ++end;
  const QString name = s.mid(start, end - start);
  QString remainder = end < s.size() ? s.mid(end + 1) : QString();
  if (start == 1 && s.size() == 1) remainder = s;  // a prefix alone
  TCustomSuperAction* action = FindAction(name);
  if (!action) return false;
  const QString word = firstWord(remainder);
  if (mode == TSwitchMode::smBare && qobject_cast<TtoggleAction*>(action)) {
    const QString w = word.toLower();
    if (w == u"true")
      mode = TSwitchMode::smPlus;
    else if (w == u"false")
      mode = TSwitchMode::smMinus;
    else if (w == u"toggle")
      mode = TSwitchMode::smSlash;
  }
  commands_.push_back({action, mode, word});
  return true;
}

bool TCustomScript::ReadCommandFile(const QString& path) {
  if (!isRegularFile(path)) return false;
  LineReader reader;
  if (!reader.open(path)) return false;
  for (QString line; reader.next(line);) ParseLine(line);
  return true;
}

void TCustomScript::ExecuteCommands() {
  if (commands_.empty()) return;
  const TSuperList list = std::move(commands_);
  commands_.clear();
  beginRun();
  applyItems(list);
  endRun();
}

void TCustomScript::beginRun() { ++executing_; }

void TCustomScript::endRun() {
  index_ = -1;
  if (quit_ && mainWindow_) mainWindow_->close();
  --executing_;
}

bool TCustomScript::applyItems(const TSuperList& list) {
  const int outerIndex = index_;
  try {
    for (size_t i = 0; i < list.size(); ++i) {
      index_ = int(i);
      const TActionEx& item = list[i];
      ActionProceed = true;
      QCoreApplication::processEvents();
      if (!item.Action || !item.Action->Enabled()) continue;
      ActionArgs.clear();
      ActionArgs.append(item.Value);
      switch (item.Mode) {
        case TSwitchMode::smPlus: item.Action->SetChecked(false); break;
        case TSwitchMode::smMinus: item.Action->SetChecked(true); break;
        case TSwitchMode::smSlash: item.Action->SetChecked(item.Action->Checked()); break;
        case TSwitchMode::smBare: break;
      }
      if (item.Action) {
        const THandler handler = item.Action->ExecuteHandler();  // it may replace itself
        if (handler) handler(this);
      }
      if (item.Action && item.Action->AutoCheck()) item.Action->SetChecked(!item.Action->Checked());
      QCoreApplication::processEvents();
    }
  } catch (const std::exception& e) {
    qWarning("command %d failed: %s", index_ + 1, e.what());
    index_ = outerIndex;
    return false;
  } catch (...) {
    qWarning("command %d failed", index_ + 1);
    index_ = outerIndex;
    return false;
  }
  index_ = outerIndex;
  return true;
}

void TScript::RunCommandFile(const QString& path) {
  if (!isRegularFile(path)) return;
  LineReader reader;
  if (!reader.open(path)) return;
  ClearCommands();
  bool started = false;
  bool failed = false;
  for (QString line; !failed && reader.next(line);) {
    ParseLine(line);
    if (commandList().size() < kFileBatch) continue;
    if (!started) beginRun();
    started = true;
    const TSuperList batch = std::move(commandList());
    commandList().clear();
    failed = !applyItems(batch);
  }
  if (!failed && !commandList().empty()) {
    if (!started) beginRun();
    started = true;
    const TSuperList batch = std::move(commandList());
    commandList().clear();
    applyItems(batch);
  }
  ClearCommands();
  if (started) endRun();
}

TSwitch::TSwitch(TActionList* actionlist, QWidget* mainWindow, QObject* parent)
    : TCustomScript(actionlist, mainWindow, parent) {
  const QStringList all = QCoreApplication::arguments();
  arguments_ = all.mid(1);
  if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
    activation_ =
        connect(app, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
          if (state == Qt::ApplicationActive) AppActivate();
        });
}

void TSwitch::AppActivate() {
  if (!armed_) return;
  armed_ = false;
  disconnect(activation_);
  if (OnActivate) OnActivate(this);
  ClearCommands();
  for (const QString& argument : arguments_) ParseArgument(argument);
  if (!Commands().empty())
    ExecuteCommands();
  else if (OnNoCommandLine)
    OnNoCommandLine(nullptr);
  ClearCommands();
}

}  // namespace vistrel::actions
