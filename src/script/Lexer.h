// Tokens of the script language, with the optional preprocessor ({$DEFINE}, {$IFDEF}, {$I}...).
#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

#include <deque>
#include <vector>

#include "script/ScriptEngine.h"

namespace vistrel::script {

struct CompileError {
  int line = 0;
  int column = 0;
  QString fileName;
  QString text;
};

enum class Tok { Ident, Int, Real, Str, Sym, Eof };

struct Token {
  Tok kind = Tok::Eof;
  QString text;   // identifiers as written; symbols as their characters
  QString lower;  // identifiers in lower case
  QString str;    // string literals, decoded
  int64_t ival = 0;
  double fval = 0;
  int line = 0;
  int column = 0;
  int file = 0;
  bool isSym(const char* s) const { return kind == Tok::Sym && text == QLatin1String(s); }
  bool isKw(const char* s) const { return kind == Tok::Ident && lower == QLatin1String(s); }
  QString describe() const;
};

class Lexer {
 public:
  struct Options {
    bool preprocessor = false;
    QStringList defines;
    IncludeResolver includeResolver;
  };
  Lexer(const QString& text, Options options);

  Token next();
  // Looks n tokens ahead (0 is the next token next() would return).
  const Token& peek(size_t n = 0);
  QString fileName(int file) const { return files_.value(file); }

 private:
  struct Source {
    QString text;
    int pos = 0;
    int line = 1;
    int lineStart = 0;
    int file = 0;
  };
  Token lex();
  Token lexOne(Source& s);
  bool skipSpaceAndComments(Source& s);  // false at the end of the source
  void directive(Source& s, const QString& body, int line, int column);
  [[noreturn]] void fail(const Source& s, int line, int column, const QString& text) const;
  bool active() const;

  Options options_;
  std::vector<Source> sources_;
  QStringList files_;
  QSet<QString> defines_;
  struct Cond {
    bool active;
    bool parentActive;
    bool sawElse;
  };
  std::vector<Cond> conds_;
  std::deque<Token> ahead_;
};

}  // namespace vistrel::script
