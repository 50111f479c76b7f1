#include "script/ScriptEngine.h"

#include <pthread.h>

#include "script/Compiler.h"

namespace vistrel::script {

QString CompilerMessage::toString() const {
  const char* k = kind == MessageKind::Error ? "Error" : kind == MessageKind::Warning ? "Warning" : "Hint";
  const QString where = fileName.isEmpty() ? QString() : fileName + u' ';
  return QStringLiteral("[%1] %2(%3:%4): %5").arg(QLatin1String(k), where).arg(line).arg(column).arg(text);
}

HostError::HostError(const QString& message) : std::runtime_error(message.toStdString()) {}

ScriptEngine::ScriptEngine() = default;
ScriptEngine::~ScriptEngine() = default;

bool ScriptEngine::isCompiled() const { return program_ != nullptr; }

namespace {
// Marks the engine busy for the length of a compilation or run, exceptions included.
struct BusyScope {
  bool& busy;
  explicit BusyScope(bool& b) : busy(b) { busy = true; }
  ~BusyScope() { busy = false; }
};
}  // namespace

bool ScriptEngine::compile() {
  if (busy_) return false;
  BusyScope scope(busy_);
  messages_.clear();
  program_.reset();
  CompileOptions o;
  o.preprocessor = preprocessor_;
  o.defines = defines_;
  o.includeResolver = includeResolver_;
  o.hook = compileHook_;
  program_ = compileProgram(script_, o, messages_);
  return program_ != nullptr;
}

namespace {
// How much of the calling thread's stack is left below the current frame.
size_t stackLeft(const char* here) {
  pthread_attr_t attr;
  if (pthread_getattr_np(pthread_self(), &attr) != 0) return 0;
  void* addr = nullptr;
  size_t size = 0;
  const int rc = pthread_attr_getstack(&attr, &addr, &size);
  pthread_attr_destroy(&attr);
  if (rc != 0) return 0;
  const char* low = static_cast<const char*>(addr);
  return here > low ? size_t(here - low) : 0;
}
}  // namespace

bool ScriptEngine::execute() {
  if (busy_) return false;
  BusyScope scope(busy_);
  runtimeError_.clear();
  runtimeErrorLine_ = runtimeErrorColumn_ = 0;
  if (!program_) {
    runtimeError_ = QStringLiteral("The script is not compiled");
    return false;
  }
  Program& p = *program_;
  p.globals.clear();
  p.globals.resize(p.globalTypes.size());
  for (const auto& [slot, init] : p.globalInits)
    p.globals[size_t(slot)] = copyValue(p.globalTypes[size_t(slot)], init);
  Ctx c;
  c.globals = p.globals.data();
  c.stackBase = static_cast<const char*>(__builtin_frame_address(0));
  const size_t left = stackLeft(c.stackBase);
  const size_t margin = 256 * 1024;
  c.stackLimit = left > margin ? std::min(stackLimit_, left - margin) : stackLimit_;
  if (stepLimit_ > 0) c.ticks = stepLimit_;
  try {
    if (p.main) (*p.main)(c);
    return true;
  } catch (const ScriptThrow& t) {
    runtimeError_ = t.message;
    runtimeErrorLine_ = t.line;
    runtimeErrorColumn_ = t.column;
  } catch (const std::bad_alloc&) {
    runtimeError_ = QStringLiteral("Out of memory");
    runtimeErrorLine_ = c.line;
    runtimeErrorColumn_ = c.column;
  }
  return false;
}

QString ScriptEngine::runtimeErrorMessage() const {
  return QStringLiteral("[Runtime error] (%1:%2): %3")
      .arg(runtimeErrorLine_)
      .arg(runtimeErrorColumn_)
      .arg(runtimeError_);
}

QVariant ScriptEngine::globalValue(const QString& name) const {
  if (!program_) return QVariant();
  auto it = program_->globalNames.find(name.toLower());
  if (it == program_->globalNames.end() || size_t(*it) >= program_->globals.size()) return QVariant();
  return toVariant(program_->globalTypes[size_t(*it)], program_->globals[size_t(*it)]);
}

}  // namespace vistrel::script
