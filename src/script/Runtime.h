// Internal run-time representation of the script language: values, types, the compiled code nodes
// and the execution context. Not part of the public interface.
#pragma once

#include <QString>

#include <algorithm>
#include <bitset>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "script/ScriptEngine.h"

namespace vistrel::script {

struct Agg;
struct Type;

// One storage cell. Ordinals (integers, Boolean, Char, enumerations) live in i, reals in f, strings
// in s; records, static and dynamic arrays, sets, objects and exceptions in a. A var parameter's
// cell holds in ref the cell it designates, and in a the container that keeps that cell alive.
struct Value {
  union {
    int64_t i;
    double f;
    Value* ref;
  };
  QString s;
  std::shared_ptr<Agg> a;
  Value() : i(0) {}
};

// Records and arrays: their cells. Sets: their members. Objects: an identity for the host.
struct Agg : std::enable_shared_from_this<Agg> {
  std::vector<Value> v;
  std::bitset<256> bits;
  const Type* cls = nullptr;  // the class of an object
};

enum class Kind {
  Integer,
  Boolean,
  Char,
  Enum,
  Real,
  String,
  Set,
  Array,
  DynArray,
  Record,
  Class,
  Exception,
  Proc,
  Nil,
  Void
};
enum class IntKind { I8, U8, I16, U16, I32, U32, I64 };

struct Param;
struct Routine;

struct Field {
  QString name;
  Type* type;
};

struct ClassMember {
  QString name;
  Routine* routine = nullptr;  // methods and constructors
  Type* propType = nullptr;    // properties
  bool readOnly = false;
};

struct Type {
  Kind kind = Kind::Void;
  QString name;
  // Ordinals: bounds and storage width; base is the type whose values these are (an enumeration
  // for its subranges), so that compatibility follows it.
  IntKind ik = IntKind::I64;
  int64_t lo = 0, hi = 0;
  Type* base = nullptr;
  bool single = false;
  // Arrays and sets: element type; static arrays: index bounds and index type.
  Type* elem = nullptr;
  Type* index = nullptr;
  int64_t alo = 0, ahi = -1;
  int64_t cells = 1;  // storage cells a value of this type takes, nested records and arrays included
  std::vector<Field> fields;
  std::vector<QString> enumNames;
  // Classes.
  Type* parent = nullptr;
  std::vector<ClassMember> members;
  // Procedural types.
  Routine* signature = nullptr;

  bool isOrdinal() const {
    return kind == Kind::Integer || kind == Kind::Boolean || kind == Kind::Char || kind == Kind::Enum;
  }
  const Type* ordBase() const { return base ? base : this; }
  bool needsAgg() const { return kind == Kind::Array || kind == Kind::Record; }
  int64_t length() const { return ahi - alo + 1; }
};

// The error that stops a script, or that try/except catches.
struct ScriptThrow {
  QString message;
  int line = 0;
  int column = 0;
  bool fatal = false;  // stack overflow and out-of-memory cannot be caught again inside a deep frame
};

struct Frame {
  Value* cells;
  Frame* up;
};

// Cells of the frames of running routines. Frames never move once allocated, so that var parameters
// can point into them; released in the reverse order of allocation.
class ValueStack {
 public:
  struct Mark {
    size_t chunk, top;
  };
  Mark mark() const { return {chunk_, top_}; }
  // Called at every routine call: the common case stays inline.
  Value* alloc(size_t n) {
    if (top_ + n <= size_) [[likely]] {
      Value* p = cells_ + top_;
      top_ += n;
      return p;
    }
    return allocInNextChunk(n);
  }
  void release(Mark m) {
    if (m.chunk != chunk_) [[unlikely]]
      enter(m.chunk);
    top_ = m.top;
  }

 private:
  static constexpr size_t kChunk = 8192;
  struct Chunk {
    std::unique_ptr<Value[]> cells;
    size_t size;
  };
  Value* allocInNextChunk(size_t n) {
    size_t next = chunks_.empty() ? 0 : chunk_ + 1;
    while (next < chunks_.size() && chunks_[next].size < n) ++next;
    if (next >= chunks_.size()) {
      const size_t size = std::max(n, kChunk);
      chunks_.push_back(Chunk{std::unique_ptr<Value[]>(new Value[size]), size});
      next = chunks_.size() - 1;
    }
    enter(next);
    top_ = n;
    return cells_;
  }
  void enter(size_t chunk) {
    chunk_ = chunk;
    cells_ = chunk < chunks_.size() ? chunks_[chunk].cells.get() : nullptr;
    size_ = chunk < chunks_.size() ? chunks_[chunk].size : 0;
  }
  std::vector<Chunk> chunks_;
  size_t chunk_ = 0, top_ = 0;
  Value* cells_ = nullptr;  // of the current chunk
  size_t size_ = 0;
};

struct Ctx {
  Value* globals = nullptr;
  Frame* frame = nullptr;
  Value* cells = nullptr;  // of the running routine: frame->cells, one load fewer per local
  int line = 0;
  int column = 0;
  Agg* lastAgg = nullptr;  // the container of the cell most recently designated
  const char* stackBase = nullptr;
  size_t stackLimit = 0;
  ValueStack stack;
  QString exceptionMessage;  // of the exception being handled
  int exceptionLine = 0, exceptionColumn = 0;
  std::vector<Frame*> display;
  // Loop iterations and routine calls left before the script is stopped; never reached when the
  // host sets no limit.
  int64_t ticks = INT64_MAX;
};

[[noreturn]] void runtimeError(Ctx& c, const QString& message);
// Stops the script for good: try/except does not catch it, so no loop can go on after it.
[[noreturn]] void stepLimitReached(Ctx& c);
inline void tick(Ctx& c) {
  if (--c.ticks < 0) [[unlikely]]
    stepLimitReached(c);
}

enum class Flow { Normal, Break, Continue, Exit };

struct Node {
  virtual ~Node() = default;
};
struct IntNode : Node {
  virtual int64_t operator()(Ctx& c) = 0;
};
struct RealNode : Node {
  virtual double operator()(Ctx& c) = 0;
};
struct StrNode : Node {
  virtual QString operator()(Ctx& c) = 0;
  // Appends the value to out. The whole value is computed before out changes, so out may be a
  // variable that the expression reads; nodes that can write their text straight into out spare a
  // temporary string.
  virtual void appendTo(Ctx& c, QString& out) { out.append((*this)(c)); }
};
struct ValNode : Node {
  virtual Value operator()(Ctx& c) = 0;
};
struct RefNode : Node {
  virtual Value* operator()(Ctx& c) = 0;
};
struct StmtNode : Node {
  virtual Flow operator()(Ctx& c) = 0;
};

template <class B, class R, class F>
struct Lambda final : B {
  F f;
  explicit Lambda(F fn) : f(std::move(fn)) {}
  R operator()(Ctx& c) override { return f(c); }
};

struct Param {
  QString name;
  Type* type = nullptr;
  enum Mode { ByValue, Const, Var, Out } mode = ByValue;
  bool byRef() const { return mode == Var || mode == Out; }
  bool hasDefault = false;
  Value defaultValue;
};

using NativeFn = std::function<void(Ctx&, Value* args, Value& result)>;

struct Routine {
  QString name;
  std::vector<Param> params;
  Type* result = nullptr;  // nullptr for procedures
  int level = 0;           // nesting level of its body: 1 for routines of the program
  // Script routines.
  std::vector<Type*> slotTypes;  // params, then Result (functions), then locals
  StmtNode* body = nullptr;
  std::vector<std::pair<int, Value>> inits;  // locals with a starting value
  bool defined = false;
  bool scalarOnly = false;            // only ordinal and real cells, no var parameters: nothing to release
  int slotCount = 0, paramCount = 0;  // slotTypes.size() and params.size() once the body is compiled
  bool fastScalar = false;            // a script routine with scalarOnly: called without cleanup
  bool forward = false;
  int declLine = 0, declColumn = 0;
  // Native and host routines.
  NativeFn native;
  const Type* ownerClass = nullptr;  // methods: Self is the first argument
  bool isConstructor = false;
};

}  // namespace vistrel::script
