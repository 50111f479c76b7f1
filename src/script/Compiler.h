// The compiler: reads a script and produces its code as a graph of specialised closures.
#pragma once

#include <QHash>
#include <QList>

#include <memory>
#include <vector>

#include "script/Lexer.h"
#include "script/Runtime.h"

namespace vistrel::script {

struct Program {
  std::vector<std::unique_ptr<Node>> nodes;
  std::vector<std::unique_ptr<Type>> types;
  std::vector<std::unique_ptr<Routine>> routines;
  std::vector<Type*> globalTypes;
  std::vector<std::pair<int, Value>> globalInits;  // initialised variables and typed constants
  QHash<QString, int> globalNames;                 // lower-case name -> slot
  StmtNode* main = nullptr;
  std::vector<Value> globals;  // of the last run
};

struct CompileOptions {
  bool preprocessor = false;
  QStringList defines;
  IncludeResolver includeResolver;
  CompileHook hook;
};

// Returns the program, or nullptr with at least one error in messages.
std::unique_ptr<Program> compileProgram(const QString& text, const CompileOptions& options,
                                        QList<CompilerMessage>& messages);

// Helpers shared with the engine.
Value defaultValue(const Type* t);
Value copyValue(const Type* t, const Value& v);
QVariant toVariant(const Type* t, const Value& v);
// False when the variant does not convert to the type.
bool fromVariant(const Type* t, const QVariant& q, Value& out);

}  // namespace vistrel::script
