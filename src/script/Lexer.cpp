#include "script/Lexer.h"

#include <QFile>

#include <cmath>
#include <limits>

namespace vistrel::script {

namespace {
constexpr int kMaxIncludeDepth = 16;
constexpr int kMaxConditionalDepth = 256;

// Letters beyond ASCII are accepted too, so that French names can be identifiers.
bool isIdentStart(QChar c) { return c == u'_' || c.isLetter(); }
bool isIdentChar(QChar c) { return isIdentStart(c) || (c >= u'0' && c <= u'9'); }
bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }
int hexValue(QChar c) {
  if (c >= u'0' && c <= u'9') return c.unicode() - '0';
  if (c >= u'a' && c <= u'f') return c.unicode() - 'a' + 10;
  if (c >= u'A' && c <= u'F') return c.unicode() - 'A' + 10;
  return -1;
}
}  // namespace

QString Token::describe() const {
  switch (kind) {
    case Tok::Eof: return QStringLiteral("end of file");
    case Tok::Str: return QStringLiteral("string constant");
    case Tok::Int:
    case Tok::Real: return QStringLiteral("number '%1'").arg(text);
    default: return QStringLiteral("'%1'").arg(text);
  }
}

Lexer::Lexer(const QString& text, Options options) : options_(std::move(options)) {
  sources_.push_back(Source{text, 0, 1, 0, 0});
  files_.append(QString());
  for (const QString& d : options_.defines) defines_.insert(d.trimmed().toUpper());
}

void Lexer::fail(const Source& s, int line, int column, const QString& text) const {
  throw CompileError{line, column, files_.value(s.file), text};
}

bool Lexer::active() const { return conds_.empty() || conds_.back().active; }

const Token& Lexer::peek(size_t n) {
  while (ahead_.size() <= n) ahead_.push_back(lex());
  return ahead_[n];
}

Token Lexer::next() {
  if (!ahead_.empty()) {
    Token t = std::move(ahead_.front());
    ahead_.pop_front();
    return t;
  }
  return lex();
}

Token Lexer::lex() {
  for (;;) {
    Source& s = sources_.back();
    const size_t depth = sources_.size();
    if (!skipSpaceAndComments(s)) {
      if (sources_.size() > 1) {
        sources_.pop_back();
        continue;
      }
      if (!conds_.empty()) fail(s, s.line, s.pos - s.lineStart + 1, QStringLiteral("Missing {$ENDIF}"));
      Token t;
      t.kind = Tok::Eof;
      t.line = s.line;
      t.column = s.pos - s.lineStart + 1;
      t.file = s.file;
      return t;
    }
    // An include starts a new source, which may itself begin with comments.
    if (sources_.size() != depth) continue;
    Source& cur = sources_.back();
    Token t = lexOne(cur);
    if (active()) return t;
  }
}

bool Lexer::skipSpaceAndComments(Source& s) {
  const QString& x = s.text;
  const int n = x.size();
  for (;;) {
    if (s.pos >= n) return false;
    QChar c = x[s.pos];
    if (c == u'\n') {
      ++s.pos;
      ++s.line;
      s.lineStart = s.pos;
      continue;
    }
    if (c.isSpace() || c.unicode() == 0) {
      ++s.pos;
      continue;
    }
    const int line = s.line, column = s.pos - s.lineStart + 1;
    if (c == u'/' && s.pos + 1 < n && x[s.pos + 1] == u'/') {
      while (s.pos < n && x[s.pos] != u'\n') ++s.pos;
      continue;
    }
    const bool brace = c == u'{';
    const bool paren = c == u'(' && s.pos + 1 < n && x[s.pos + 1] == u'*';
    if (!brace && !paren) return true;
    const int bodyStart = s.pos + (brace ? 1 : 2);
    int p = bodyStart;
    int end = -1;
    while (p < n) {
      if (brace && x[p] == u'}') {
        end = p;
        break;
      }
      if (!brace && x[p] == u'*' && p + 1 < n && x[p + 1] == u')') {
        end = p;
        break;
      }
      if (x[p] == u'\n') {
        ++s.line;
        s.lineStart = p + 1;
      }
      ++p;
    }
    if (end < 0) {
      s.pos = n;
      fail(s, line, column, QStringLiteral("Unterminated comment"));
    }
    s.pos = end + (brace ? 1 : 2);
    if (options_.preprocessor && bodyStart < n && x[bodyStart] == u'$') {
      const size_t depth = sources_.size();
      directive(s, x.mid(bodyStart + 1, end - bodyStart - 1), line, column);
      if (sources_.size() != depth) return true;  // an include was pushed; s may have moved
    }
  }
}

void Lexer::directive(Source& s, const QString& body, int line, int column) {
  QString b = body.trimmed();
  int sp = 0;
  while (sp < b.size() && (b[sp].isLetterOrNumber() || b[sp] == u'_')) ++sp;
  const QString name = b.left(sp).toUpper();
  const QString arg = b.mid(sp).trimmed();
  const QString sym = arg.section(QChar(u' '), 0, 0).toUpper();
  if (name == QLatin1String("IFDEF") || name == QLatin1String("IFNDEF")) {
    if (conds_.size() >= kMaxConditionalDepth)
      fail(s, line, column, QStringLiteral("Conditionals nested too deeply"));
    const bool parent = active();
    const bool cond = defines_.contains(sym) == (name == QLatin1String("IFDEF"));
    conds_.push_back(Cond{parent && cond, parent, false});
  } else if (name == QLatin1String("ELSE")) {
    if (conds_.empty() || conds_.back().sawElse) fail(s, line, column, QStringLiteral("Misplaced {$ELSE}"));
    Cond& c = conds_.back();
    c.sawElse = true;
    c.active = c.parentActive && !c.active;
  } else if (name == QLatin1String("ENDIF")) {
    if (conds_.empty()) fail(s, line, column, QStringLiteral("Misplaced {$ENDIF}"));
    conds_.pop_back();
  } else if (!active()) {
    return;
  } else if (name == QLatin1String("DEFINE")) {
    if (!sym.isEmpty()) defines_.insert(sym);
  } else if (name == QLatin1String("UNDEF")) {
    defines_.remove(sym);
  } else if (name == QLatin1String("I") || name == QLatin1String("INCLUDE")) {
    QString file = arg;
    if (file.size() >= 2 && file.startsWith(u'\'') && file.endsWith(u'\''))
      file = file.mid(1, file.size() - 2);
    if (file.isEmpty()) fail(s, line, column, QStringLiteral("File name expected in {$I}"));
    if (sources_.size() > kMaxIncludeDepth)
      fail(s, line, column, QStringLiteral("Includes nested too deeply"));
    std::optional<QString> text;
    if (options_.includeResolver) {
      text = options_.includeResolver(file);
    } else {
      QFile f(file);
      if (f.open(QIODevice::ReadOnly)) text = QString::fromUtf8(f.readAll());
    }
    if (!text) fail(s, line, column, QStringLiteral("Cannot read include file '%1'").arg(file));
    files_.append(file);
    sources_.push_back(Source{*text, 0, 1, 0, int(files_.size() - 1)});
  }
  // Other directives (switches such as {$R+}) are accepted and ignored.
}

Token Lexer::lexOne(Source& s) {
  const QString& x = s.text;
  const int n = x.size();
  Token t;
  t.line = s.line;
  t.column = s.pos - s.lineStart + 1;
  t.file = s.file;
  const int start = s.pos;
  QChar c = x[s.pos];
  if (isIdentStart(c)) {
    while (s.pos < n && isIdentChar(x[s.pos])) ++s.pos;
    t.kind = Tok::Ident;
    t.text = x.mid(start, s.pos - start);
    t.lower = t.text.toLower();
    return t;
  }
  if (isDigit(c) || (c == u'$' && s.pos + 1 < n && hexValue(x[s.pos + 1]) >= 0)) {
    if (c == u'$') {
      ++s.pos;
      uint64_t v = 0;
      while (s.pos < n && hexValue(x[s.pos]) >= 0) {
        if (v >> 60) fail(s, t.line, t.column, QStringLiteral("Integer constant too large"));
        v = v * 16 + uint64_t(hexValue(x[s.pos++]));
      }
      t.kind = Tok::Int;
      t.ival = int64_t(v);
      t.text = x.mid(start, s.pos - start);
      return t;
    }
    while (s.pos < n && isDigit(x[s.pos])) ++s.pos;
    bool real = false;
    if (s.pos + 1 < n && x[s.pos] == u'.' && isDigit(x[s.pos + 1])) {
      real = true;
      ++s.pos;
      while (s.pos < n && isDigit(x[s.pos])) ++s.pos;
    }
    if (s.pos < n && (x[s.pos] == u'e' || x[s.pos] == u'E')) {
      int p = s.pos + 1;
      if (p < n && (x[p] == u'+' || x[p] == u'-')) ++p;
      if (p < n && isDigit(x[p])) {
        real = true;
        s.pos = p;
        while (s.pos < n && isDigit(x[s.pos])) ++s.pos;
      }
    }
    t.text = x.mid(start, s.pos - start);
    if (real) {
      t.kind = Tok::Real;
      t.fval = t.text.toDouble();
      return t;
    }
    bool ok = false;
    t.ival = t.text.toLongLong(&ok);
    if (!ok) {
      // Too large for an integer: Pascal reads it as a real constant.
      t.kind = Tok::Real;
      t.fval = t.text.toDouble();
      return t;
    }
    t.kind = Tok::Int;
    return t;
  }
  if (c == u'\'' || c == u'#') {
    t.kind = Tok::Str;
    while (s.pos < n && (x[s.pos] == u'\'' || x[s.pos] == u'#')) {
      if (x[s.pos] == u'\'') {
        ++s.pos;
        for (;;) {
          if (s.pos >= n || x[s.pos] == u'\n')
            fail(s, t.line, t.column, QStringLiteral("Unterminated string"));
          if (x[s.pos] == u'\'') {
            if (s.pos + 1 < n && x[s.pos + 1] == u'\'') {
              t.str.append(u'\'');
              s.pos += 2;
              continue;
            }
            ++s.pos;
            break;
          }
          t.str.append(x[s.pos++]);
        }
      } else {
        ++s.pos;
        uint32_t v = 0;
        bool any = false;
        if (s.pos < n && x[s.pos] == u'$') {
          ++s.pos;
          while (s.pos < n && hexValue(x[s.pos]) >= 0) {
            v = v * 16 + uint32_t(hexValue(x[s.pos++]));
            any = true;
            if (v > 0xFFFF) fail(s, t.line, t.column, QStringLiteral("Character code out of range"));
          }
        } else {
          while (s.pos < n && isDigit(x[s.pos])) {
            v = v * 10 + uint32_t(x[s.pos++].unicode() - '0');
            any = true;
            if (v > 0xFFFF) fail(s, t.line, t.column, QStringLiteral("Character code out of range"));
          }
        }
        if (!any) fail(s, t.line, t.column, QStringLiteral("Character code expected after '#'"));
        t.str.append(QChar(char16_t(v)));
      }
    }
    t.text = t.str;
    return t;
  }
  t.kind = Tok::Sym;
  auto two = [&](const char* a) {
    return s.pos + 1 < n && x[s.pos] == QLatin1Char(a[0]) && x[s.pos + 1] == QLatin1Char(a[1]);
  };
  for (const char* op : {":=", "<=", ">=", "<>", ".."}) {
    if (two(op)) {
      s.pos += 2;
      t.text = QLatin1String(op);
      return t;
    }
  }
  static const QString singles = QStringLiteral("+-*/=<>()[].,;:^@");
  if (singles.contains(c)) {
    ++s.pos;
    t.text = QString(c);
    return t;
  }
  ++s.pos;
  fail(s, t.line, t.column,
       QStringLiteral("Unexpected character '%1'")
           .arg(c.isPrint() ? QString(c) : QStringLiteral("#%1").arg(c.unicode())));
}

}  // namespace vistrel::script
