// Public interface of the Pascal-syntax script language: compile a script text, declaring the host's
// routines, constants and types while compiling, then run the compiled code.
//
// Threads: a ScriptEngine and everything it hands out belong to the thread that uses it; it is not
// thread-safe. Host routines are called synchronously on the thread that called execute().
//
// Ownership: the engine owns the compiled program; host callables are copied into it and live until
// the next compile() or the engine's destruction. HostCall and CompileContext are only valid during
// the call that hands them out.
//
// The language: program header, uses (ignored), const/type/var sections, procedures and functions
// (nested, forward, default parameters, value/const/var/out), Result or the function name; integer
// types of every width, Boolean, Char, strings (UTF-16), reals, TDateTime, enumerations, subranges,
// sets of up to 256 members, static, dynamic and open arrays, records, procedural types (a routine of
// the program's level or of the host, by name or with @, called through the variable: "p(1)", "f()",
// or "p;" as a statement); if, case (ordinals and strings), for, while, repeat, with, try/except
// (on E: Exception do), try/finally, raise, exit, break, continue. Not supported: pointers, variant
// records, goto, classes declared by scripts, nested routines and methods as procedural values, and
// running host-declared class members.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>

namespace vistrel::script {

enum class MessageKind { Error, Warning, Hint };

// One compiler message. Lines and columns count from 1; fileName is empty for the main text and
// names the included file for text brought in by {$I}.
struct CompilerMessage {
  MessageKind kind = MessageKind::Error;
  int line = 0;
  int column = 0;
  QString text;
  QString fileName;

  // "[Error] (line:column): text", with "file " before the position for included text.
  QString toString() const;
};

// Thrown by a host routine to stop the script with a run-time error carrying this text. Any other
// std::exception thrown by a host routine is reported the same way with its what() text.
class HostError : public std::runtime_error {
 public:
  explicit HostError(const QString& message);
  QString message() const { return QString::fromUtf8(what()); }
};

// The arguments and result of one call of a host routine. Values are converted by the declared
// parameter types: ordinals (integers, Boolean, Char, enumerations) as integers, reals as doubles,
// strings as QString; records and arrays as QVariantList (fields in declaration order), sets as
// QVariantList of their members' ordinals.
class HostCall {
 public:
  virtual ~HostCall() = default;
  virtual int argumentCount() const = 0;
  virtual qint64 integer(int index) const = 0;
  virtual double real(int index) const = 0;
  virtual QString string(int index) const = 0;
  virtual bool boolean(int index) const = 0;
  virtual QVariant value(int index) const = 0;
  // For var and out parameters: writes back into the caller's variable.
  virtual void setArgument(int index, const QVariant& value) = 0;
  // The function result; ignored for procedures.
  virtual void setResult(const QVariant& value) = 0;
  // The script line of the call.
  virtual int line() const = 0;
};

using HostRoutine = std::function<void(HostCall&)>;

// Handed to the compile hook: what the host declares becomes visible to the script being compiled.
// Each call returns false when the declaration text does not parse or clashes with an existing name;
// lastError() then says why, and the failure is also added to the compiler messages.
class CompileContext {
 public:
  virtual ~CompileContext() = default;
  // declaration: "procedure Name(params);" or "function Name(params): Type;" (the final ";" is
  // optional). Several parameter modes are allowed: value, const, var, out.
  virtual bool declareRoutine(const QString& declaration, HostRoutine routine) = 0;
  // typeName: any type known at this point ("Integer", "Longint", "string", an enumeration...);
  // value: a number, string or bool convertible to it.
  virtual bool declareConstant(const QString& name, const QString& typeName, const QVariant& value) = 0;
  // definition: the right-hand side of a type declaration, e.g. "(a, b, c)", "set of TFoo",
  // "record x, y: Longint; end;", "Word", "array[0..7] of Byte".
  virtual bool declareType(const QString& name, const QString& definition) = 0;
  // A class known to scripts by its compile-time declaration only: variables of it can be declared,
  // compared and assigned nil; members are declared with declareClassMember.
  virtual bool declareClass(const QString& name, const QString& parentName) = 0;
  // member: "procedure Name(params);", "function Name(params): Type;", "constructor Create;" or
  // "property Name: Type;" ("property Name: Type read;" for read-only ones).
  virtual bool declareClassMember(const QString& className, const QString& member) = 0;
  virtual QString lastError() const = 0;
};

using CompileHook = std::function<void(CompileContext&)>;

// Where {$I name} finds its text: returns the contents, or nothing when the file cannot be read.
using IncludeResolver = std::function<std::optional<QString>(const QString& name)>;

struct Program;

class ScriptEngine {
 public:
  ScriptEngine();
  ~ScriptEngine();
  ScriptEngine(const ScriptEngine&) = delete;
  ScriptEngine& operator=(const ScriptEngine&) = delete;

  void setScript(const QString& text) { script_ = text; }
  QString script() const { return script_; }

  // Off by default: {$...} comments are then plain comments.
  void setPreprocessorEnabled(bool on) { preprocessor_ = on; }
  bool preprocessorEnabled() const { return preprocessor_; }
  // Symbols defined before the script's first line.
  void setDefines(const QStringList& defines) { defines_ = defines; }
  // Without a resolver, {$I} reads the named file from the file system.
  void setIncludeResolver(IncludeResolver resolver) { includeResolver_ = std::move(resolver); }

  // Called at every compile(), after the standard library is declared and before the script text is
  // read.
  void setCompileHook(CompileHook hook) { compileHook_ = std::move(hook); }
  CompileHook compileHook() const { return compileHook_; }

  // Compiles script(); replaces the previous compiled program. Compilation stops at the first error.
  // While the engine is compiling or running (called from the compile hook or a host routine), it
  // does nothing and returns false, so the code being run is never freed under it.
  bool compile();
  bool isCompiled() const;
  const QList<CompilerMessage>& messages() const { return messages_; }

  // Runs the last compiled program from the start, with fresh global variables. False when nothing
  // is compiled or when the script ends with a run-time error; false without effect while the
  // engine is already compiling or running.
  bool execute();
  bool isBusy() const { return busy_; }
  // After a failed execute(): "[Runtime error] (line:column): text".
  QString runtimeErrorMessage() const;
  QString runtimeErrorText() const { return runtimeError_; }
  int runtimeErrorLine() const { return runtimeErrorLine_; }
  int runtimeErrorColumn() const { return runtimeErrorColumn_; }

  // The value of a global variable after the last execute(), converted as for HostCall::value();
  // an invalid QVariant when there is no such variable.
  QVariant globalValue(const QString& name) const;

  // The largest number of bytes of the native stack that nested script calls may use before the
  // script stops with "Stack overflow". Clamped to what the calling thread's stack allows.
  void setStackLimit(std::size_t bytes) { stackLimit_ = bytes; }
  // The largest number of loop iterations and routine calls one run may make before it stops with
  // "Step limit reached", an error that try/except does not catch; 0 (the default) for no limit.
  void setStepLimit(qint64 steps) { stepLimit_ = steps; }

 private:
  QString script_;
  bool preprocessor_ = false;
  QStringList defines_;
  IncludeResolver includeResolver_;
  CompileHook compileHook_;
  QList<CompilerMessage> messages_;
  std::unique_ptr<Program> program_;
  QString runtimeError_;
  int runtimeErrorLine_ = 0;
  int runtimeErrorColumn_ = 0;
  std::size_t stackLimit_ = 4u * 1024 * 1024;
  qint64 stepLimit_ = 0;
  bool busy_ = false;
};

}  // namespace vistrel::script
