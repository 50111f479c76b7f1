// Single-pass compiler: parses, checks types and emits closures specialised by operand types, so
// that running a script never looks at its syntax again.
#include "script/Compiler.h"

#include <QDate>
#include <QDateTime>

#include <algorithm>
#include <climits>
#include <cmath>
#include <utility>

#include "script/StdLib.h"

namespace vistrel::script {

namespace {

constexpr int kMaxNesting = 200;                 // syntactic nesting: parentheses, statements, types
constexpr int kMaxExprDepth = 2000;              // depth of one compiled expression
constexpr size_t kMaxNodes = 4000000;            // about 300 MB of compiled code
constexpr int64_t kMaxCells = int64_t(1) << 22;  // cells of one static array or record: about 200 MB

const char* const kReserved[] = {"and",         "array",     "begin",
                                 "case",        "const",     "div",
                                 "do",          "downto",    "else",
                                 "end",         "except",    "finally",
                                 "for",         "function",  "if",
                                 "in",          "is",        "mod",
                                 "nil",         "not",       "of",
                                 "or",          "packed",    "procedure",
                                 "program",     "raise",     "record",
                                 "repeat",      "set",       "shl",
                                 "shr",         "then",      "to",
                                 "try",         "type",      "until",
                                 "uses",        "var",       "while",
                                 "with",        "xor",       "class",
                                 "constructor", "property",  "label",
                                 "goto",        "interface", "implementation",
                                 "unit",        "object",    "initialization",
                                 "finalization"};

bool isReserved(const QString& lower) {
  for (const char* r : kReserved)
    if (lower == QLatin1String(r)) return true;
  return false;
}

enum class Cat { Ord, Real, Str, Val, Void };

// Procedural values are the routine they designate, held in an integer cell (0 for nil).
Cat catOf(const Type* t) {
  if (t->isOrdinal() || t->kind == Kind::Proc) return Cat::Ord;
  if (t->kind == Kind::Real) return Cat::Real;
  if (t->kind == Kind::String) return Cat::Str;
  if (t->kind == Kind::Void) return Cat::Void;
  return Cat::Val;
}

inline int64_t fitInt(IntKind k, int64_t v) {
  switch (k) {
    case IntKind::I8: return int8_t(v);
    case IntKind::U8: return uint8_t(v);
    case IntKind::I16: return int16_t(v);
    case IntKind::U16: return uint16_t(v);
    case IntKind::I32: return int32_t(v);
    case IntKind::U32: return uint32_t(v);
    default: return v;
  }
}

inline int64_t wrapAdd(int64_t a, int64_t b) { return int64_t(uint64_t(a) + uint64_t(b)); }
inline int64_t wrapSub(int64_t a, int64_t b) { return int64_t(uint64_t(a) - uint64_t(b)); }
inline int64_t wrapMul(int64_t a, int64_t b) { return int64_t(uint64_t(a) * uint64_t(b)); }
inline int64_t bitAnd(int64_t a, int64_t b) { return a & b; }
inline int64_t bitOr(int64_t a, int64_t b) { return a | b; }
inline int64_t bitXor(int64_t a, int64_t b) { return a ^ b; }
inline int64_t shiftLeft(int64_t a, int64_t b) { return int64_t(uint64_t(a) << (b & 63)); }
inline int64_t shiftRight(int64_t a, int64_t b) { return int64_t(uint64_t(a) >> (b & 63)); }
inline int64_t shiftRight32(int64_t a, int64_t b) { return int64_t(uint64_t(uint32_t(a)) >> (b & 63)); }

[[noreturn]] void stackOverflow(Ctx& c) { runtimeError(c, QStringLiteral("Stack overflow")); }

[[noreturn]] void nilObject(Ctx& c, const QString& member) {
  runtimeError(c, QStringLiteral("Access to '%1' of a nil object").arg(member));
}

// At every call: kept inline, the error path out of line.
inline void checkStack(Ctx& c) {
  tick(c);
  char here;
  if (c.stackBase && size_t(c.stackBase - &here) > c.stackLimit) [[unlikely]]
    stackOverflow(c);
}

std::bitset<256> bitsOf(const Value& v) { return v.a ? v.a->bits : std::bitset<256>(); }
Value setValue(const std::bitset<256>& b) {
  Value v;
  v.a = std::make_shared<Agg>();
  v.a->bits = b;
  return v;
}

struct Symbol {
  enum K { Var, Const, TypeName, Proc, Builtin, WithField } k = Var;
  Type* type = nullptr;
  int level = 0, slot = 0;
  bool isRef = false, readOnly = false;
  Value cv;
  Routine* routine = nullptr;
  int builtin = 0;
  int fieldIndex = 0;
  int declLine = 0;
};

struct Scope {
  QHash<QString, Symbol> syms;
  int level = 0;
};

struct CallSite;

struct Expr {
  Type* type = nullptr;
  IntNode* i = nullptr;
  RealNode* r = nullptr;
  StrNode* s = nullptr;
  ValNode* v = nullptr;
  RefNode* ref = nullptr;
  bool isConst = false;
  Value cv;
  bool readOnly = false;
  int depth = 1;
  int line = 0, col = 0;
  // Direct cell of a plain variable (not a var parameter): level 0 = global.
  int slot = -1, slotLevel = -1;
  // An element of a string variable: assignable through these.
  RefNode* strCell = nullptr;
  IntNode* strIdx = nullptr;
  bool setLiteral = false;
  bool isCall = false;
  const CallSite* call = nullptr;  // of a routine call
  StmtNode* stmt = nullptr;        // of a standard procedure: the whole statement, its line included
  // "v + a + b" where v is a plain string variable: what an in-place append needs.
  int appendTo = -1, appendLevel = -1;
  std::vector<StrNode*> appendParts;
  QString name;  // of a plain variable, for messages about calls through it
};

enum Builtin {
  bLength = 1,
  bHigh,
  bLow,
  bInc,
  bDec,
  bOrd,
  bChr,
  bSucc,
  bPred,
  bSetLength,
  bAbs,
  bFormat,
  bExit,
  bBreak,
  bContinue,
  bInclude,
  bExclude,
  bAssigned,
  bRandom,
  bSizeOf,
  bCopy,
  bSqr
};

// Frequent shapes of integer operands get node types of their own, so that the calls and
// conditions using them evaluate them inline instead of through one more virtual call.
struct LocalIntNode final : IntNode {  // a local ordinal plus a constant
  int k;
  int64_t d;
  LocalIntNode(int slot, int64_t add) : k(slot), d(add) {}
  int64_t operator()(Ctx& c) override { return wrapAdd(c.cells[k].i, d); }
};
struct ConstIntNode final : IntNode {
  int64_t x;
  explicit ConstIntNode(int64_t v) : x(v) {}
  int64_t operator()(Ctx&) override { return x; }
};

enum class Rel { EQ, NE, LT, GT, LE, GE };
template <Rel R, class T>
constexpr bool relate(T a, T b) {
  if constexpr (R == Rel::EQ) return a == b;
  if constexpr (R == Rel::NE) return a != b;
  if constexpr (R == Rel::LT) return a < b;
  if constexpr (R == Rel::GT) return a > b;
  if constexpr (R == Rel::LE) return a <= b;
  if constexpr (R == Rel::GE) return a >= b;
}
template <Rel R>
struct LocalCmpNode final : IntNode {  // a local ordinal compared with a constant
  int k;
  int64_t y;
  LocalCmpNode(int slot, int64_t v) : k(slot), y(v) {}
  int64_t operator()(Ctx& c) override { return relate<R>(c.cells[k].i, y); }
};
[[noreturn]] [[gnu::noinline]] void indexError(Ctx& c, int64_t k, int64_t lo, int64_t n, bool dyn) {
  if (dyn && n == 0) runtimeError(c, QStringLiteral("Range check error (index %1 of an empty array)").arg(k));
  runtimeError(c,
               QStringLiteral("Range check error (index %1 out of %2..%3)").arg(k).arg(lo).arg(lo + n - 1));
}

// An element of a dynamic array held in a plain variable (a global, or a local of the running
// routine); its index is evaluated inline when it is a local plus a constant.
template <class Index>
struct DynElemCell final : RefNode {
  int k;
  bool global;
  Index* in;
  DynElemCell(int slot, bool g, Index* i) : k(slot), global(g), in(i) {}
  Value* cell(Ctx& c) {
    const int64_t x = (*in)(c);
    Agg* g = (global ? c.globals[k] : c.cells[k]).a.get();
    const int64_t n = g ? int64_t(g->v.size()) : 0;
    if (uint64_t(x) >= uint64_t(n)) [[unlikely]]
      indexError(c, x, 0, n, true);
    c.lastAgg = g;
    return &g->v[size_t(x)];
  }
  Value* operator()(Ctx& c) override { return cell(c); }
};
template <class Index>
struct DynElemInt final : IntNode {
  DynElemCell<Index>* e;
  explicit DynElemInt(DynElemCell<Index>* cell) : e(cell) {}
  int64_t operator()(Ctx& c) override { return e->cell(c)->i; }
};

template <Rel R>
struct LocalsCmpNode final : IntNode {  // two locals compared
  int k, l;
  LocalsCmpNode(int a, int b) : k(a), l(b) {}
  int64_t operator()(Ctx& c) override { return relate<R>(c.cells[k].i, c.cells[l].i); }
};

// Calls f.operator()<R>() for the relation r known only at compile time of the script.
template <class F>
auto onRel(Rel r, F f) {
  switch (r) {
    case Rel::EQ: return f.template operator()<Rel::EQ>();
    case Rel::NE: return f.template operator()<Rel::NE>();
    case Rel::LT: return f.template operator()<Rel::LT>();
    case Rel::GT: return f.template operator()<Rel::GT>();
    case Rel::LE: return f.template operator()<Rel::LE>();
    default: return f.template operator()<Rel::GE>();
  }
}

struct ArgBind {
  enum How { Int, Real, Str, Share, Clone, Ref } how = Int;
  IntKind ik = IntKind::I64;
  bool single = false;
  IntNode* i = nullptr;
  RealNode* r = nullptr;
  StrNode* s = nullptr;
  ValNode* v = nullptr;
  RefNode* ref = nullptr;
  const Type* t = nullptr;
  // Int arguments that are a local plus a constant, or a constant, are read without their node.
  enum Src { FromNode, FromLocal, FromConst } src = FromNode;
  int slot = 0;
  int64_t add = 0;
  // fitInt(ik, x) without a branch: sign-extend from the type's width, then mask unsigned types.
  int shift = 0;
  int64_t mask = -1;
  void setKind(IntKind k) {
    ik = k;
    static constexpr struct {
      int shift;
      int64_t mask;
    } kFits[] = {{56, -1}, {56, 0xFF}, {48, -1}, {48, 0xFFFF}, {32, -1}, {32, 0xFFFFFFFF}, {0, -1}};
    shift = kFits[int(k)].shift;
    mask = kFits[int(k)].mask;
  }
  int64_t fit(int64_t x) const { return (int64_t(uint64_t(x) << shift) >> shift) & mask; }
};

struct CallSite {
  Routine* r = nullptr;
  std::vector<ArgBind> args;
  int hops = -1;
  int argCount = 0;
  bool intArgs = false;  // every argument is an ordinal passed by value
};

inline int64_t intArg(Ctx& c, const ArgBind& a) {
  switch (a.src) {
    case ArgBind::FromLocal: return wrapAdd(c.cells[a.slot].i, a.add);
    case ArgBind::FromConst: return a.add;
    default: return (*a.i)(c);
  }
}

void bindArgs(Ctx& c, const CallSite& cs, Value* cells) {
  const size_t n = cs.args.size();
  for (size_t k = 0; k < n; ++k) {
    const ArgBind& a = cs.args[k];
    Value& d = cells[k];
    switch (a.how) {
      case ArgBind::Int: d.i = a.fit(intArg(c, a)); break;
      case ArgBind::Real: {
        const double x = (*a.r)(c);
        d.f = a.single ? double(float(x)) : x;
        break;
      }
      case ArgBind::Str: d.s = (*a.s)(c); break;
      case ArgBind::Share: d = (*a.v)(c); break;
      case ArgBind::Clone: d = copyValue(a.t, (*a.v)(c)); break;
      case ArgBind::Ref: {
        c.lastAgg = nullptr;
        Value* p = (*a.ref)(c);
        d.ref = p;
        if (c.lastAgg) d.a = c.lastAgg->shared_from_this();
        break;
      }
    }
  }
}

// What a call changes in the context, put back when it returns or unwinds.
struct CallState {
  Ctx& c;
  ValueStack::Mark mark;
  Frame* frame;
  Value* cells;
  int line, column;
  explicit CallState(Ctx& cx)
      : c(cx), mark(cx.stack.mark()), frame(cx.frame), cells(cx.cells), line(cx.line), column(cx.column) {}
  CallState(const CallState&) = delete;
  CallState& operator=(const CallState&) = delete;
  ~CallState() {
    c.stack.release(mark);
    c.frame = frame;
    c.cells = cells;
    c.line = line;
    c.column = column;
  }
};

// The context as a try statement found it: calls of scalar routines do not put it back when an
// error unwinds them, so a handler does before it runs.
struct CtxSnapshot {
  ValueStack::Mark mark;
  Frame* frame;
  Value* cells;
  int line, column;
  explicit CtxSnapshot(const Ctx& c)
      : mark(c.stack.mark()), frame(c.frame), cells(c.cells), line(c.line), column(c.column) {}
  void restore(Ctx& c) const {
    c.stack.release(mark);
    c.frame = frame;
    c.cells = cells;
    c.line = line;
    c.column = column;
  }
};

// Frames that may hold strings, aggregates or references are emptied before they are released.
struct SlotCleanup : CallState {
  Value* held;
  size_t n;
  SlotCleanup(Ctx& cx, Value* s, size_t count) : CallState(cx), held(s), n(count) {}
  ~SlotCleanup() {
    for (size_t k = 0; k < n; ++k) {
      Value& v = held[k];
      if (!v.s.isNull()) v.s = QString();
      if (v.a) v.a.reset();
      v.i = 0;
    }
  }
};

// The frame of a call lives on the native stack and is published in c.frame for the body; the
// restoring guards take it back out before it goes, which GCC cannot see through inlining.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdangling-pointer"
#endif
inline void enterFrame(Ctx& c, const CallSite& cs, Frame& f, Value* cells) {
  f.cells = cells;
  f.up = nullptr;
  if (cs.hops >= 0) {
    Frame* up = c.frame;
    for (int h = 0; h < cs.hops; ++h) up = up->up;
    f.up = up;
  }
  c.frame = &f;
  c.cells = cells;
}

// The getters take the result cell, or nullptr for a procedure.
struct GetInt {
  int64_t operator()(Value* v) const { return v->i; }
};
struct GetReal {
  double operator()(Value* v) const { return v->f; }
};
struct GetStr {
  QString operator()(Value* v) const { return v ? std::move(v->s) : QString(); }
};
struct GetVal {
  Value operator()(Value* v) const { return v ? std::move(*v) : Value(); }
};
struct GetNone {
  int operator()(Value*) const { return 0; }
};

template <class G>
[[gnu::noinline]] auto invokeNative(Ctx& c, const CallSite& cs, const Routine* r, G get) {
  const size_t n = cs.args.size();
  if (r->scalarOnly && n < 4) {
    // Natives with value parameters only: their cells can live on the native stack.
    Value cells[4];
    bindArgs(c, cs, cells);
    r->native(c, cells, cells[n]);
    return get(&cells[n]);
  }
  const ValueStack::Mark m = c.stack.mark();
  Value* cells = c.stack.alloc(n + 1);
  SlotCleanup guard{c, cells, n + 1};
  guard.mark = m;
  bindArgs(c, cs, cells);
  cells[n].i = 0;
  if (r->result && r->result->needsAgg()) cells[n] = defaultValue(r->result);
  r->native(c, cells, cells[n]);
  return get(&cells[n]);
}

// Script routines whose frame may hold strings, aggregates or var parameters.
template <class G>
[[gnu::noinline]] auto invokeGeneral(Ctx& c, const CallSite& cs, const Routine* r, G get) {
  const size_t n = size_t(r->slotCount);
  const size_t np = size_t(r->paramCount);
  const ValueStack::Mark m = c.stack.mark();
  Value* cells = c.stack.alloc(n);
  SlotCleanup guard{c, cells, n};
  guard.mark = m;
  bindArgs(c, cs, cells);
  for (size_t k = np; k < n; ++k) cells[k].i = 0;
  for (const auto& [slot, init] : r->inits) cells[slot] = copyValue(r->slotTypes[size_t(slot)], init);
  Frame f;
  enterFrame(c, cs, f, cells);
  if (r->body) (*r->body)(c);
  return get(r->result ? &cells[np] : nullptr);
}

// Every call goes through here; calls of routines that keep only ordinals and reals, the common
// case of recursive code, stay inline.
// Arity is the number of arguments when they are all ordinals passed by value, else -1. r is the
// routine called: cs.r, or the value of a procedural variable, whose parameters are those of cs.
template <int Arity, class G>
[[gnu::always_inline]] inline auto invoke(Ctx& c, const CallSite& cs, const Routine* r, G get) {
  checkStack(c);
  if (!r->fastScalar) [[unlikely]]
    return r->native ? invokeNative(c, cs, r, get) : invokeGeneral(c, cs, r, get);
  const int n = r->slotCount;
  const int np = r->paramCount;
  // Put back on return only: an error that unwinds this frame leaves it to the handler that catches
  // it (CtxSnapshot), as the frame holds nothing to release.
  const CtxSnapshot saved(c);
  Value* cells = c.stack.alloc(size_t(n));
  const ArgBind* a = cs.args.data();
  if constexpr (Arity >= 0) {
    for (int k = 0; k < Arity; ++k) cells[k].i = a[k].fit(intArg(c, a[k]));
  } else {
    bindArgs(c, cs, cells);
  }
  for (int k = np; k < n; ++k) cells[k].i = 0;
  for (const auto& [slot, init] : r->inits) cells[slot].i = init.i;
  Frame f;
  enterFrame(c, cs, f, cells);
  if (r->body) (*r->body)(c);
  auto result = get(r->result ? &cells[np] : nullptr);
  saved.restore(c);
  return result;
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

template <class B, class R, class G, int Arity>
struct CallNode final : B {
  const CallSite* cs;
  explicit CallNode(const CallSite* s) : cs(s) {}
  R operator()(Ctx& c) override { return invoke<Arity>(c, *cs, cs->r, G{}); }
};

[[noreturn]] [[gnu::noinline]] void nilCall(Ctx& c) {
  runtimeError(c, QStringLiteral("Call through a nil procedural variable"));
}

// A call through a procedural value: the routine is known only when the call runs. Only routines
// of the program's own level and host routines are procedural values, so no outer frame is needed.
template <class B, class R, class G>
struct IndirectCallNode final : B {
  const CallSite* cs;
  IntNode* target;
  IndirectCallNode(const CallSite* s, IntNode* t) : cs(s), target(t) {}
  R operator()(Ctx& c) override {
    const auto* r = reinterpret_cast<const Routine*>(intptr_t((*target)(c)));
    if (!r) [[unlikely]]
      nilCall(c);
    return invoke<-1>(c, *cs, r, G{});
  }
};

// A procedure call, or a function call whose result is not used, as a statement.
template <int Arity>
struct CallStmtNode final : StmtNode {
  const CallSite* cs;
  int line, column;
  CallStmtNode(const CallSite* s, int l, int col) : cs(s), line(l), column(col) {}
  Flow operator()(Ctx& c) override {
    c.line = line;
    c.column = column;
    invoke<Arity>(c, *cs, cs->r, GetNone{});
    return Flow::Normal;
  }
};

template <class C>
struct IfNode final : StmtNode {
  C* cond;
  StmtNode* a;
  StmtNode* b;
  int line, column;
  IfNode(C* c0, StmtNode* x, StmtNode* y, int l, int col) : cond(c0), a(x), b(y), line(l), column(col) {}
  Flow operator()(Ctx& c) override {
    c.line = line;
    c.column = column;
    if ((*cond)(c)) return a ? (*a)(c) : Flow::Normal;
    return b ? (*b)(c) : Flow::Normal;
  }
};

// IntToStr of an integer expression, without the call machinery, writing its digits straight into
// the string it is appended to.
struct IntToStrNode final : StrNode {
  IntNode* arg;
  explicit IntToStrNode(IntNode* a) : arg(a) {}
  static qsizetype format(int64_t x, char16_t (&buf)[24]) {
    qsizetype k = 24;
    uint64_t u = x < 0 ? 0 - uint64_t(x) : uint64_t(x);
    do {
      buf[--k] = char16_t(u'0' + u % 10);
      u /= 10;
    } while (u);
    if (x < 0) buf[--k] = u'-';
    return k;
  }
  QString operator()(Ctx& c) override {
    // Small numbers are shared texts: building strings from digits then allocates nothing.
    static const std::vector<QString> small = [] {
      std::vector<QString> v;
      for (int k = 0; k < 1024; ++k) v.push_back(QString::number(k));
      return v;
    }();
    const int64_t x = (*arg)(c);
    if (x >= 0 && x < 1024) return small[size_t(x)];
    char16_t buf[24];
    const qsizetype k = format(x, buf);
    return QString(reinterpret_cast<const QChar*>(buf + k), 24 - k);
  }
  void appendTo(Ctx& c, QString& out) override {
    char16_t buf[24];
    const qsizetype k = format((*arg)(c), buf);
    out.append(reinterpret_cast<const QChar*>(buf + k), 24 - k);
  }
};

class Compiler;

class HostContext final : public CompileContext {
 public:
  explicit HostContext(Compiler& c) : c_(c) {}
  bool declareRoutine(const QString& declaration, HostRoutine routine) override;
  bool declareConstant(const QString& name, const QString& typeName, const QVariant& value) override;
  bool declareType(const QString& name, const QString& definition) override;
  bool declareClass(const QString& name, const QString& parentName) override;
  bool declareClassMember(const QString& className, const QString& member) override;
  QString lastError() const override { return error_; }

 private:
  template <class F>
  bool run(const QString& what, F f);
  Compiler& c_;
  QString error_;
};

class HostCallImpl final : public HostCall {
 public:
  HostCallImpl(Ctx& c, const Routine& r, Value* args, Value& result)
      : c_(c), r_(r), args_(args), result_(result) {}
  int argumentCount() const override { return int(r_.params.size()); }
  qint64 integer(int k) const override { return ok(k) ? cell(k).i : 0; }
  double real(int k) const override {
    if (!ok(k)) return 0;
    return r_.params[size_t(k)].type->kind == Kind::Real ? cell(k).f : double(cell(k).i);
  }
  QString string(int k) const override {
    if (!ok(k)) return QString();
    const Type* t = r_.params[size_t(k)].type;
    if (t->kind == Kind::Char) return QString(QChar(char16_t(cell(k).i)));
    if (t->kind == Kind::String) return cell(k).s;
    return toVariant(t, cell(k)).toString();
  }
  bool boolean(int k) const override { return ok(k) && cell(k).i != 0; }
  QVariant value(int k) const override {
    return ok(k) ? toVariant(r_.params[size_t(k)].type, cell(k)) : QVariant();
  }
  void setArgument(int k, const QVariant& v) override {
    if (!ok(k) || !r_.params[size_t(k)].byRef()) return;
    Value x;
    const Type* t = r_.params[size_t(k)].type;
    if (!fromVariant(t, v, x))
      runtimeError(c_, QStringLiteral("Host routine '%1' returned a wrong value").arg(r_.name));
    if (t->isOrdinal()) x.i = fitInt(t->ik, x.i);
    *args_[k].ref = std::move(x);
  }
  void setResult(const QVariant& v) override {
    if (!r_.result) return;
    Value x;
    if (!fromVariant(r_.result, v, x))
      runtimeError(c_, QStringLiteral("Host routine '%1' returned a wrong value").arg(r_.name));
    if (r_.result->isOrdinal()) x.i = fitInt(r_.result->ik, x.i);
    result_ = std::move(x);
  }
  int line() const override { return c_.line; }

 private:
  bool ok(int k) const { return k >= 0 && size_t(k) < r_.params.size(); }
  const Value& cell(int k) const { return r_.params[size_t(k)].byRef() ? *args_[k].ref : args_[k]; }
  Ctx& c_;
  const Routine& r_;
  Value* args_;
  Value& result_;
};

class Compiler {
 public:
  Compiler(const CompileOptions& o, QList<CompilerMessage>& messages) : opts_(o), messages_(messages) {
    prog_ = std::make_unique<Program>();
  }

  std::unique_ptr<Program> run(const QString& text);

  // Host declarations: parse a small text in the system scope.
  Routine* hostRoutine(const QString& decl, NativeFn fn);
  void hostConstant(const QString& name, const QString& typeName, const QVariant& value);
  void hostType(const QString& name, const QString& def);
  void hostClass(const QString& name, const QString& parent);
  void hostClassMember(const QString& cls, const QString& member);
  void addHostMessage(const QString& text) {
    messages_.append(CompilerMessage{MessageKind::Error, 0, 0, text, QString()});
    hostFailed_ = true;
  }

 private:
  friend class HostContext;
  // ---- infrastructure
  template <class B, class R, class F>
  B* node(F f) {
    // Bounds the memory a huge program can take while it is compiled.
    if (prog_->nodes.size() >= kMaxNodes) error(tok_, QStringLiteral("Program too large"));
    auto* n = new Lambda<B, R, F>(std::move(f));
    prog_->nodes.emplace_back(n);
    return n;
  }
  template <class T, class... A>
  T* make(A&&... args) {
    if (prog_->nodes.size() >= kMaxNodes) error(tok_, QStringLiteral("Program too large"));
    auto* n = new T(std::forward<A>(args)...);
    prog_->nodes.emplace_back(n);
    return n;
  }
  template <class F>
  IntNode* I(F f) {
    return node<IntNode, int64_t>(std::move(f));
  }
  template <class F>
  RealNode* R(F f) {
    return node<RealNode, double>(std::move(f));
  }
  template <class F>
  StrNode* S(F f) {
    return node<StrNode, QString>(std::move(f));
  }
  template <class F>
  ValNode* V(F f) {
    return node<ValNode, Value>(std::move(f));
  }
  template <class F>
  RefNode* RF(F f) {
    return node<RefNode, Value*>(std::move(f));
  }
  template <class F>
  StmtNode* ST(F f) {
    return node<StmtNode, Flow>(std::move(f));
  }

  Type* newType(Kind k, const QString& name = QString()) {
    auto t = std::make_unique<Type>();
    t->kind = k;
    t->name = name;
    Type* p = t.get();
    prog_->types.push_back(std::move(t));
    return p;
  }
  Type* intType(const char* name, IntKind k, int64_t lo, int64_t hi) {
    Type* t = newType(Kind::Integer, QLatin1String(name));
    t->ik = k;
    t->lo = lo;
    t->hi = hi;
    return t;
  }
  void setupSystem();

  [[noreturn]] void error(int line, int col, const QString& text) {
    throw CompileError{line, col, lex_ ? lex_->fileName(curFile_) : QString(), text};
  }
  [[noreturn]] void error(const Token& t, const QString& text) {
    throw CompileError{t.line, t.column, lex_ ? lex_->fileName(t.file) : QString(), text};
  }
  [[noreturn]] void expected(const char* what) {
    error(tok_, QStringLiteral("%1 expected but %2 found").arg(QLatin1String(what), tok_.describe()));
  }
  void advance() {
    tok_ = lex_->next();
    curFile_ = tok_.file;
  }
  void expectSym(const char* s) {
    if (!tok_.isSym(s)) expected((QByteArray("'") + s + "'").constData());
    advance();
  }
  void expectKw(const char* s) {
    if (!tok_.isKw(s)) expected((QByteArray("'") + QByteArray(s).toUpper() + "'").constData());
    advance();
  }
  bool acceptSym(const char* s) {
    if (!tok_.isSym(s)) return false;
    advance();
    return true;
  }
  bool acceptKw(const char* s) {
    if (!tok_.isKw(s)) return false;
    advance();
    return true;
  }
  Token ident() {
    if (tok_.kind != Tok::Ident || isReserved(tok_.lower)) expected("Identifier");
    Token t = tok_;
    advance();
    return t;
  }
  struct Nest {
    Compiler& c;
    explicit Nest(Compiler& x, const Token& at) : c(x) {
      if (++c.nesting_ > kMaxNesting) c.error(at, QStringLiteral("Program too deeply nested"));
    }
    ~Nest() { --c.nesting_; }
  };

  // ---- scopes
  Symbol* find(const QString& lower) {
    for (auto it = scopes_.rbegin(); it != scopes_.rend(); ++it) {
      auto f = it->syms.find(lower);
      if (f != it->syms.end()) return &f.value();
    }
    return nullptr;
  }
  void declare(const Token& at, const QString& name, Symbol s) {
    const QString key = name.toLower();
    if (scopes_.back().syms.contains(key)) error(at, QStringLiteral("Duplicate identifier '%1'").arg(name));
    s.declLine = at.line;
    scopes_.back().syms.insert(key, std::move(s));
  }
  int level() const { return level_; }
  std::vector<Type*>& slotTypes() { return curRoutine_ ? curRoutine_->slotTypes : prog_->globalTypes; }
  int newSlot(Type* t) {
    slotTypes().push_back(t);
    return int(slotTypes().size() - 1);
  }

  // ---- expressions
  void materialize(Expr& e);
  Expr constExpr(Type* t, Value v, int line = 0, int col = 0);
  Expr intConst(int64_t v) {
    return constExpr(v >= INT32_MIN && v <= INT32_MAX ? tInteger_ : tInt64_, mkInt(v));
  }
  // A value whose member M holds v.
  template <auto M, class T>
  static Value boxed(T v) {
    Value x;
    x.*M = std::move(v);
    return x;
  }
  static Value mkInt(int64_t v) { return boxed<&Value::i>(v); }
  IntNode* asInt(Expr& e);
  RealNode* asReal(Expr& e, const Token& at);
  StrNode* asStr(Expr& e, const Token& at);
  ValNode* asVal(Expr& e);
  Expr fold(Expr e);
  Expr fromCell(RefNode* cell, Type* t);
  Expr varExpr(const Symbol& s);
  bool assignable(const Type* dst, const Expr& src) const;
  Expr coerce(Expr e, Type* dst, const Token& at);
  QString typeName(const Type* t) const;
  [[noreturn]] void mismatch(const Token& at, const Type* want, const Type* got) {
    error(at, QStringLiteral("Type mismatch: expected %1 but found %2").arg(typeName(want), typeName(got)));
  }
  // With line > 0 the returned statement sets the current line itself when *lineDone says so.
  StmtNode* store(Expr& dst, Expr src, const Token& at, int line = 0, int col = 0, bool* lineDone = nullptr);
  Expr parseExpr();
  Expr parseSimple();
  Expr parseTerm();
  Expr parseFactor();
  // procHint: the procedural type wanted here, so that a routine's bare name is its value.
  Expr parseDesignator(bool statement, Type* procHint = nullptr);
  Expr selectors(Expr e);
  Expr binary(const Token& op, Expr a, Expr b);
  Expr compare(const Token& op, Expr a, Expr b);
  Expr setConstructor(Type* want);
  Expr callRoutine(Routine* r, const Token& at, ValNode* self = nullptr);
  // Parses the arguments of a call of a routine with sig's parameters; what names it in messages.
  CallSite* callSite(Routine* sig, const Token& at, ValNode* self, const QString& what, int& depth);
  // A call through the procedural value target; at is where the call starts.
  Expr callThrough(Expr target, const Token& at);
  // The routine r as a procedural value.
  Expr routineValue(Routine* r, const Token& at);
  bool sameType(const Type* a, const Type* b) const;
  bool sameSignature(const Routine* a, const Routine* b) const;
  Expr makeCall(CallSite* cs, Type* result);
  Expr builtin(int id, const Token& at);
  Expr typecast(Type* t, const Token& at);
  Expr requireLValue(Expr e, const Token& at, bool forWrite = true);
  int64_t constInt(const Token& at, Type** typeOut = nullptr);
  Value constValue(Type* t, const Token& at);

  // ---- declarations
  Type* parseType(const QString& name = QString());
  Type* parseTypeName();
  Routine* parseHeading(bool isFunction, Token& nameTok, bool forHost);
  void parseParams(Routine* r);
  void parseDeclarations();
  void parseConst();
  void parseTypes();
  void parseVars();
  void parseRoutine(bool isFunction);
  void declareParamsAndResult(Routine* r);

  // ---- statements
  StmtNode* parseStatement();
  StmtNode* parseCompound();
  StmtNode* seq(std::vector<StmtNode*> list);
  StmtNode* withLine(StmtNode* s, int line, int col);
  // Calls with up to three ordinal arguments passed by value get nodes that bind them unrolled.
  template <class B, class F>
  B* byArity(const CallSite* cs, F f) {
    switch (cs->intArgs ? cs->argCount : -1) {
      case 0: return f.template operator()<0>();
      case 1: return f.template operator()<1>();
      case 2: return f.template operator()<2>();
      case 3: return f.template operator()<3>();
      default: return f.template operator()<-1>();
    }
  }
  // An if statement whose condition, when it is one of the node types C, is evaluated inline.
  template <class C, class... More>
  StmtNode* makeIf(IntNode* cond, StmtNode* a, StmtNode* b, int line, int col) {
    if constexpr (sizeof...(More) == 0) {
      return make<IfNode<C>>(cond, a, b, line, col);
    } else {
      if (auto* k = dynamic_cast<C*>(cond)) return make<IfNode<C>>(k, a, b, line, col);
      return makeIf<More...>(cond, a, b, line, col);
    }
  }
  // One emitter per operand type for the operation F; a constant right operand is common in loops.
  template <int64_t (*F)(int64_t, int64_t)>
  IntNode* intOp(IntNode* x, IntNode* y, bool yConst, int64_t yv) {
    if (yConst) return I([x, yv](Ctx& c) { return F((*x)(c), yv); });
    return I([x, y](Ctx& c) {
      const int64_t p = (*x)(c);  // the left operand first, as written
      return F(p, (*y)(c));
    });
  }
  template <class F>
  RealNode* realOp(RealNode* x, RealNode* y) {
    return R([x, y](Ctx& c) {
      const double p = (*x)(c);
      return F{}(p, (*y)(c));
    });
  }
  StmtNode* parseIf();
  StmtNode* parseWhile();
  StmtNode* parseRepeat();
  StmtNode* parseFor();
  StmtNode* parseCase();
  StmtNode* parseWith();
  StmtNode* parseTry();
  StmtNode* parseRaise();
  StmtNode* exitWith(const Token& at);

  const CompileOptions& opts_;
  QList<CompilerMessage>& messages_;
  std::unique_ptr<Program> prog_;
  std::unique_ptr<Lexer> lex_;
  Token tok_;
  int curFile_ = 0;
  std::vector<Scope> scopes_;
  int level_ = 0;
  Routine* curRoutine_ = nullptr;
  int nesting_ = 0;
  int loopDepth_ = 0;
  bool hostFailed_ = false;
  Routine* intToStr_ = nullptr;  // the standard IntToStr, which calls compile to IntToStrNode
  std::vector<Routine*> routineStack_;
  int exceptDepth_ = 0;
  int scriptCalls_ = 0;  // calls of script routines compiled so far
  // Set where a procedural value is wanted (assignment, argument, initial value); the next factor
  // parsed takes it.
  Type* procHint_ = nullptr;

 public:
  Type *tInteger_, *tInt64_, *tCardinal_, *tByte_, *tWord_, *tSmallInt_, *tShortInt_, *tBoolean_, *tChar_,
      *tString_, *tDouble_, *tSingle_, *tDateTime_, *tVoid_, *tNil_, *tEmptySet_, *tException_, *tObject_;
};

// ---------------------------------------------------------------------------------------------------------------

QString Compiler::typeName(const Type* t) const {
  if (!t->name.isEmpty()) return t->name;
  switch (t->kind) {
    case Kind::Integer: return QStringLiteral("integer subrange");
    case Kind::Enum: return QStringLiteral("enumeration");
    case Kind::Set:
      return t->elem ? QStringLiteral("set of %1").arg(typeName(t->elem)) : QStringLiteral("set");
    case Kind::Array: return QStringLiteral("array of %1").arg(typeName(t->elem));
    case Kind::DynArray: return QStringLiteral("array of %1").arg(typeName(t->elem));
    case Kind::Record: return QStringLiteral("record");
    case Kind::Proc: {
      // Unnamed procedural types, such as the type of @Routine, are shown by their signature.
      const Routine* r = t->signature;
      QStringList params;
      for (const Param& p : r->params) {
        const char* mode = p.mode == Param::Const ? "const "
                           : p.mode == Param::Var ? "var "
                           : p.mode == Param::Out ? "out "
                                                  : "";
        params << QLatin1String(mode) + typeName(p.type);
      }
      QString s = r->result ? QStringLiteral("function") : QStringLiteral("procedure");
      if (!params.isEmpty()) s += u'(' + params.join(QStringLiteral("; ")) + u')';
      if (r->result) s += QStringLiteral(": ") + typeName(r->result);
      return s;
    }
    case Kind::Nil: return QStringLiteral("nil");
    case Kind::Void: return QStringLiteral("no value");
    default: return QStringLiteral("?");
  }
}

void Compiler::setupSystem() {
  scopes_.push_back(Scope{{}, 0});
  tInteger_ = intType("Integer", IntKind::I32, INT32_MIN, INT32_MAX);
  tInt64_ = intType("Int64", IntKind::I64, INT64_MIN, INT64_MAX);
  tCardinal_ = intType("Cardinal", IntKind::U32, 0, UINT32_MAX);
  tByte_ = intType("Byte", IntKind::U8, 0, 255);
  tWord_ = intType("Word", IntKind::U16, 0, 65535);
  tSmallInt_ = intType("SmallInt", IntKind::I16, INT16_MIN, INT16_MAX);
  tShortInt_ = intType("ShortInt", IntKind::I8, INT8_MIN, INT8_MAX);
  tBoolean_ = newType(Kind::Boolean, QStringLiteral("Boolean"));
  tBoolean_->hi = 1;
  tBoolean_->ik = IntKind::U8;
  tChar_ = newType(Kind::Char, QStringLiteral("Char"));
  tChar_->hi = 65535;
  tChar_->ik = IntKind::U16;
  tString_ = newType(Kind::String, QStringLiteral("string"));
  tDouble_ = newType(Kind::Real, QStringLiteral("Double"));
  tSingle_ = newType(Kind::Real, QStringLiteral("Single"));
  tSingle_->single = true;
  tDateTime_ = newType(Kind::Real, QStringLiteral("TDateTime"));
  tVoid_ = newType(Kind::Void);
  tNil_ = newType(Kind::Nil, QStringLiteral("nil"));
  tEmptySet_ = newType(Kind::Set, QStringLiteral("set"));
  tException_ = newType(Kind::Exception, QStringLiteral("Exception"));
  tObject_ = newType(Kind::Class, QStringLiteral("TObject"));
  Token at;
  auto typeSym = [&](const char* name, Type* t) {
    Symbol s;
    s.k = Symbol::TypeName;
    s.type = t;
    declare(at, QLatin1String(name), s);
  };
  typeSym("Integer", tInteger_);
  typeSym("LongInt", tInteger_);
  typeSym("Int64", tInt64_);
  typeSym("NativeInt", tInt64_);
  typeSym("UInt64", tInt64_);
  typeSym("Cardinal", tCardinal_);
  typeSym("LongWord", tCardinal_);
  typeSym("DWord", tCardinal_);
  typeSym("Byte", tByte_);
  typeSym("Word", tWord_);
  typeSym("SmallInt", tSmallInt_);
  typeSym("ShortInt", tShortInt_);
  typeSym("Boolean", tBoolean_);
  typeSym("Char", tChar_);
  typeSym("WideChar", tChar_);
  typeSym("AnsiChar", tChar_);
  typeSym("string", tString_);
  typeSym("AnsiString", tString_);
  typeSym("WideString", tString_);
  typeSym("UnicodeString", tString_);
  typeSym("ShortString", tString_);
  typeSym("Double", tDouble_);
  typeSym("Extended", tDouble_);
  typeSym("Real", tDouble_);
  typeSym("Currency", tDouble_);
  typeSym("Single", tSingle_);
  typeSym("TDateTime", tDateTime_);
  typeSym("Exception", tException_);
  typeSym("TObject", tObject_);
  auto constSym = [&](const char* name, Type* t, int64_t v) {
    Symbol s;
    s.k = Symbol::Const;
    s.type = t;
    s.cv.i = v;
    declare(at, QLatin1String(name), s);
  };
  constSym("True", tBoolean_, 1);
  constSym("False", tBoolean_, 0);
  constSym("MaxInt", tInteger_, INT32_MAX);
  {
    Symbol s;
    s.k = Symbol::Const;
    s.type = tDouble_;
    s.cv.f = M_PI;
    declare(at, QStringLiteral("Pi"), s);
  }
  const std::pair<const char*, int> builtins[] = {{"Length", bLength},     {"High", bHigh},
                                                  {"Low", bLow},           {"Inc", bInc},
                                                  {"Dec", bDec},           {"Ord", bOrd},
                                                  {"Chr", bChr},           {"Succ", bSucc},
                                                  {"Pred", bPred},         {"SetLength", bSetLength},
                                                  {"Abs", bAbs},           {"Format", bFormat},
                                                  {"Exit", bExit},         {"Break", bBreak},
                                                  {"Continue", bContinue}, {"Include", bInclude},
                                                  {"Exclude", bExclude},   {"Assigned", bAssigned},
                                                  {"Random", bRandom},     {"SizeOf", bSizeOf},
                                                  {"Copy", bCopy},         {"Sqr", bSqr}};
  for (const auto& [name, id] : builtins) {
    Symbol s;
    s.k = Symbol::Builtin;
    s.builtin = id;
    declare(at, QLatin1String(name), s);
  }
  registerStandardRoutines([this](const char* decl, NativeFn fn) {
    Routine* r = hostRoutine(QLatin1String(decl), std::move(fn));
    if (r->name.compare(QLatin1String("IntToStr"), Qt::CaseInsensitive) == 0) intToStr_ = r;
  });
}

// ---------------------------------------------------------------------------------------------------------------
// Expressions

Expr Compiler::constExpr(Type* t, Value v, int line, int col) {
  Expr e;
  e.type = t;
  e.isConst = true;
  e.cv = std::move(v);
  e.line = line;
  e.col = col;
  return e;
}

void Compiler::materialize(Expr& e) {
  if (!e.isConst || e.i || e.r || e.s || e.v) return;
  const Value v = e.cv;
  switch (catOf(e.type)) {
    case Cat::Ord: {
      e.i = make<ConstIntNode>(v.i);
      break;
    }
    case Cat::Real: {
      const double x = v.f;
      e.r = R([x](Ctx&) { return x; });
      break;
    }
    case Cat::Str: {
      const QString x = v.s;
      e.s = S([x](Ctx&) { return x; });
      break;
    }
    default: e.v = V([v](Ctx&) { return v; }); break;
  }
}

IntNode* Compiler::asInt(Expr& e) {
  materialize(e);
  return e.i;
}

RealNode* Compiler::asReal(Expr& e, const Token& at) {
  if (e.type->kind == Kind::Real) {
    materialize(e);
    return e.r;
  }
  if (e.type->kind == Kind::Integer) {
    IntNode* n = asInt(e);
    return R([n](Ctx& c) { return double((*n)(c)); });
  }
  mismatch(at, tDouble_, e.type);
}

StrNode* Compiler::asStr(Expr& e, const Token& at) {
  if (e.type->kind == Kind::String) {
    materialize(e);
    return e.s;
  }
  if (e.type->kind == Kind::Char) {
    IntNode* n = asInt(e);
    return S([n](Ctx& c) { return QString(QChar(char16_t((*n)(c)))); });
  }
  mismatch(at, tString_, e.type);
}

ValNode* Compiler::asVal(Expr& e) {
  materialize(e);
  auto box = [&]<auto M>(auto* n) {
    return V([n](Ctx& c) { return boxed<M>((*n)(c)); });
  };
  switch (catOf(e.type)) {
    case Cat::Ord: return box.template operator()<&Value::i>(e.i);
    case Cat::Real: return box.template operator()<&Value::f>(e.r);
    case Cat::Str: return box.template operator()<&Value::s>(e.s);
    default: return e.v;
  }
}

// Evaluates an expression whose operands are all constant once, at compile time.
Expr Compiler::fold(Expr e) {
  Ctx c;
  Value v;
  try {
    switch (catOf(e.type)) {
      case Cat::Ord: v.i = (*e.i)(c); break;
      case Cat::Real: v.f = (*e.r)(c); break;
      case Cat::Str: v.s = (*e.s)(c); break;
      case Cat::Val: v = (*e.v)(c); break;
      case Cat::Void: return e;
    }
  } catch (const ScriptThrow& t) {
    error(e.line, e.col, t.message);
  }
  Expr r = constExpr(e.type, v, e.line, e.col);
  r.setLiteral = e.setLiteral;
  return r;
}

Expr Compiler::fromCell(RefNode* cell, Type* t) {
  Expr e;
  e.type = t;
  e.ref = cell;
  switch (catOf(t)) {
    case Cat::Ord: e.i = I([cell](Ctx& c) { return (*cell)(c)->i; }); break;
    case Cat::Real: e.r = R([cell](Ctx& c) { return (*cell)(c)->f; }); break;
    case Cat::Str: e.s = S([cell](Ctx& c) { return (*cell)(c)->s; }); break;
    default: e.v = V([cell](Ctx& c) { return *(*cell)(c); }); break;
  }
  return e;
}

Expr Compiler::varExpr(const Symbol& s) {
  const int k = s.slot;
  const int lev = s.level;
  const int cur = level();
  RefNode* cell;
  if (lev == 0) {
    cell = RF([k](Ctx& c) { return &c.globals[k]; });
  } else if (lev == cur) {
    cell = RF([k](Ctx& c) { return &c.cells[k]; });
  } else {
    const int hops = cur - lev;
    cell = RF([k, hops](Ctx& c) {
      Frame* f = c.frame;
      for (int h = 0; h < hops; ++h) f = f->up;
      return &f->cells[k];
    });
  }
  if (s.isRef) {
    RefNode* base = cell;
    cell = RF([base](Ctx& c) {
      Value* v = (*base)(c);
      c.lastAgg = v->a.get();
      return v->ref;
    });
    Expr e = fromCell(cell, s.type);
    e.readOnly = s.readOnly;
    return e;
  }
  // Plain locals and globals of scalar types are read straight from their cell.
  Expr e;
  const Cat cat = catOf(s.type);
  const bool local = lev == cur && lev != 0;
  if ((lev == 0 || local) && (cat == Cat::Ord || cat == Cat::Real)) {
    e.type = s.type;
    e.ref = cell;
    if (lev == 0 && cat == Cat::Ord) e.i = I([k](Ctx& c) { return c.globals[k].i; });
    if (local && cat == Cat::Ord) e.i = make<LocalIntNode>(k, 0);
    if (lev == 0 && cat == Cat::Real) e.r = R([k](Ctx& c) { return c.globals[k].f; });
    if (local && cat == Cat::Real) e.r = R([k](Ctx& c) { return c.cells[k].f; });
  } else {
    e = fromCell(cell, s.type);
  }
  e.readOnly = s.readOnly;
  e.slot = k;
  e.slotLevel = lev == 0 ? 0 : (lev == cur ? cur : -1);
  return e;
}

bool Compiler::assignable(const Type* d, const Expr& src) const {
  const Type* s = src.type;
  if (d == s) return true;
  switch (d->kind) {
    case Kind::Integer: return s->kind == Kind::Integer;
    case Kind::Boolean: return s->kind == Kind::Boolean;
    case Kind::Char:
      return s->kind == Kind::Char || (src.isConst && s->kind == Kind::String && src.cv.s.size() == 1);
    case Kind::Enum: return s->kind == Kind::Enum && s->ordBase() == d->ordBase();
    case Kind::Real: return s->kind == Kind::Real || s->kind == Kind::Integer;
    case Kind::String: return s->kind == Kind::String || s->kind == Kind::Char;
    case Kind::Set:
      if (s->kind != Kind::Set) return false;
      if (s == tEmptySet_ || d == tEmptySet_) return true;
      if (d->elem->kind == Kind::Integer) return s->elem->kind == Kind::Integer;
      return s->elem->ordBase() == d->elem->ordBase();
    case Kind::DynArray:
      if (s->kind == Kind::DynArray)
        return s->elem == d->elem ||
               (s->elem->kind == d->elem->kind && s->elem->isOrdinal() == d->elem->isOrdinal() &&
                s->elem->kind != Kind::Record && s->elem->kind != Kind::Enum && s->elem->ik == d->elem->ik);
      return false;
    case Kind::Class:
      if (s->kind == Kind::Nil) return true;
      for (const Type* p = s; p; p = p->parent)
        if (p == d) return true;
      return false;
    case Kind::Exception: return s->kind == Kind::Exception;
    case Kind::Proc:
      return s->kind == Kind::Nil || (s->kind == Kind::Proc && sameSignature(d->signature, s->signature));
    default: return false;
  }
}

// Types that a procedural value's parameters and result must share: the same type, or one that
// stores and converts exactly as it does (Integer and LongInt, string and WideString, ...).
bool Compiler::sameType(const Type* a, const Type* b) const {
  if (a == b) return true;
  if (a->kind != b->kind) return false;
  switch (a->kind) {
    case Kind::Integer:
    case Kind::Boolean:
    case Kind::Char:
    case Kind::Enum:
      return a->ordBase() == b->ordBase() && a->ik == b->ik && a->lo == b->lo && a->hi == b->hi;
    case Kind::Real: return a->single == b->single;
    case Kind::String: return true;
    case Kind::Set: return (a->elem && b->elem && sameType(a->elem, b->elem));
    case Kind::DynArray: return sameType(a->elem, b->elem);
    case Kind::Proc: return sameSignature(a->signature, b->signature);
    default: return false;
  }
}

bool Compiler::sameSignature(const Routine* a, const Routine* b) const {
  if (a == b) return true;
  if (a->params.size() != b->params.size() || !a->result != !b->result) return false;
  if (a->result && !sameType(a->result, b->result)) return false;
  for (size_t k = 0; k < a->params.size(); ++k)
    if (a->params[k].mode != b->params[k].mode || !sameType(a->params[k].type, b->params[k].type))
      return false;
  return true;
}

Expr Compiler::coerce(Expr e, Type* dst, const Token& at) {
  if (e.type == dst) return e;
  if (!assignable(dst, e)) mismatch(at, dst, e.type);
  Expr r;
  r.type = dst;
  r.depth = e.depth;
  r.line = e.line;
  r.col = e.col;
  switch (catOf(dst)) {
    case Cat::Ord:
      if (e.type->kind == Kind::String) return constExpr(dst, mkInt(e.cv.s[0].unicode()), e.line, e.col);
      e.type = dst;
      return e;
    case Cat::Real:
      if (e.type->kind == Kind::Real) {
        e.type = dst;
        return e;
      }
      if (e.isConst) return constExpr(dst, boxed<&Value::f>(double(e.cv.i)), e.line, e.col);
      r.r = asReal(e, at);
      return r;
    case Cat::Str:
      if (e.type->kind == Kind::String) {
        e.type = dst;
        return e;
      }
      if (e.isConst) return constExpr(dst, boxed<&Value::s>(QString(QChar(char16_t(e.cv.i)))), e.line, e.col);
      r.s = asStr(e, at);
      return r;
    default: e.type = dst; return e;
  }
}

Expr Compiler::requireLValue(Expr e, const Token& at, bool forWrite) {
  if (!e.ref && !(e.strCell && !forWrite)) error(at, QStringLiteral("Variable expected"));
  if (forWrite && e.readOnly) error(at, QStringLiteral("Cannot assign to a read-only value"));
  return e;
}

StmtNode* Compiler::store(Expr& dst, Expr src, const Token& at, int line, int col, bool* lineDone) {
  if (lineDone) *lineDone = false;
  if (dst.readOnly) error(at, QStringLiteral("Cannot assign to a read-only value"));
  Type* t = dst.type;
  if (dst.strCell) {
    src = coerce(std::move(src), tChar_, at);
    RefNode* cell = dst.strCell;
    IntNode* idx = dst.strIdx;
    IntNode* val = asInt(src);
    return ST([cell, idx, val](Ctx& c) {
      const int64_t ch = (*val)(c);
      const int64_t k = (*idx)(c);
      Value* v = (*cell)(c);
      if (k < 1 || k > v->s.size())
        runtimeError(c, QStringLiteral("Range check error (index %1 out of 1..%2)").arg(k).arg(v->s.size()));
      v->s[qsizetype(k - 1)] = QChar(char16_t(ch));
      return Flow::Normal;
    });
  }
  if (!dst.ref) error(at, QStringLiteral("Left side cannot be assigned to"));
  src = coerce(std::move(src), t, at);
  RefNode* cell = dst.ref;
  const int k = dst.slot;
  const int lev = dst.slotLevel;
  switch (catOf(t)) {
    case Cat::Ord: {
      IntNode* v = asInt(src);
      const IntKind ik = t->ik;
      if ((ik == IntKind::I64 || ik == IntKind::I32) && lev >= 0) {
        if (lineDone) *lineDone = true;
        const bool wide = ik == IntKind::I64;
        if (lev == 0)
          return ST([k, v, wide, line, col](Ctx& c) {
            c.line = line;
            c.column = col;
            const int64_t x = (*v)(c);
            c.globals[k].i = wide ? x : int32_t(x);
            return Flow::Normal;
          });
        return ST([k, v, wide, line, col](Ctx& c) {
          c.line = line;
          c.column = col;
          const int64_t x = (*v)(c);
          c.cells[k].i = wide ? x : int32_t(x);
          return Flow::Normal;
        });
      }
      return ST([cell, v, ik](Ctx& c) {
        const int64_t x = fitInt(ik, (*v)(c));
        (*cell)(c)->i = x;
        return Flow::Normal;
      });
    }
    case Cat::Real: {
      RealNode* v = asReal(src, at);
      if (t->single)
        return ST([cell, v](Ctx& c) {
          const double x = double(float((*v)(c)));
          (*cell)(c)->f = x;
          return Flow::Normal;
        });
      return ST([cell, v](Ctx& c) {
        const double x = (*v)(c);
        (*cell)(c)->f = x;
        return Flow::Normal;
      });
    }
    case Cat::Str: {
      StrNode* v = asStr(src, at);
      return ST([cell, v](Ctx& c) {
        QString x = (*v)(c);
        (*cell)(c)->s = std::move(x);
        return Flow::Normal;
      });
    }
    default: {
      ValNode* v = asVal(src);
      if (t->needsAgg()) {
        const Type* tt = t;
        return ST([cell, v, tt](Ctx& c) {
          Value x = copyValue(tt, (*v)(c));
          (*cell)(c)->a = std::move(x.a);
          return Flow::Normal;
        });
      }
      return ST([cell, v](Ctx& c) {
        Value x = (*v)(c);
        Value* d = (*cell)(c);
        d->a = std::move(x.a);
        d->s = std::move(x.s);
        d->i = x.i;
        return Flow::Normal;
      });
    }
  }
}

Expr Compiler::parseExpr() {
  Nest nest(*this, tok_);
  Expr a = parseSimple();
  for (;;) {
    const Token op = tok_;
    if (op.isSym("=") || op.isSym("<>") || op.isSym("<") || op.isSym(">") || op.isSym("<=") ||
        op.isSym(">=") || op.isKw("in")) {
      advance();
      Expr b = parseSimple();
      a = compare(op, std::move(a), std::move(b));
    } else if (op.isKw("is")) {
      error(op, QStringLiteral("'is' is not supported"));
    } else {
      return a;
    }
  }
}

Expr Compiler::parseSimple() {
  Expr a;
  const Token first = tok_;
  if (tok_.isSym("-") || tok_.isSym("+")) {
    const bool neg = tok_.isSym("-");
    advance();
    a = parseTerm();
    if (neg) {
      if (a.type->kind == Kind::Integer) {
        IntNode* n = asInt(a);
        Expr r;
        r.type = tInt64_;
        r.depth = a.depth + 1;
        r.i = I([n](Ctx& c) { return wrapSub(0, (*n)(c)); });
        r.line = first.line;
        r.col = first.column;
        a = a.isConst ? fold(r) : r;
        if (a.isConst && a.cv.i >= INT32_MIN && a.cv.i <= INT32_MAX) a.type = tInteger_;
      } else if (a.type->kind == Kind::Real) {
        RealNode* n = asReal(a, first);
        Expr r;
        r.type = tDouble_;
        r.depth = a.depth + 1;
        r.r = R([n](Ctx& c) { return -(*n)(c); });
        a = a.isConst ? fold(r) : r;
      } else {
        error(first, QStringLiteral("Type mismatch: cannot negate %1").arg(typeName(a.type)));
      }
    } else if (a.type->kind != Kind::Integer && a.type->kind != Kind::Real) {
      error(first, QStringLiteral("Type mismatch: number expected"));
    }
  } else {
    a = parseTerm();
  }
  for (;;) {
    const Token op = tok_;
    if (op.isSym("+") || op.isSym("-") || op.isKw("or") || op.isKw("xor")) {
      advance();
      Expr b = parseTerm();
      a = binary(op, std::move(a), std::move(b));
    } else {
      return a;
    }
  }
}

Expr Compiler::parseTerm() {
  Expr a = parseFactor();
  for (;;) {
    const Token op = tok_;
    if (op.isSym("*") || op.isSym("/") || op.isKw("div") || op.isKw("mod") || op.isKw("and") ||
        op.isKw("shl") || op.isKw("shr")) {
      advance();
      Expr b = parseFactor();
      a = binary(op, std::move(a), std::move(b));
    } else {
      return a;
    }
  }
}

Expr Compiler::binary(const Token& op, Expr a, Expr b) {
  Expr r;
  r.depth = std::max(a.depth, b.depth) + 1;
  r.line = op.line;
  r.col = op.column;
  if (r.depth > kMaxExprDepth) error(op, QStringLiteral("Expression too complex"));
  const bool constant = a.isConst && b.isConst;
  const Kind ka = a.type->kind, kb = b.type->kind;
  const QString o = op.kind == Tok::Ident ? op.lower : op.text;
  auto done = [&](Expr& x) { return constant ? fold(x) : x; };
  auto badOperands = [&]() {
    error(op, QStringLiteral("Type mismatch: operator '%1' cannot be applied to %2 and %3")
                  .arg(op.text, typeName(a.type), typeName(b.type)));
  };
  // Boolean operators: short-circuit.
  if (ka == Kind::Boolean && kb == Kind::Boolean && (o == "and" || o == "or" || o == "xor")) {
    IntNode* x = asInt(a);
    IntNode* y = asInt(b);
    r.type = tBoolean_;
    if (o == "and")
      r.i = I([x, y](Ctx& c) -> int64_t { return (*x)(c) && (*y)(c); });
    else if (o == "or")
      r.i = I([x, y](Ctx& c) -> int64_t { return (*x)(c) || (*y)(c); });
    else
      r.i = I([x, y](Ctx& c) -> int64_t { return ((*x)(c) != 0) != ((*y)(c) != 0); });
    return done(r);
  }
  // Sets.
  if (ka == Kind::Set && kb == Kind::Set && (o == "+" || o == "-" || o == "*")) {
    if (!assignable(a.type, b) && !assignable(b.type, a)) badOperands();
    r.type = a.type == tEmptySet_ ? b.type : a.type;
    ValNode* x = asVal(a);
    ValNode* y = asVal(b);
    const char which = o[0].toLatin1();
    r.v = V([x, y, which](Ctx& c) {
      const auto p = bitsOf((*x)(c)), q = bitsOf((*y)(c));
      return setValue(which == '+' ? (p | q) : which == '-' ? (p & ~q) : (p & q));
    });
    return done(r);
  }
  // Strings.
  if (o == "+" && (ka == Kind::String || ka == Kind::Char) && (kb == Kind::String || kb == Kind::Char)) {
    StrNode* x = asStr(a, op);
    StrNode* y = asStr(b, op);
    r.type = tString_;
    r.s = S([x, y](Ctx& c) {
      QString p = (*x)(c);
      y->appendTo(c, p);
      return p;
    });
    if (a.appendTo >= 0) {
      r.appendTo = a.appendTo;
      r.appendLevel = a.appendLevel;
      r.appendParts = a.appendParts;
      r.appendParts.push_back(y);
    } else if (ka == Kind::String && a.slot >= 0 && a.slotLevel >= 0 && !a.isCall) {
      r.appendTo = a.slot;
      r.appendLevel = a.slotLevel;
      r.appendParts = {y};
    }
    return done(r);
  }
  const bool ints = ka == Kind::Integer && kb == Kind::Integer;
  const bool nums = (ka == Kind::Integer || ka == Kind::Real) && (kb == Kind::Integer || kb == Kind::Real);
  if (ints && o != "/") {
    IntNode* x = asInt(a);
    IntNode* y = asInt(b);
    r.type = tInt64_;
    // Constants on the right are common in loops: specialise them.
    const bool yc = b.isConst && !a.isConst;
    const int64_t yv = b.cv.i;
    const bool xl = a.slot >= 0 && a.slotLevel > 0 && a.slotLevel == level() && a.ref;
    using Emit = IntNode* (Compiler::*)(IntNode*, IntNode*, bool, int64_t);
    // Pascal's shr is a logical shift of the operand's width.
    const Emit shr =
        a.type->ik != IntKind::I64 ? &Compiler::intOp<shiftRight32> : &Compiler::intOp<shiftRight>;
    const std::pair<const char*, Emit> ops[] = {
        {"+", &Compiler::intOp<wrapAdd>},     {"-", &Compiler::intOp<wrapSub>},
        {"*", &Compiler::intOp<wrapMul>},     {"and", &Compiler::intOp<bitAnd>},
        {"or", &Compiler::intOp<bitOr>},      {"xor", &Compiler::intOp<bitXor>},
        {"shl", &Compiler::intOp<shiftLeft>}, {"shr", shr}};
    const auto* op =
        std::find_if(std::begin(ops), std::end(ops), [&](const auto& k) { return o == k.first; });
    if (yc && xl && (o == "+" || o == "-")) {
      r.i = make<LocalIntNode>(a.slot, o == "+" ? yv : wrapSub(0, yv));
    } else if (op != std::end(ops)) {
      r.i = (this->*op->second)(x, y, yc, yv);
    } else if ((o == "div" || o == "mod") && yc && yv != 0 && yv != -1) {
      if (o == "div")
        r.i = I([x, yv](Ctx& c) { return (*x)(c) / yv; });
      else
        r.i = I([x, yv](Ctx& c) { return (*x)(c) % yv; });
    } else if (o == "div" || o == "mod") {
      const bool isDiv = o == "div";
      r.i = I([x, y, isDiv](Ctx& c) -> int64_t {
        const int64_t p = (*x)(c), q = (*y)(c);
        if (q == 0) runtimeError(c, QStringLiteral("Division by zero"));
        if (q == -1) return isDiv ? wrapSub(0, p) : 0;
        return isDiv ? p / q : p % q;
      });
    } else {
      badOperands();
    }
    Expr out = done(r);
    if (out.isConst && out.cv.i >= INT32_MIN && out.cv.i <= INT32_MAX) out.type = tInteger_;
    return out;
  }
  if (nums && (o == "+" || o == "-" || o == "*" || o == "/")) {
    RealNode* x = asReal(a, op);
    RealNode* y = asReal(b, op);
    r.type = tDouble_;
    if (o == "+")
      r.r = realOp<std::plus<>>(x, y);
    else if (o == "-")
      r.r = realOp<std::minus<>>(x, y);
    else if (o == "*")
      r.r = realOp<std::multiplies<>>(x, y);
    else
      r.r = R([x, y](Ctx& c) {
        const double p = (*x)(c), q = (*y)(c);
        if (q == 0) runtimeError(c, QStringLiteral("Floating point division by zero"));
        return p / q;
      });
    return done(r);
  }
  error(op, QStringLiteral("Type mismatch: operator '%1' cannot be applied to %2 and %3")
                .arg(op.text, typeName(a.type), typeName(b.type)));
}

Expr Compiler::compare(const Token& op, Expr a, Expr b) {
  Expr r;
  r.type = tBoolean_;
  r.depth = std::max(a.depth, b.depth) + 1;
  r.line = op.line;
  r.col = op.column;
  if (r.depth > kMaxExprDepth) error(op, QStringLiteral("Expression too complex"));
  const bool constant = a.isConst && b.isConst;
  auto done = [&](Expr& x) { return constant ? fold(x) : x; };
  if (op.isKw("in")) {
    if (b.type->kind != Kind::Set || !a.type->isOrdinal())
      error(op, QStringLiteral("Type mismatch: 'in' needs an ordinal and a set"));
    if (b.type != tEmptySet_ && a.type->ordBase() != b.type->elem->ordBase() &&
        !(a.type->kind == Kind::Integer && b.type->elem->kind == Kind::Integer))
      mismatch(op, b.type->elem, a.type);
    IntNode* x = asInt(a);
    if (b.isConst) {
      const auto bits = bitsOf(b.cv);
      r.i = I([x, bits](Ctx& c) -> int64_t {
        const int64_t k = (*x)(c);
        return k >= 0 && k < 256 && bits[size_t(k)];
      });
    } else {
      ValNode* y = asVal(b);
      r.i = I([x, y](Ctx& c) -> int64_t {
        const int64_t k = (*x)(c);
        const Value s = (*y)(c);
        return k >= 0 && k < 256 && s.a && s.a->bits[size_t(k)];
      });
    }
    return done(r);
  }
  const QString o = op.text;
  const Rel rel = o == "="    ? Rel::EQ
                  : o == "<>" ? Rel::NE
                  : o == "<"  ? Rel::LT
                  : o == ">"  ? Rel::GT
                  : o == "<=" ? Rel::LE
                              : Rel::GE;
  const Kind ka = a.type->kind, kb = b.type->kind;
  const bool strs = (ka == Kind::String || ka == Kind::Char) && (kb == Kind::String || kb == Kind::Char);
  if (strs && !(ka == Kind::Char && kb == Kind::Char)) {
    StrNode* x = asStr(a, op);
    StrNode* y = asStr(b, op);
    r.i = onRel(rel, [&]<Rel R>() {
      return I([x, y](Ctx& c) -> int64_t {
        const QString p = (*x)(c);
        return relate<R>(QString::compare(p, (*y)(c), Qt::CaseSensitive), 0);
      });
    });
    return done(r);
  }
  const bool ords = a.type->isOrdinal() && b.type->isOrdinal() &&
                    ((ka == Kind::Integer && kb == Kind::Integer) || (ka == kb && ka != Kind::Enum) ||
                     (ka == Kind::Enum && kb == Kind::Enum && a.type->ordBase() == b.type->ordBase()));
  if (ords) {
    IntNode* x = asInt(a);
    IntNode* y = asInt(b);
    auto isLocal = [&](const Expr& e) {
      return !e.isConst && e.slot >= 0 && e.slotLevel > 0 && e.slotLevel == level() && e.ref;
    };
    const bool yc = b.isConst && !a.isConst;
    const bool xl = isLocal(a), yl = isLocal(b);
    const int k = a.slot, l = b.slot;
    const int64_t yv = b.cv.i;
    r.i = onRel(rel, [&]<Rel R>() -> IntNode* {
      if (xl && yc) return make<LocalCmpNode<R>>(k, yv);
      if (xl && yl) return make<LocalsCmpNode<R>>(k, l);
      if (yc) return I([x, yv](Ctx& c) -> int64_t { return relate<R>((*x)(c), yv); });
      if (yl)
        return I([x, l](Ctx& c) -> int64_t {
          const int64_t p = (*x)(c);
          return relate<R>(p, c.cells[l].i);
        });
      return I([x, y](Ctx& c) -> int64_t {
        const int64_t p = (*x)(c);
        return relate<R>(p, (*y)(c));
      });
    });
    return done(r);
  }
  if ((ka == Kind::Integer || ka == Kind::Real) && (kb == Kind::Integer || kb == Kind::Real)) {
    RealNode* x = asReal(a, op);
    RealNode* y = asReal(b, op);
    r.i = onRel(rel, [&]<Rel R>() {
      return I([x, y](Ctx& c) -> int64_t {
        const double p = (*x)(c);
        return relate<R>(p, (*y)(c));
      });
    });
    return done(r);
  }
  if (ka == Kind::Set && kb == Kind::Set && (assignable(a.type, b) || assignable(b.type, a)) &&
      rel != Rel::LT && rel != Rel::GT) {
    ValNode* x = asVal(a);
    ValNode* y = asVal(b);
    r.i = I([x, y, rel](Ctx& c) -> int64_t {
      const auto p = bitsOf((*x)(c)), q = bitsOf((*y)(c));
      switch (rel) {
        case Rel::EQ: return p == q;
        case Rel::NE: return p != q;
        case Rel::LE: return (p & ~q).none();
        default: return (q & ~p).none();
      }
    });
    return done(r);
  }
  if ((ka == Kind::Proc || kb == Kind::Proc) && (rel == Rel::EQ || rel == Rel::NE)) {
    // Procedural values compare with nil and with values of the same signature.
    if (ka == Kind::Nil) a = coerce(std::move(a), b.type, op);
    if (kb == Kind::Nil) b = coerce(std::move(b), a.type, op);
    if (a.type->kind == Kind::Proc && b.type->kind == Kind::Proc &&
        sameSignature(a.type->signature, b.type->signature)) {
      IntNode* x = asInt(a);
      IntNode* y = asInt(b);
      if (rel == Rel::EQ)
        r.i = I([x, y](Ctx& c) -> int64_t {
          const int64_t p = (*x)(c);
          return p == (*y)(c);
        });
      else
        r.i = I([x, y](Ctx& c) -> int64_t {
          const int64_t p = (*x)(c);
          return p != (*y)(c);
        });
      return r;
    }
  }
  const bool refs = (ka == Kind::Class || ka == Kind::Nil || ka == Kind::DynArray) &&
                    (kb == Kind::Class || kb == Kind::Nil || kb == Kind::DynArray);
  if (refs && (rel == Rel::EQ || rel == Rel::NE)) {
    ValNode* x = asVal(a);
    ValNode* y = asVal(b);
    const bool eq = rel == Rel::EQ;
    r.i = I([x, y, eq](Ctx& c) -> int64_t {
      const Value p = (*x)(c), q = (*y)(c);
      return (p.a == q.a && p.i == q.i) == eq;
    });
    return r;
  }
  error(op,
        QStringLiteral("Type mismatch: cannot compare %1 with %2").arg(typeName(a.type), typeName(b.type)));
}

Expr Compiler::setConstructor(Type* want) {
  const Token at = tok_;
  expectSym("[");
  struct Elem {
    IntNode* lo;
    IntNode* hi;
  };
  std::vector<Elem> elems;
  Type* elemType = want && want->kind == Kind::Set ? want->elem : nullptr;
  bool allConst = true;
  int depth = 1;
  if (!tok_.isSym("]")) {
    do {
      const Token et = tok_;
      Expr lo = parseExpr();
      if (!lo.type->isOrdinal()) error(et, QStringLiteral("Ordinal expression expected in set"));
      if (!elemType) elemType = lo.type->kind == Kind::Integer ? tByte_ : lo.type;
      if (lo.type->kind == Kind::String && lo.isConst) lo = coerce(std::move(lo), tChar_, et);
      if (lo.type->ordBase() != elemType->ordBase() &&
          !(lo.type->kind == Kind::Integer && elemType->kind == Kind::Integer))
        mismatch(et, elemType, lo.type);
      allConst = allConst && lo.isConst;
      depth = std::max(depth, lo.depth + 1);
      Elem e{asInt(lo), nullptr};
      if (acceptSym("..")) {
        Expr hi = parseExpr();
        if (hi.type->ordBase() != lo.type->ordBase() &&
            !(hi.type->kind == Kind::Integer && lo.type->kind == Kind::Integer))
          mismatch(et, lo.type, hi.type);
        allConst = allConst && hi.isConst;
        e.hi = asInt(hi);
      }
      elems.push_back(e);
    } while (acceptSym(","));
  }
  expectSym("]");
  Expr r;
  r.line = at.line;
  r.col = at.column;
  r.depth = depth;
  r.setLiteral = true;
  if (!elemType) {
    r.type = tEmptySet_;
    return constExpr(tEmptySet_, Value(), at.line, at.column);
  }
  Type* st = newType(Kind::Set);
  st->elem = elemType;
  r.type = want && want->kind == Kind::Set ? want : st;
  r.v = V([elems](Ctx& c) {
    std::bitset<256> b;
    for (const Elem& e : elems) {
      const int64_t lo = (*e.lo)(c);
      const int64_t hi = e.hi ? (*e.hi)(c) : lo;
      if (lo < 0 || hi > 255)
        runtimeError(c, QStringLiteral("Set element out of range (%1)").arg(lo < 0 ? lo : hi));
      for (int64_t k = lo; k <= hi; ++k) b.set(size_t(k));
    }
    return setValue(b);
  });
  return allConst ? fold(r) : r;
}

Expr Compiler::makeCall(CallSite* cs, Type* result) {
  Expr e;
  e.type = result ? result : tVoid_;
  e.isCall = true;
  if (cs->r == intToStr_ && cs->args.size() == 1 && cs->args[0].how == ArgBind::Int) {
    // The standard IntToStr needs no frame: its digits go straight where they are wanted.
    if (prog_->nodes.size() >= kMaxNodes) error(tok_, QStringLiteral("Program too large"));
    auto* n = new IntToStrNode(cs->args[0].i);
    prog_->nodes.emplace_back(n);
    e.s = n;
    return e;
  }
  switch (catOf(e.type)) {
    case Cat::Ord:
      e.i = byArity<IntNode>(cs, [&]<int A>() { return make<CallNode<IntNode, int64_t, GetInt, A>>(cs); });
      break;
    case Cat::Real:
      e.r = byArity<RealNode>(cs, [&]<int A>() { return make<CallNode<RealNode, double, GetReal, A>>(cs); });
      break;
    case Cat::Str: e.s = make<CallNode<StrNode, QString, GetStr, -1>>(cs); break;
    default: e.v = make<CallNode<ValNode, Value, GetVal, -1>>(cs); break;
  }
  e.call = cs;
  return e;
}

Expr Compiler::callRoutine(Routine* r, const Token& at, ValNode* self) {
  int depth = 1;
  CallSite* cs = callSite(r, at, self, r->name, depth);
  cs->r = r;
  if (!r->native) ++scriptCalls_;
  if (!r->native) cs->hops = r->level == 1 ? -1 : level() - (r->level - 1);
  Expr e = makeCall(cs, r->result);
  e.depth = depth;
  if (depth > kMaxExprDepth) error(at, QStringLiteral("Expression too complex"));
  return e;
}

Expr Compiler::callThrough(Expr target, const Token& at) {
  Routine* sig = target.type->signature;
  Token pos = at;
  if (target.line > 0) {
    pos.line = target.line;
    pos.column = target.col;
  }
  const QString what = target.name.isEmpty() ? typeName(target.type) : target.name;
  IntNode* tn = asInt(target);
  int depth = 1;
  CallSite* cs = callSite(sig, pos, nullptr, what, depth);
  ++scriptCalls_;  // it may well call a script routine
  Expr e;
  e.type = sig->result ? sig->result : tVoid_;
  e.isCall = true;
  e.line = pos.line;
  e.col = pos.column;
  e.depth = std::max(depth, target.depth + 1);
  if (e.depth > kMaxExprDepth) error(at, QStringLiteral("Expression too complex"));
  switch (catOf(e.type)) {
    case Cat::Ord: e.i = make<IndirectCallNode<IntNode, int64_t, GetInt>>(cs, tn); break;
    case Cat::Real: e.r = make<IndirectCallNode<RealNode, double, GetReal>>(cs, tn); break;
    case Cat::Str: e.s = make<IndirectCallNode<StrNode, QString, GetStr>>(cs, tn); break;
    default: e.v = make<IndirectCallNode<ValNode, Value, GetVal>>(cs, tn); break;
  }
  return e;
}

Expr Compiler::routineValue(Routine* r, const Token& at) {
  if (r->ownerClass)
    error(at, QStringLiteral("Method '%1' cannot be used as a procedural value").arg(r->name));
  // A nested routine needs the frame of the routine around it, which a value does not carry.
  if (!r->native && r->level > 1)
    error(at, QStringLiteral("Nested routine '%1' cannot be used as a procedural value").arg(r->name));
  Type* t = newType(Kind::Proc);
  t->signature = r;
  Value v;
  v.i = int64_t(reinterpret_cast<intptr_t>(r));
  return constExpr(t, v, at.line, at.column);
}

CallSite* Compiler::callSite(Routine* r, const Token& at, ValNode* self, const QString& what, int& depth) {
  auto holder = std::make_unique<CallSite>();
  CallSite* cs = holder.get();
  struct CallSiteNode : Node {
    std::unique_ptr<CallSite> cs;
  };
  auto* keep = new CallSiteNode;
  keep->cs = std::move(holder);
  prog_->nodes.emplace_back(keep);
  std::vector<Token> argToks;
  std::vector<Expr> args;
  if (self) {
    ArgBind b;
    b.how = ArgBind::Share;
    b.v = self;
    cs->args.push_back(b);
  }
  const size_t first = self ? 1 : 0;
  if (acceptSym("(")) {
    if (!tok_.isSym(")")) {
      do {
        argToks.push_back(tok_);
        const size_t k = first + args.size();
        Type* want = k < r->params.size() ? r->params[k].type : nullptr;
        if (tok_.isSym("[") && want && want->kind == Kind::Set) {
          args.push_back(setConstructor(want));
        } else {
          if (want && want->kind == Kind::Proc && !r->params[k].byRef()) procHint_ = want;
          args.push_back(parseExpr());
          procHint_ = nullptr;
        }
      } while (acceptSym(","));
    }
    expectSym(")");
  }
  size_t required = first;
  for (size_t k = first; k < r->params.size(); ++k)
    if (!r->params[k].hasDefault) required = k + 1;
  if (first + args.size() < required || first + args.size() > r->params.size())
    error(at, QStringLiteral("Invalid number of parameters for '%1': expected %2, found %3")
                  .arg(what)
                  .arg(required == r->params.size()
                           ? QString::number(required - first)
                           : QStringLiteral("%1 to %2").arg(required - first).arg(r->params.size() - first))
                  .arg(args.size()));
  depth = 1;
  for (size_t k = first; k < r->params.size(); ++k) {
    const Param& p = r->params[k];
    ArgBind b;
    b.t = p.type;
    if (k - first >= args.size()) {
      Expr d = constExpr(p.type, p.defaultValue);
      b.how = ArgBind::Share;
      b.v = asVal(d);
      cs->args.push_back(b);
      continue;
    }
    Expr& a = args[k - first];
    const Token& atok = argToks[k - first];
    depth = std::max(depth, a.depth + 1);
    if (p.byRef()) {
      if (!a.ref) error(atok, QStringLiteral("Variable expected for var parameter '%1'").arg(p.name));
      if (a.readOnly)
        error(atok, QStringLiteral("Cannot pass a read-only value as var parameter '%1'").arg(p.name));
      const bool same =
          a.type == p.type ||
          (a.type->isOrdinal() && p.type->isOrdinal() && a.type->kind == p.type->kind &&
           a.type->ik == p.type->ik && a.type->ordBase() == p.type->ordBase()) ||
          (a.type->kind == Kind::String && p.type->kind == Kind::String) ||
          (a.type->kind == Kind::Real && p.type->kind == Kind::Real && a.type->single == p.type->single) ||
          sameType(a.type, p.type) || (p.type->kind == Kind::DynArray && assignable(p.type, a));
      if (!same)
        error(atok, QStringLiteral("Type mismatch for var parameter '%1': expected %2 but found %3")
                        .arg(p.name, typeName(p.type), typeName(a.type)));
      b.how = ArgBind::Ref;
      b.ref = a.ref;
    } else {
      Expr v = p.type->kind == Kind::DynArray && a.type->kind == Kind::Array && a.type->elem == p.type->elem
                   ? [&] {
                       // A static array given for an open array: passed as a copy of its cells.
                       ValNode* src = asVal(a);
                       Expr x;
                       x.type = p.type;
                       x.v = src;
                       return x;
                     }()
                   : coerce(std::move(a), p.type, atok);
      switch (catOf(p.type)) {
        case Cat::Ord:
          b.how = ArgBind::Int;
          b.setKind(p.type->ik);
          b.i = asInt(v);
          if (auto* l = dynamic_cast<LocalIntNode*>(b.i)) {
            b.src = ArgBind::FromLocal;
            b.slot = l->k;
            b.add = l->d;
          } else if (auto* k = dynamic_cast<ConstIntNode*>(b.i)) {
            b.src = ArgBind::FromConst;
            b.add = k->x;
          }
          break;
        case Cat::Real:
          b.how = ArgBind::Real;
          b.single = p.type->single;
          b.r = asReal(v, atok);
          break;
        case Cat::Str:
          b.how = ArgBind::Str;
          b.s = asStr(v, atok);
          break;
        default:
          b.how = p.type->needsAgg() && p.mode != Param::Const ? ArgBind::Clone : ArgBind::Share;
          b.v = asVal(v);
          break;
      }
    }
    cs->args.push_back(b);
  }
  cs->argCount = int(cs->args.size());
  cs->intArgs =
      std::all_of(cs->args.begin(), cs->args.end(), [](const ArgBind& b) { return b.how == ArgBind::Int; });
  return cs;
}

Expr Compiler::typecast(Type* t, const Token& at) {
  expectSym("(");
  Expr a = parseExpr();
  expectSym(")");
  Expr r;
  r.type = t;
  r.depth = a.depth + 1;
  r.line = at.line;
  r.col = at.column;
  if (t->isOrdinal() && a.type->isOrdinal()) {
    IntNode* n = asInt(a);
    const IntKind ik = t->ik;
    r.i = t->kind == Kind::Boolean ? I([n](Ctx& c) -> int64_t { return (*n)(c) != 0; })
                                   : I([n, ik](Ctx& c) { return fitInt(ik, (*n)(c)); });
    return a.isConst ? fold(r) : r;
  }
  if (t->isOrdinal() && a.type->kind == Kind::String && a.isConst && a.cv.s.size() == 1)
    return coerce(a, t, at);
  if (t->kind == Kind::Real && (a.type->kind == Kind::Real || a.type->kind == Kind::Integer)) {
    r.r = asReal(a, at);
    return a.isConst ? fold(r) : r;
  }
  if (t->kind == Kind::String && (a.type->kind == Kind::String || a.type->kind == Kind::Char)) {
    r.s = asStr(a, at);
    return a.isConst ? fold(r) : r;
  }
  if (assignable(t, a)) return coerce(a, t, at);
  error(at, QStringLiteral("Invalid typecast from %1 to %2").arg(typeName(a.type), typeName(t)));
}

int64_t Compiler::constInt(const Token& at, Type** typeOut) {
  Expr e = parseExpr();
  if (!e.isConst) error(at, QStringLiteral("Constant expression expected"));
  if (e.type->kind == Kind::String && e.cv.s.size() == 1) e = coerce(e, tChar_, at);
  if (!e.type->isOrdinal()) error(at, QStringLiteral("Ordinal constant expected"));
  if (typeOut) *typeOut = e.type;
  return e.cv.i;
}

Expr Compiler::parseFactor() {
  const Token t = tok_;
  Nest nest(*this, t);
  Type* const procHint = std::exchange(procHint_, nullptr);
  switch (t.kind) {
    case Tok::Int:
      advance();
      return [&] {
        Expr e = intConst(t.ival);
        e.line = t.line;
        e.col = t.column;
        return e;
      }();
    case Tok::Real: {
      advance();
      Value v;
      v.f = t.fval;
      return constExpr(tDouble_, v, t.line, t.column);
    }
    case Tok::Str: {
      advance();
      Value v;
      if (t.str.size() == 1) {
        v.i = t.str[0].unicode();
        Expr e = constExpr(tChar_, v, t.line, t.column);
        return selectors(std::move(e));
      }
      v.s = t.str;
      return selectors(constExpr(tString_, v, t.line, t.column));
    }
    case Tok::Sym:
      if (t.isSym("(")) {
        advance();
        Expr e = parseExpr();
        expectSym(")");
        e.ref = nullptr;  // a parenthesised variable is a value
        e.strCell = nullptr;
        e.slot = -1;
        e.slotLevel = -1;
        return selectors(std::move(e));
      }
      if (t.isSym("[")) return setConstructor(nullptr);
      if (t.isSym("@")) {
        // @Routine: the routine as a procedural value. There are no pointers to variables.
        advance();
        const Token n = ident();
        const Symbol* s = find(n.lower);
        if (!s) error(n, QStringLiteral("Unknown identifier '%1'").arg(n.text));
        if (s->k == Symbol::Proc) return selectors(routineValue(s->routine, n));
        if (s->k == Symbol::Builtin)
          error(n, QStringLiteral("'%1' cannot be used as a procedural value").arg(n.text));
        error(t, QStringLiteral("The address operator '@' needs a routine"));
      }
      break;
    case Tok::Ident:
      if (t.isKw("not")) {
        advance();
        Expr a = parseFactor();
        Expr r;
        r.depth = a.depth + 1;
        r.line = t.line;
        r.col = t.column;
        if (a.type->kind == Kind::Boolean) {
          IntNode* n = asInt(a);
          r.type = tBoolean_;
          r.i = I([n](Ctx& c) -> int64_t { return !(*n)(c); });
        } else if (a.type->kind == Kind::Integer) {
          IntNode* n = asInt(a);
          r.type = a.type;
          const IntKind ik = a.type->ik;
          r.i = I([n, ik](Ctx& c) { return fitInt(ik, ~(*n)(c)); });
        } else {
          error(t, QStringLiteral("Type mismatch: 'not' needs a Boolean or an integer"));
        }
        return a.isConst ? fold(r) : r;
      }
      if (t.isKw("nil")) {
        advance();
        return constExpr(tNil_, Value(), t.line, t.column);
      }
      return parseDesignator(false, procHint);
    default: break;
  }
  expected("Expression");
}

Expr Compiler::parseDesignator(bool statement, Type* procHint) {
  const Token t = ident();
  Symbol* s = find(t.lower);
  if (!s) error(t, QStringLiteral("Unknown identifier '%1'").arg(t.text));
  Expr e;
  switch (s->k) {
    case Symbol::Var:
      e = varExpr(*s);
      e.name = t.text;
      break;
    case Symbol::Const:
      e = constExpr(s->type, s->cv, t.line, t.column);
      e.name = t.text;
      break;
    case Symbol::WithField: {
      const Symbol* w = s;
      Symbol base;
      base.k = Symbol::Var;
      base.level = w->level;
      base.slot = w->slot;
      base.isRef = true;
      base.type = tVoid_;
      Expr rec = varExpr(base);
      RefNode* recCell = rec.ref;
      const int fi = w->fieldIndex;
      RefNode* cell = RF([recCell, fi](Ctx& c) {
        Value* r = (*recCell)(c);
        c.lastAgg = r->a.get();
        return &r->a->v[size_t(fi)];
      });
      e = fromCell(cell, w->type);
      break;
    }
    case Symbol::TypeName: {
      Type* ty = s->type;
      if (tok_.isSym("(")) return selectors(typecast(ty, t));
      if (tok_.isSym(".") && (ty->kind == Kind::Class || ty->kind == Kind::Exception)) {
        advance();
        const Token m = ident();
        if (ty->kind == Kind::Exception) {
          if (m.lower != QLatin1String("create"))
            error(m, QStringLiteral("Unknown member '%1' of Exception").arg(m.text));
          expectSym("(");
          Expr msg = parseExpr();
          StrNode* sn = asStr(msg, m);
          expectSym(")");
          e.type = tException_;
          e.v = V([sn](Ctx& c) {
            Value v;
            v.s = (*sn)(c);
            return v;
          });
          return e;
        }
        for (const Type* p = ty; p; p = p->parent)
          for (const ClassMember& cm : p->members)
            if (cm.name.toLower() == m.lower && cm.routine && cm.routine->isConstructor) {
              Expr r = callRoutine(cm.routine, m);
              r.type = ty;
              return selectors(std::move(r));
            }
        error(m, QStringLiteral("Unknown constructor '%1.%2'").arg(ty->name, m.text));
      }
      error(t, QStringLiteral("Expression expected but type '%1' found").arg(t.text));
    }
    case Symbol::Proc: {
      Routine* r = s->routine;
      // Inside a function, its name followed by ":=" is its result.
      if (statement && tok_.isSym(":=") && r->result &&
          std::find(routineStack_.begin(), routineStack_.end(), r) != routineStack_.end()) {
        Symbol res;
        res.k = Symbol::Var;
        res.level = r->level;
        res.slot = int(r->params.size());
        res.type = r->result;
        return varExpr(res);
      }
      // Named where a procedural value is wanted, a routine is that value; a function whose result
      // is such a value is still called when only its result fits.
      if (procHint && !statement && !tok_.isSym("(")) {
        const bool resultFits = r->result && r->result->kind == Kind::Proc &&
                                sameSignature(r->result->signature, procHint->signature);
        if (!resultFits || sameSignature(r, procHint->signature)) return selectors(routineValue(r, t));
      }
      e = callRoutine(r, t);
      break;
    }
    case Symbol::Builtin: return selectors(builtin(s->builtin, t));
  }
  e.line = t.line;
  e.col = t.column;
  return selectors(std::move(e));
}

Expr Compiler::selectors(Expr e) {
  for (;;) {
    const Token t = tok_;
    if (t.isSym("[")) {
      advance();
      do {
        const Token it = tok_;
        Expr idx = parseExpr();
        if (!idx.type->isOrdinal()) error(it, QStringLiteral("Ordinal index expected"));
        Type* bt = e.type;
        Expr r;
        r.depth = std::max(e.depth, idx.depth) + 1;
        if (r.depth > kMaxExprDepth) error(it, QStringLiteral("Expression too complex"));
        if (bt->kind == Kind::String) {
          if (idx.type->kind != Kind::Integer) mismatch(it, tInteger_, idx.type);
          IntNode* in = asInt(idx);
          r.type = tChar_;
          if (e.ref) {
            RefNode* cell = e.ref;
            r.i = I([cell, in](Ctx& c) -> int64_t {
              const int64_t k = (*in)(c);
              const QString& s = (*cell)(c)->s;
              if (k < 1 || k > s.size())
                runtimeError(
                    c, QStringLiteral("Range check error (index %1 out of 1..%2)").arg(k).arg(s.size()));
              return s[qsizetype(k - 1)].unicode();
            });
            if (!e.readOnly) {
              r.strCell = cell;
              r.strIdx = in;
            }
          } else {
            StrNode* sn = asStr(e, it);
            r.i = I([sn, in](Ctx& c) -> int64_t {
              const int64_t k = (*in)(c);
              const QString s = (*sn)(c);
              if (k < 1 || k > s.size())
                runtimeError(
                    c, QStringLiteral("Range check error (index %1 out of 1..%2)").arg(k).arg(s.size()));
              return s[qsizetype(k - 1)].unicode();
            });
          }
          e = r;
          continue;
        }
        if (bt->kind != Kind::Array && bt->kind != Kind::DynArray)
          error(t, QStringLiteral("Array type expected but %1 found").arg(typeName(bt)));
        if (bt->kind == Kind::Array) {
          if (idx.type->ordBase() != bt->index->ordBase() &&
              !(idx.type->kind == Kind::Integer && bt->index->kind == Kind::Integer))
            mismatch(it, bt->index, idx.type);
        } else if (idx.type->kind != Kind::Integer) {
          mismatch(it, tInteger_, idx.type);
        }
        IntNode* in = asInt(idx);
        const int64_t lo = bt->kind == Kind::Array ? bt->alo : 0;
        const bool dyn = bt->kind == Kind::DynArray;
        auto check = [lo, dyn](Ctx& c, Agg* g, int64_t k) {
          const int64_t n = g ? int64_t(g->v.size()) : 0;
          if (k < lo || k - lo >= n) indexError(c, k, lo, n, dyn);
        };
        if (e.ref && e.slot >= 0 && e.slotLevel >= 0 && bt->kind == Kind::DynArray) {
          const int k = e.slot;
          const bool global = e.slotLevel == 0;
          auto element = [&](auto* index) {
            using Index = std::remove_pointer_t<decltype(index)>;
            auto* cell = make<DynElemCell<Index>>(k, global, index);
            r = fromCell(cell, bt->elem);
            if (catOf(bt->elem) == Cat::Ord) r.i = make<DynElemInt<Index>>(cell);
          };
          if (auto* l = dynamic_cast<LocalIntNode*>(in))
            element(l);
          else
            element(in);
          r.readOnly = e.readOnly;
        } else if (e.ref) {
          RefNode* base = e.ref;
          RefNode* cell = RF([base, in, lo, check](Ctx& c) {
            const int64_t k = (*in)(c);
            Agg* g = (*base)(c)->a.get();
            check(c, g, k);
            c.lastAgg = g;
            return &g->v[size_t(k - lo)];
          });
          r = fromCell(cell, bt->elem);
          r.readOnly = e.readOnly;
        } else {
          ValNode* base = asVal(e);
          ValNode* vn = V([base, in, lo, check](Ctx& c) {
            const int64_t k = (*in)(c);
            const Value b = (*base)(c);
            check(c, b.a.get(), k);
            return b.a->v[size_t(k - lo)];
          });
          Expr x;
          x.type = bt->elem;
          x.v = vn;
          switch (catOf(bt->elem)) {
            case Cat::Ord: x.i = I([vn](Ctx& c) { return (*vn)(c).i; }); break;
            case Cat::Real: x.r = R([vn](Ctx& c) { return (*vn)(c).f; }); break;
            case Cat::Str: x.s = S([vn](Ctx& c) { return (*vn)(c).s; }); break;
            default: break;
          }
          r = x;
        }
        r.depth = std::max(e.depth, idx.depth) + 1;
        e = r;
      } while (acceptSym(","));
      expectSym("]");
      continue;
    }
    if (t.isSym(".")) {
      advance();
      const Token m = ident();
      Type* bt = e.type;
      if (bt->kind == Kind::Exception) {
        if (m.lower != QLatin1String("message"))
          error(m, QStringLiteral("Unknown member '%1' of Exception").arg(m.text));
        ValNode* vn = asVal(e);
        Expr x;
        x.type = tString_;
        x.s = S([vn](Ctx& c) { return (*vn)(c).s; });
        e = x;
        continue;
      }
      if (bt->kind == Kind::Class) {
        const ClassMember* found = nullptr;
        for (const Type* p = bt; p && !found; p = p->parent)
          for (const ClassMember& cm : p->members)
            if (cm.name.toLower() == m.lower) {
              found = &cm;
              break;
            }
        if (!found) error(m, QStringLiteral("Unknown member '%1' of %2").arg(m.text, bt->name));
        ValNode* self = asVal(e);
        if (found->routine) {
          e = callRoutine(found->routine, m, self);
          continue;
        }
        // Properties are declared for compiling only: reaching one at run time is an error.
        const QString what = bt->name + u'.' + found->name;
        RefNode* cell = RF([self, what](Ctx& c) -> Value* {
          if (!(*self)(c).a) nilObject(c, what);
          runtimeError(c, QStringLiteral("'%1' is not available at run time").arg(what));
        });
        e = fromCell(cell, found->propType);
        e.readOnly = found->readOnly;
        continue;
      }
      if (bt->kind != Kind::Record)
        error(m, QStringLiteral("Record or object expected before '.%1'").arg(m.text));
      int fi = -1;
      for (size_t k = 0; k < bt->fields.size(); ++k)
        if (bt->fields[k].name.toLower() == m.lower) fi = int(k);
      if (fi < 0) error(m, QStringLiteral("Unknown field '%1'").arg(m.text));
      Type* ft = bt->fields[size_t(fi)].type;
      Expr r;
      if (e.ref) {
        RefNode* base = e.ref;
        RefNode* cell = RF([base, fi](Ctx& c) {
          Agg* g = (*base)(c)->a.get();
          c.lastAgg = g;
          return &g->v[size_t(fi)];
        });
        r = fromCell(cell, ft);
        r.readOnly = e.readOnly;
      } else {
        ValNode* base = asVal(e);
        ValNode* vn = V([base, fi](Ctx& c) { return (*base)(c).a->v[size_t(fi)]; });
        r.type = ft;
        r.v = vn;
        switch (catOf(ft)) {
          case Cat::Ord: r.i = I([vn](Ctx& c) { return (*vn)(c).i; }); break;
          case Cat::Real: r.r = R([vn](Ctx& c) { return (*vn)(c).f; }); break;
          case Cat::Str: r.s = S([vn](Ctx& c) { return (*vn)(c).s; }); break;
          default: break;
        }
      }
      r.depth = e.depth + 1;
      e = r;
      continue;
    }
    if (t.isSym("(") && e.type->kind == Kind::Proc) {
      e = callThrough(std::move(e), t);
      continue;
    }
    if (t.isSym("^")) error(t, QStringLiteral("Pointers are not supported"));
    return e;
  }
}

// ---------------------------------------------------------------------------------------------------------------
// Built-in routines that need the compiler: they accept several types or variables.

Expr Compiler::builtin(int id, const Token& at) {
  Expr r;
  r.line = at.line;
  r.col = at.column;
  auto open = [&] { expectSym("("); };
  auto close = [&] { expectSym(")"); };
  // High(T)/Low(T)/SizeOf(T) take a type as well as a value.
  auto typeArg = [&]() -> Type* {
    if (tok_.kind == Tok::Ident && lex_->peek().isSym(")")) {
      Symbol* s = find(tok_.lower);
      if (s && s->k == Symbol::TypeName) {
        advance();
        return s->type;
      }
    }
    return nullptr;
  };
  switch (id) {
    case bLength:
    case bHigh:
    case bLow: {
      open();
      const Token argTok = tok_;
      Type* t = typeArg();
      Expr a;
      if (!t) {
        a = parseExpr();
        t = a.type;
      }
      close();
      r.type = tInt64_;
      if (t->kind == Kind::Array) {
        if (id == bLength) return intConst(t->length());
        Expr c = constExpr(t->index, mkInt(id == bHigh ? t->ahi : t->alo), at.line, at.column);
        return c;
      }
      if (t->isOrdinal() && id != bLength)
        return constExpr(t, mkInt(id == bHigh ? t->hi : t->lo), at.line, at.column);
      if (!a.type) error(argTok, QStringLiteral("Invalid argument"));
      if (t->kind == Kind::String || t->kind == Kind::Char) {
        if (id == bLow) return intConst(1);
        StrNode* s = asStr(a, argTok);
        if (a.ref && t->kind == Kind::String) {
          RefNode* cell = a.ref;
          r.i = I([cell](Ctx& c) -> int64_t { return (*cell)(c)->s.size(); });
        } else {
          r.i = I([s](Ctx& c) -> int64_t { return (*s)(c).size(); });
        }
        return a.isConst ? fold(r) : r;
      }
      if (t->kind == Kind::DynArray) {
        if (id == bLow) return intConst(0);
        const int64_t adj = id == bHigh ? -1 : 0;
        if (a.ref) {
          RefNode* cell = a.ref;
          r.i = I([cell, adj](Ctx& c) -> int64_t {
            const Value* v = (*cell)(c);
            return (v->a ? int64_t(v->a->v.size()) : 0) + adj;
          });
        } else {
          ValNode* v = asVal(a);
          r.i = I([v, adj](Ctx& c) -> int64_t {
            const Value x = (*v)(c);
            return (x.a ? int64_t(x.a->v.size()) : 0) + adj;
          });
        }
        return r;
      }
      error(argTok, QStringLiteral("Type mismatch: '%1' needs a string or an array").arg(at.text));
    }
    case bInc:
    case bDec: {
      open();
      const Token vt = tok_;
      Expr v = requireLValue(parseExpr(), vt);
      if (!v.type->isOrdinal() || !v.ref) error(vt, QStringLiteral("Ordinal variable expected"));
      IntNode* step = nullptr;
      int64_t k = 1;
      if (acceptSym(",")) {
        const Token st = tok_;
        Expr s = parseExpr();
        if (s.type->kind != Kind::Integer) mismatch(st, tInteger_, s.type);
        if (s.isConst)
          k = s.cv.i;
        else
          step = asInt(s);
      }
      close();
      if (id == bDec) k = -k;
      const bool neg = id == bDec;
      RefNode* cell = v.ref;
      const IntKind ik = v.type->ik;
      r.type = tVoid_;
      const int line = at.line, col = at.column;
      if (step) {
        r.stmt = ST([cell, step, neg, ik, line, col](Ctx& c) {
          c.line = line;
          c.column = col;
          const int64_t d = (*step)(c);
          Value* p = (*cell)(c);
          p->i = fitInt(ik, neg ? wrapSub(p->i, d) : wrapAdd(p->i, d));
          return Flow::Normal;
        });
      } else if (v.slotLevel > 0 && v.slot >= 0 && (ik == IntKind::I64 || ik == IntKind::I32)) {
        // A local of the running routine: nothing can fail, so no line to record.
        const int slot = v.slot;
        const bool wide = ik == IntKind::I64;
        r.stmt = ST([slot, k, wide](Ctx& c) {
          Value& p = c.cells[slot];
          const int64_t x = wrapAdd(p.i, k);
          p.i = wide ? x : int32_t(x);
          return Flow::Normal;
        });
      } else {
        r.stmt = ST([cell, k, ik, line, col](Ctx& c) {
          c.line = line;
          c.column = col;
          Value* p = (*cell)(c);
          p->i = fitInt(ik, wrapAdd(p->i, k));
          return Flow::Normal;
        });
      }
      StmtNode* st = r.stmt;
      r.v = V([st](Ctx& c) {
        (*st)(c);
        return Value();
      });
      return r;
    }
    case bOrd:
    case bChr:
    case bSucc:
    case bPred: {
      open();
      const Token argTok = tok_;
      Expr a = parseExpr();
      close();
      if (a.type->kind == Kind::String && a.isConst && a.cv.s.size() == 1) a = coerce(a, tChar_, argTok);
      if (!a.type->isOrdinal()) error(argTok, QStringLiteral("Ordinal expression expected"));
      IntNode* n = asInt(a);
      r.depth = a.depth + 1;
      if (id == bOrd) {
        r.type = tInt64_;
        r.i = n;
      } else if (id == bChr) {
        if (a.type->kind != Kind::Integer) mismatch(argTok, tInteger_, a.type);
        r.type = tChar_;
        r.i = I([n](Ctx& c) {
          const int64_t x = (*n)(c);
          if (x < 0 || x > 65535) runtimeError(c, QStringLiteral("Range check error (Chr(%1))").arg(x));
          return x;
        });
      } else {
        r.type = a.type;
        const int64_t d = id == bSucc ? 1 : -1;
        const IntKind ik = a.type->ik;
        r.i = I([n, d, ik](Ctx& c) { return fitInt(ik, wrapAdd((*n)(c), d)); });
      }
      return a.isConst ? fold(r) : r;
    }
    case bSetLength: {
      open();
      const Token vt = tok_;
      Expr v = requireLValue(parseExpr(), vt);
      if (!v.ref || (v.type->kind != Kind::String && v.type->kind != Kind::DynArray))
        error(vt, QStringLiteral("String or dynamic array variable expected"));
      expectSym(",");
      const Token nt = tok_;
      Expr len = parseExpr();
      if (len.type->kind != Kind::Integer) mismatch(nt, tInteger_, len.type);
      close();
      IntNode* n = asInt(len);
      RefNode* cell = v.ref;
      const Type* et = v.type->elem;
      const bool isStr = v.type->kind == Kind::String;
      r.type = tVoid_;
      r.v = V([cell, n, et, isStr](Ctx& c) {
        const int64_t k = (*n)(c);
        const int64_t limit = isStr ? int64_t(1) << 28 : int64_t(1) << 23;
        if (k < 0 || k > limit || (!isStr && k * et->cells > limit))
          runtimeError(c, QStringLiteral("Invalid length %1 for SetLength").arg(k));
        Value* p = (*cell)(c);
        if (isStr) {
          const qsizetype old = p->s.size();
          p->s.resize(qsizetype(k));
          for (qsizetype j = old; j < k; ++j) p->s[j] = QChar(u' ');
          return Value();
        }
        std::shared_ptr<Agg> g = p->a;
        if (!g || g.use_count() > 1) {
          // Shared or absent: the variable gets its own copy, as dynamic arrays do.
          auto fresh = std::make_shared<Agg>();
          if (g) {
            fresh->v.reserve(size_t(k));
            for (size_t j = 0; j < g->v.size() && int64_t(j) < k; ++j)
              fresh->v.push_back(copyValue(et, g->v[j]));
          }
          g = fresh;
        }
        const size_t old = g->v.size();
        g->v.resize(size_t(k));
        if (et->needsAgg())
          for (size_t j = old; j < size_t(k); ++j) g->v[j] = defaultValue(et);
        p->a = std::move(g);
        return Value();
      });
      return r;
    }
    case bAbs:
    case bSqr: {
      open();
      const Token argTok = tok_;
      Expr a = parseExpr();
      close();
      r.depth = a.depth + 1;
      const bool sqr = id == bSqr;
      if (a.type->kind == Kind::Integer) {
        IntNode* n = asInt(a);
        r.type = tInt64_;
        r.i = sqr ? I([n](Ctx& c) {
          const int64_t x = (*n)(c);
          return wrapMul(x, x);
        })
                  : I([n](Ctx& c) {
                      const int64_t x = (*n)(c);
                      return x < 0 ? wrapSub(0, x) : x;
                    });
      } else if (a.type->kind == Kind::Real) {
        RealNode* n = asReal(a, argTok);
        r.type = tDouble_;
        r.r = sqr ? R([n](Ctx& c) {
          const double x = (*n)(c);
          return x * x;
        })
                  : R([n](Ctx& c) { return std::fabs((*n)(c)); });
      } else {
        error(argTok, QStringLiteral("Type mismatch: number expected"));
      }
      return a.isConst ? fold(r) : r;
    }
    case bFormat: {
      open();
      const Token ft = tok_;
      Expr f = parseExpr();
      StrNode* fmt = asStr(f, ft);
      expectSym(",");
      expectSym("[");
      struct A {
        Cat cat;
        Kind kind;
        IntNode* i;
        RealNode* r;
        StrNode* s;
      };
      std::vector<A> args;
      if (!tok_.isSym("]")) {
        do {
          const Token et = tok_;
          Expr e = parseExpr();
          A a{catOf(e.type), e.type->kind, nullptr, nullptr, nullptr};
          if (e.type->kind == Kind::Proc)
            error(et, QStringLiteral("Type mismatch: %1 cannot be formatted").arg(typeName(e.type)));
          if (a.cat == Cat::Ord)
            a.i = asInt(e);
          else if (a.cat == Cat::Real)
            a.r = asReal(e, et);
          else if (a.cat == Cat::Str)
            a.s = asStr(e, et);
          else
            error(et, QStringLiteral("Type mismatch: %1 cannot be formatted").arg(typeName(e.type)));
          args.push_back(a);
        } while (acceptSym(","));
      }
      expectSym("]");
      close();
      r.type = tString_;
      r.s = S([fmt, args](Ctx& c) {
        std::vector<FormatArg> vals;
        vals.reserve(args.size());
        for (const A& a : args) {
          FormatArg v;
          if (a.cat == Cat::Ord) {
            v.kind = a.kind == Kind::Char      ? FormatArg::Char
                     : a.kind == Kind::Boolean ? FormatArg::Bool
                                               : FormatArg::Int;
            v.i = (*a.i)(c);
          } else if (a.cat == Cat::Real) {
            v.kind = FormatArg::Real;
            v.f = (*a.r)(c);
          } else {
            v.kind = FormatArg::Str;
            v.s = (*a.s)(c);
          }
          vals.push_back(std::move(v));
        }
        QString err;
        QString out = formatText((*fmt)(c), vals, &err);
        if (!err.isEmpty()) runtimeError(c, err);
        return out;
      });
      return r;
    }
    case bInclude:
    case bExclude: {
      open();
      const Token vt = tok_;
      Expr v = requireLValue(parseExpr(), vt);
      if (v.type->kind != Kind::Set || !v.ref) error(vt, QStringLiteral("Set variable expected"));
      expectSym(",");
      const Token et = tok_;
      Expr e = coerce(parseExpr(), v.type->elem, et);
      close();
      IntNode* n = asInt(e);
      RefNode* cell = v.ref;
      const bool inc = id == bInclude;
      r.type = tVoid_;
      r.v = V([cell, n, inc](Ctx& c) {
        const int64_t k = (*n)(c);
        if (k < 0 || k > 255) runtimeError(c, QStringLiteral("Set element out of range (%1)").arg(k));
        Value* p = (*cell)(c);
        auto b = bitsOf(*p);
        b.set(size_t(k), inc);
        p->a = setValue(b).a;
        return Value();
      });
      return r;
    }
    case bAssigned: {
      open();
      const Token vt = tok_;
      Expr v = parseExpr();
      close();
      if (v.type->kind != Kind::Class && v.type->kind != Kind::DynArray && v.type->kind != Kind::Proc &&
          v.type->kind != Kind::Nil)
        error(vt, QStringLiteral("Type mismatch: Assigned needs an object, a dynamic array or a routine"));
      r.type = tBoolean_;
      if (v.type->kind == Kind::Proc) {
        IntNode* p = asInt(v);
        r.i = I([p](Ctx& c) -> int64_t { return (*p)(c) != 0; });
        return r;
      }
      ValNode* n = asVal(v);
      r.i = I([n](Ctx& c) -> int64_t { return (*n)(c).a != nullptr; });
      return r;
    }
    case bRandom: {
      if (acceptSym("(")) {
        const Token nt = tok_;
        Expr n = parseExpr();
        if (n.type->kind != Kind::Integer) mismatch(nt, tInteger_, n.type);
        close();
        IntNode* nn = asInt(n);
        r.type = tInt64_;
        r.i = I([nn](Ctx& c) { return randomInt((*nn)(c)); });
        return r;
      }
      r.type = tDouble_;
      r.r = R([](Ctx&) { return randomReal(); });
      return r;
    }
    case bSizeOf: {
      open();
      Type* t = typeArg();
      if (!t) t = parseExpr().type;
      close();
      int64_t size = 0;
      switch (t->kind) {
        case Kind::Boolean: size = 1; break;
        case Kind::Char: size = 2; break;
        case Kind::Real: size = t->single ? 4 : 8; break;
        case Kind::Integer:
        case Kind::Enum:
          size = t->ik == IntKind::I8 || t->ik == IntKind::U8     ? 1
                 : t->ik == IntKind::I16 || t->ik == IntKind::U16 ? 2
                 : t->ik == IntKind::I64                          ? 8
                                                                  : 4;
          break;
        default: size = 8; break;
      }
      return intConst(size);
    }
    case bCopy: {
      open();
      const Token st = tok_;
      Expr s = parseExpr();
      expectSym(",");
      const Token it = tok_;
      Expr idx = parseExpr();
      if (idx.type->kind != Kind::Integer) mismatch(it, tInteger_, idx.type);
      IntNode* in = asInt(idx);
      IntNode* cn = nullptr;
      if (acceptSym(",")) {
        const Token ct = tok_;
        Expr cnt = parseExpr();
        if (cnt.type->kind != Kind::Integer) mismatch(ct, tInteger_, cnt.type);
        cn = asInt(cnt);
      }
      close();
      if (s.type->kind == Kind::String || s.type->kind == Kind::Char) {
        StrNode* sn = asStr(s, st);
        r.type = tString_;
        r.s = S([sn, in, cn](Ctx& c) {
          const QString x = (*sn)(c);
          int64_t k = (*in)(c);
          int64_t n = cn ? (*cn)(c) : INT64_MAX;
          if (k < 1) k = 1;
          if (k > x.size() || n <= 0) return QString();
          n = std::min<int64_t>(n, x.size() - k + 1);
          return x.mid(qsizetype(k - 1), qsizetype(n));
        });
        return r;
      }
      if (s.type->kind == Kind::DynArray) {
        ValNode* vn = asVal(s);
        const Type* et = s.type->elem;
        r.type = s.type;
        r.v = V([vn, in, cn, et](Ctx& c) {
          const Value x = (*vn)(c);
          const int64_t size = x.a ? int64_t(x.a->v.size()) : 0;
          int64_t k = std::max<int64_t>((*in)(c), 0);
          int64_t n = cn ? (*cn)(c) : INT64_MAX;
          Value out;
          out.a = std::make_shared<Agg>();
          if (k < size && n > 0) {
            n = std::min(n, size - k);
            for (int64_t j = 0; j < n; ++j) out.a->v.push_back(copyValue(et, x.a->v[size_t(k + j)]));
          }
          return out;
        });
        return r;
      }
      mismatch(st, tString_, s.type);
    }
    default: error(at, QStringLiteral("'%1' can only be used as a statement").arg(at.text));
  }
}

// ---------------------------------------------------------------------------------------------------------------
// Declarations

Type* Compiler::parseTypeName() {
  const Token t = tok_;
  if (t.kind != Tok::Ident) expected("Type identifier");
  Symbol* s = find(t.lower);
  if (!s) error(t, QStringLiteral("Unknown type '%1'").arg(t.text));
  if (s->k != Symbol::TypeName) error(t, QStringLiteral("'%1' is not a type").arg(t.text));
  advance();
  if (s->type->kind == Kind::String && tok_.isSym("[")) {  // string[N]: the length is not kept
    advance();
    constInt(tok_);
    expectSym("]");
  }
  return s->type;
}

Type* Compiler::parseType(const QString& name) {
  const Token t = tok_;
  Nest nest(*this, t);
  acceptKw("packed");
  auto named = [&](Type* x) {
    if (x->name.isEmpty()) x->name = name;
    return x;
  };
  if (tok_.isKw("array")) {
    advance();
    if (acceptSym("[")) {
      std::vector<Type*> ranges;
      do {
        const Token rt = tok_;
        Type* it = nullptr;
        if (tok_.kind == Tok::Ident && !lex_->peek().isSym("..")) {
          Symbol* s = find(tok_.lower);
          if (s && s->k == Symbol::TypeName) it = parseTypeName();
        }
        if (!it) it = parseType();
        if (!it->isOrdinal()) error(rt, QStringLiteral("Ordinal type expected for the array index"));
        ranges.push_back(it);
      } while (acceptSym(","));
      expectSym("]");
      expectKw("of");
      Type* elem = parseType();
      for (auto it = ranges.rbegin(); it != ranges.rend(); ++it) {
        Type* a = newType(Kind::Array);
        a->elem = elem;
        a->index = *it;
        a->alo = (*it)->lo;
        a->ahi = (*it)->hi;
        if (a->ahi - a->alo + 1 > kMaxCells || a->ahi < a->alo - 1)
          error(t, QStringLiteral("Array too large"));
        a->cells = a->length() * elem->cells;
        if (a->cells > kMaxCells) error(t, QStringLiteral("Array too large"));
        elem = a;
      }
      return named(elem);
    }
    expectKw("of");
    if (tok_.isKw("const")) error(tok_, QStringLiteral("'array of const' is only accepted by Format"));
    Type* a = newType(Kind::DynArray);
    a->elem = parseType();
    return named(a);
  }
  if (tok_.isKw("set")) {
    advance();
    expectKw("of");
    const Token bt = tok_;
    Type* b = parseType();
    if (!b->isOrdinal() || b->lo < 0 || (b->hi > 255 && b->kind != Kind::Char))
      error(bt, QStringLiteral("Sets hold ordinals between 0 and 255"));
    Type* s = newType(Kind::Set);
    s->elem = b;
    return named(s);
  }
  if (tok_.isKw("record")) {
    advance();
    Type* r = newType(Kind::Record, name);
    while (!tok_.isKw("end")) {
      if (tok_.isKw("case")) error(tok_, QStringLiteral("Variant records are not supported"));
      std::vector<Token> names;
      do names.push_back(ident());
      while (acceptSym(","));
      expectSym(":");
      Type* ft = parseType();
      for (const Token& n : names) {
        for (const Field& f : r->fields)
          if (f.name.toLower() == n.lower) error(n, QStringLiteral("Duplicate field '%1'").arg(n.text));
        r->fields.push_back(Field{n.text, ft});
      }
      if (!acceptSym(";")) break;
    }
    expectKw("end");
    r->cells = 1;
    for (const Field& f : r->fields) r->cells += f.type->cells;
    if (r->cells > kMaxCells) error(t, QStringLiteral("Record too large"));
    return r;
  }
  if (tok_.isSym("(")) {
    advance();
    Type* e = newType(Kind::Enum, name);
    int64_t k = 0;
    do {
      const Token n = ident();
      Symbol s;
      s.k = Symbol::Const;
      s.type = e;
      s.cv.i = k++;
      declare(n, n.text, s);
      e->enumNames.push_back(n.text);
    } while (acceptSym(","));
    expectSym(")");
    e->lo = 0;
    e->hi = k - 1;
    e->ik = k <= 256 ? IntKind::U8 : k <= 65536 ? IntKind::U16 : IntKind::I32;
    return e;
  }
  if (tok_.isKw("procedure") || tok_.isKw("function")) {
    const bool fn = tok_.isKw("function");
    advance();
    auto r = std::make_unique<Routine>();
    Routine* sig = r.get();
    prog_->routines.push_back(std::move(r));
    parseParams(sig);
    if (fn) {
      expectSym(":");
      sig->result = parseTypeName();
    }
    if (acceptKw("of")) expectKw("object");
    Type* p = newType(Kind::Proc, name);
    p->signature = sig;
    return p;
  }
  if (tok_.isKw("class")) error(tok_, QStringLiteral("Class declarations are not supported in scripts"));
  if (tok_.isSym("^")) error(tok_, QStringLiteral("Pointers are not supported"));
  if (tok_.kind == Tok::Ident && !lex_->peek().isSym("..")) {
    Symbol* s = find(tok_.lower);
    if (s && s->k == Symbol::TypeName) return parseTypeName();
    if (!s && !isReserved(tok_.lower)) error(tok_, QStringLiteral("Unknown type '%1'").arg(tok_.text));
  }
  // Subrange.
  Type* lt = nullptr;
  const int64_t lo = constInt(t, &lt);
  expectSym("..");
  const Token ht = tok_;
  Type* htype = nullptr;
  const int64_t hi = constInt(ht, &htype);
  if (htype->ordBase() != lt->ordBase() && !(htype->kind == Kind::Integer && lt->kind == Kind::Integer))
    mismatch(ht, lt, htype);
  if (hi < lo) error(ht, QStringLiteral("Upper bound is less than the lower bound"));
  Type* s = newType(lt->kind, name);
  s->lo = lo;
  s->hi = hi;
  if (lt->kind == Kind::Integer) {
    s->ik = lo >= 0 && hi <= 255                 ? IntKind::U8
            : lo >= INT32_MIN && hi <= INT32_MAX ? IntKind::I32
                                                 : IntKind::I64;
    if (lo >= 0 && hi <= 255) s->ik = IntKind::I32;  // arithmetic on small subranges stays exact
  } else {
    s->ik = lt->ik;
    s->base = const_cast<Type*>(lt->ordBase());
  }
  return s;
}

void Compiler::parseParams(Routine* r) {
  if (!acceptSym("(")) return;
  if (acceptSym(")")) return;
  do {
    Param::Mode mode = Param::ByValue;
    if (acceptKw("const"))
      mode = Param::Const;
    else if (acceptKw("var"))
      mode = Param::Var;
    else if (tok_.isKw("out") && lex_->peek().kind == Tok::Ident && !lex_->peek().isSym(":")) {
      advance();
      mode = Param::Out;
    }
    std::vector<Token> names;
    do names.push_back(ident());
    while (acceptSym(","));
    if (!tok_.isSym(":")) error(tok_, QStringLiteral("Untyped parameters are not supported"));
    advance();
    Type* t;
    if (tok_.isKw("array")) {
      advance();
      expectKw("of");
      if (tok_.isKw("const")) error(tok_, QStringLiteral("'array of const' is only accepted by Format"));
      t = newType(Kind::DynArray);
      t->elem = parseTypeName();
    } else {
      t = parseTypeName();
    }
    Param p;
    p.type = t;
    p.mode = mode;
    if (acceptSym("=")) {
      p.hasDefault = true;
      p.defaultValue = constValue(t, tok_);
    }
    for (const Token& n : names) {
      for (const Param& q : r->params)
        if (q.name.toLower() == n.lower) error(n, QStringLiteral("Duplicate parameter '%1'").arg(n.text));
      p.name = n.text;
      r->params.push_back(p);
    }
  } while (acceptSym(";"));
  expectSym(")");
}

Value Compiler::constValue(Type* t, const Token& at) {
  if (t->kind == Kind::Array || t->kind == Kind::Record) {
    Nest nest(*this, at);
    Value v = defaultValue(t);
    expectSym("(");
    if (t->kind == Kind::Array) {
      for (int64_t k = 0; k < t->length(); ++k) {
        if (k) expectSym(",");
        v.a->v[size_t(k)] = constValue(t->elem, tok_);
      }
    } else {
      for (size_t k = 0; k < t->fields.size(); ++k) {
        if (k && !acceptSym(";")) break;
        if (tok_.isSym(")")) break;
        const Token n = ident();
        if (n.lower != t->fields[k].name.toLower())
          error(n, QStringLiteral("Field '%1' expected").arg(t->fields[k].name));
        expectSym(":");
        v.a->v[k] = constValue(t->fields[k].type, tok_);
      }
      acceptSym(";");
    }
    expectSym(")");
    return v;
  }
  if (t->kind == Kind::Proc) procHint_ = t;
  Expr e = t->kind == Kind::Set && tok_.isSym("[") ? setConstructor(t) : parseExpr();
  procHint_ = nullptr;
  if (!e.isConst) error(at, QStringLiteral("Constant expression expected"));
  e = coerce(std::move(e), t, at);
  if (!e.isConst) e = fold(e);
  Value v = e.cv;
  if (t->isOrdinal()) v.i = fitInt(t->ik, v.i);
  return v;
}

void Compiler::parseDeclarations() {
  for (;;) {
    if (acceptKw("const"))
      parseConst();
    else if (acceptKw("type"))
      parseTypes();
    else if (acceptKw("var"))
      parseVars();
    else if (tok_.isKw("procedure") || tok_.isKw("function")) {
      const bool fn = tok_.isKw("function");
      advance();
      parseRoutine(fn);
    } else
      return;
  }
}

void Compiler::parseConst() {
  while (tok_.kind == Tok::Ident && !isReserved(tok_.lower)) {
    const Token n = ident();
    if (acceptSym(":")) {
      Type* t = parseType();
      expectSym("=");
      Value v = constValue(t, tok_);
      Symbol s;
      s.k = Symbol::Var;
      s.type = t;
      s.level = level();
      s.readOnly = true;
      s.slot = newSlot(t);
      if (curRoutine_)
        curRoutine_->inits.push_back({s.slot, v});
      else {
        prog_->globalInits.push_back({s.slot, v});
        prog_->globalNames.insert(n.lower, s.slot);
      }
      declare(n, n.text, s);
    } else {
      expectSym("=");
      const Token et = tok_;
      Expr e = parseExpr();
      if (!e.isConst) error(et, QStringLiteral("Constant expression expected"));
      Symbol s;
      s.k = Symbol::Const;
      s.type = e.type;
      s.cv = e.cv;
      declare(n, n.text, s);
    }
    expectSym(";");
  }
}

void Compiler::parseTypes() {
  while (tok_.kind == Tok::Ident && !isReserved(tok_.lower)) {
    const Token n = ident();
    expectSym("=");
    Type* t = parseType(n.text);
    Symbol s;
    s.k = Symbol::TypeName;
    s.type = t;
    declare(n, n.text, s);
    expectSym(";");
  }
}

void Compiler::parseVars() {
  while (tok_.kind == Tok::Ident && !isReserved(tok_.lower)) {
    std::vector<Token> names;
    do names.push_back(ident());
    while (acceptSym(","));
    expectSym(":");
    Type* t = parseType();
    Value init;
    bool hasInit = false;
    if (acceptSym("=")) {
      init = constValue(t, tok_);
      hasInit = true;
    }
    for (const Token& n : names) {
      Symbol s;
      s.k = Symbol::Var;
      s.type = t;
      s.level = level();
      s.slot = newSlot(t);
      if (hasInit || t->needsAgg()) {
        Value v = hasInit ? init : defaultValue(t);
        if (curRoutine_)
          curRoutine_->inits.push_back({s.slot, v});
        else
          prog_->globalInits.push_back({s.slot, v});
      }
      if (!curRoutine_) prog_->globalNames.insert(n.lower, s.slot);
      declare(n, n.text, s);
    }
    expectSym(";");
  }
}

Routine* Compiler::parseHeading(bool isFunction, Token& nameTok, bool forHost) {
  nameTok = ident();
  auto r = std::make_unique<Routine>();
  Routine* p = r.get();
  prog_->routines.push_back(std::move(r));
  p->name = nameTok.text;
  p->declLine = nameTok.line;
  p->declColumn = nameTok.column;
  parseParams(p);
  if (isFunction) {
    expectSym(":");
    p->result = parseTypeName();
  }
  if (forHost) {
    acceptSym(";");
  } else {
    expectSym(";");
  }
  // Calling conventions and overload markers change nothing here.
  while (tok_.isKw("stdcall") || tok_.isKw("register") || tok_.isKw("cdecl") || tok_.isKw("overload") ||
         tok_.isKw("pascal") || tok_.isKw("safecall")) {
    advance();
    if (forHost)
      acceptSym(";");
    else
      expectSym(";");
  }
  return p;
}

void Compiler::parseRoutine(bool isFunction) {
  Token nameTok;
  Routine* r = parseHeading(isFunction, nameTok, false);
  Symbol* existing =
      scopes_.back().syms.contains(nameTok.lower) ? &scopes_.back().syms[nameTok.lower] : nullptr;
  if (existing && existing->k == Symbol::Proc && existing->routine->forward && !existing->routine->defined &&
      !existing->routine->native) {
    Routine* f = existing->routine;
    bool same = f->params.size() == r->params.size() && f->result == r->result;
    for (size_t k = 0; same && k < f->params.size(); ++k)
      same = f->params[k].type == r->params[k].type && f->params[k].mode == r->params[k].mode;
    if (!same && !r->params.empty())
      error(nameTok,
            QStringLiteral("Declaration of '%1' differs from its forward declaration").arg(nameTok.text));
    r = f;
  } else {
    r->level = level() + 1;
    Symbol s;
    s.k = Symbol::Proc;
    s.routine = r;
    declare(nameTok, nameTok.text, s);
  }
  if (tok_.isKw("forward")) {
    advance();
    expectSym(";");
    r->forward = true;
    return;
  }
  if (tok_.isKw("external")) error(tok_, QStringLiteral("External routines are not supported"));
  r->defined = true;
  Routine* savedRoutine = curRoutine_;
  const int savedLevel = level_;
  const int savedLoops = loopDepth_;
  curRoutine_ = r;
  level_ = r->level;
  loopDepth_ = 0;
  routineStack_.push_back(r);
  scopes_.push_back(Scope{{}, level_});
  r->slotTypes.clear();
  for (const Param& p : r->params) {
    Symbol s;
    s.k = Symbol::Var;
    s.type = p.type;
    s.level = level_;
    s.slot = newSlot(p.type);
    s.isRef = p.byRef();
    s.readOnly = p.mode == Param::Const;
    declare(nameTok, p.name, s);
  }
  if (r->result) {
    Symbol s;
    s.k = Symbol::Var;
    s.type = r->result;
    s.level = level_;
    s.slot = newSlot(r->result);
    if (r->result->needsAgg()) r->inits.push_back({s.slot, defaultValue(r->result)});
    declare(nameTok, QStringLiteral("Result"), s);
  }
  parseDeclarations();
  for (auto it = scopes_.back().syms.cbegin(); it != scopes_.back().syms.cend(); ++it)
    if (it->k == Symbol::Proc && it->routine->forward && !it->routine->defined)
      error(nameTok, QStringLiteral("Unsatisfied forward declaration '%1'").arg(it->routine->name));
  if (!tok_.isKw("begin")) expected("'BEGIN'");
  r->body = parseCompound();
  expectSym(";");
  r->slotCount = int(r->slotTypes.size());
  r->paramCount = int(r->params.size());
  r->scalarOnly = true;
  for (const Param& p : r->params) r->scalarOnly = r->scalarOnly && !p.byRef();
  for (const Type* t : r->slotTypes)
    r->scalarOnly = r->scalarOnly && (t->isOrdinal() || t->kind == Kind::Real);
  r->fastScalar = r->scalarOnly;
  scopes_.pop_back();
  routineStack_.pop_back();
  curRoutine_ = savedRoutine;
  level_ = savedLevel;
  loopDepth_ = savedLoops;
}

// ---------------------------------------------------------------------------------------------------------------
// Statements

StmtNode* Compiler::withLine(StmtNode* s, int line, int col) {
  if (!s) return s;
  return ST([s, line, col](Ctx& c) {
    c.line = line;
    c.column = col;
    return (*s)(c);
  });
}

StmtNode* Compiler::seq(std::vector<StmtNode*> list) {
  list.erase(std::remove(list.begin(), list.end(), nullptr), list.end());
  if (list.empty()) return nullptr;
  if (list.size() == 1) return list[0];
  if (list.size() == 2) {
    StmtNode* a = list[0];
    StmtNode* b = list[1];
    return ST([a, b](Ctx& c) {
      const Flow f = (*a)(c);
      if (f != Flow::Normal) return f;
      return (*b)(c);
    });
  }
  return ST([list = std::move(list)](Ctx& c) {
    for (StmtNode* s : list) {
      const Flow f = (*s)(c);
      if (f != Flow::Normal) return f;
    }
    return Flow::Normal;
  });
}

StmtNode* Compiler::parseCompound() {
  expectKw("begin");
  std::vector<StmtNode*> list;
  for (;;) {
    list.push_back(parseStatement());
    if (acceptSym(";")) continue;
    if (tok_.isKw("end")) break;
    if (tok_.kind == Tok::Eof) expected("'END'");
    expected("';'");
  }
  expectKw("end");
  return seq(std::move(list));
}

StmtNode* Compiler::parseStatement() {
  const Token t = tok_;
  Nest nest(*this, t);
  if (t.kind == Tok::Eof) return nullptr;
  if (t.kind == Tok::Ident) {
    if (t.isKw("begin")) return parseCompound();
    if (t.isKw("if")) return parseIf();
    if (t.isKw("while")) return parseWhile();
    if (t.isKw("repeat")) return parseRepeat();
    if (t.isKw("for")) return parseFor();
    if (t.isKw("case")) return parseCase();
    if (t.isKw("with")) return parseWith();
    if (t.isKw("try")) return parseTry();
    if (t.isKw("raise")) return withLine(parseRaise(), t.line, t.column);
    if (t.isKw("end") || t.isKw("until") || t.isKw("else") || t.isKw("except") || t.isKw("finally"))
      return nullptr;
    if (t.isKw("goto") || t.isKw("label")) error(t, QStringLiteral("'goto' is not supported"));
    if (isReserved(t.lower)) expected("Statement");
    Symbol* s = find(t.lower);
    if (s && s->k == Symbol::Builtin && (s->builtin == bBreak || s->builtin == bContinue)) {
      advance();
      if (loopDepth_ == 0) error(t, QStringLiteral("'%1' outside a loop").arg(t.text));
      const Flow f = s->builtin == bBreak ? Flow::Break : Flow::Continue;
      return ST([f](Ctx&) { return f; });
    }
    if (s && s->k == Symbol::Builtin && s->builtin == bExit) {
      advance();
      return withLine(exitWith(t), t.line, t.column);
    }
    Expr e = parseDesignator(true);
    if (tok_.isSym(":=")) {
      const Token op = tok_;
      if (!e.ref && !e.strCell) error(t, QStringLiteral("Left side cannot be assigned to"));
      if (e.readOnly) error(t, QStringLiteral("Cannot assign to a read-only value"));
      advance();
      const Token st = tok_;
      const int callsBefore = scriptCalls_;
      if (e.type->kind == Kind::Proc) procHint_ = e.type;
      Expr src = e.type->kind == Kind::Set && tok_.isSym("[") ? setConstructor(e.type) : parseExpr();
      procHint_ = nullptr;
      // s := s + ... appends in place instead of copying the whole string each time.
      if (e.type->kind == Kind::String && e.ref && !e.readOnly && src.appendTo >= 0 &&
          src.appendTo == e.slot && src.appendLevel == e.slotLevel && e.slotLevel >= 0 &&
          callsBefore == scriptCalls_) {
        RefNode* cell = e.ref;
        std::vector<StrNode*> parts = src.appendParts;
        const int line = t.line, col = t.column;
        if (parts.size() == 1) {
          StrNode* part = parts[0];
          return ST([cell, part, line, col](Ctx& c) {
            c.line = line;
            c.column = col;
            part->appendTo(c, (*cell)(c)->s);
            return Flow::Normal;
          });
        }
        // Later parts may read the variable: they must see it as it was before the statement.
        return ST([cell, parts, line, col](Ctx& c) {
          c.line = line;
          c.column = col;
          QString x;
          for (StrNode* p : parts) p->appendTo(c, x);
          (*cell)(c)->s.append(x);
          return Flow::Normal;
        });
      }
      (void)op;
      bool lineDone = false;
      StmtNode* n = store(e, std::move(src), st, t.line, t.column, &lineDone);
      return lineDone ? n : withLine(n, t.line, t.column);
    }
    // A procedural variable alone is a call without arguments.
    if (!e.isCall && e.type->kind == Kind::Proc) e = callThrough(std::move(e), t);
    if (!e.isCall && e.type != tVoid_)
      error(tok_, QStringLiteral("':=' expected but %1 found").arg(tok_.describe()));
    if (e.stmt) return e.stmt;
    if (e.call)
      return byArity<StmtNode>(e.call,
                               [&]<int A>() { return make<CallStmtNode<A>>(e.call, t.line, t.column); });
    auto discard = [&](auto* x) {
      return ST([x](Ctx& c) {
        (void)(*x)(c);
        return Flow::Normal;
      });
    };
    const Cat cat = catOf(e.type);
    StmtNode* n = cat == Cat::Ord    ? discard(e.i)
                  : cat == Cat::Real ? discard(e.r)
                  : cat == Cat::Str  ? discard(e.s)
                                     : discard(e.v);
    return withLine(n, t.line, t.column);
  }
  if (t.isSym(";")) return nullptr;
  expected("Statement");
}

StmtNode* Compiler::exitWith(const Token& at) {
  if (acceptSym("(")) {
    if (!curRoutine_ || !curRoutine_->result)
      error(at, QStringLiteral("Exit with a value outside a function"));
    Symbol res;
    res.k = Symbol::Var;
    res.level = curRoutine_->level;
    res.slot = int(curRoutine_->params.size());
    res.type = curRoutine_->result;
    Expr dst = varExpr(res);
    const Token vt = tok_;
    if (res.type->kind == Kind::Proc) procHint_ = res.type;
    Expr v = parseExpr();
    procHint_ = nullptr;
    expectSym(")");
    StmtNode* st = store(dst, std::move(v), vt);
    return ST([st](Ctx& c) {
      (*st)(c);
      return Flow::Exit;
    });
  }
  return ST([](Ctx&) { return Flow::Exit; });
}

StmtNode* Compiler::parseIf() {
  const Token t = tok_;
  advance();
  const Token ct = tok_;
  Expr cond = coerce(parseExpr(), tBoolean_, ct);
  expectKw("then");
  StmtNode* a = parseStatement();
  StmtNode* b = nullptr;
  if (acceptKw("else")) b = parseStatement();
  return makeIf<LocalCmpNode<Rel::EQ>, LocalCmpNode<Rel::NE>, LocalCmpNode<Rel::LT>, LocalCmpNode<Rel::GT>,
                LocalCmpNode<Rel::LE>, LocalCmpNode<Rel::GE>, LocalsCmpNode<Rel::EQ>, LocalsCmpNode<Rel::NE>,
                LocalsCmpNode<Rel::LT>, LocalsCmpNode<Rel::GT>, LocalsCmpNode<Rel::LE>,
                LocalsCmpNode<Rel::GE>, IntNode>(asInt(cond), a, b, t.line, t.column);
}

StmtNode* Compiler::parseWhile() {
  const Token t = tok_;
  advance();
  const Token ct = tok_;
  Expr cond = coerce(parseExpr(), tBoolean_, ct);
  expectKw("do");
  ++loopDepth_;
  StmtNode* body = parseStatement();
  --loopDepth_;
  IntNode* c0 = asInt(cond);
  const int line = t.line, col = t.column;
  return ST([c0, body, line, col](Ctx& c) {
    for (;;) {
      c.line = line;
      c.column = col;
      tick(c);
      if (!(*c0)(c)) return Flow::Normal;
      if (!body) continue;
      const Flow f = (*body)(c);
      if (f == Flow::Break) return Flow::Normal;
      if (f == Flow::Exit) return f;
    }
  });
}

StmtNode* Compiler::parseRepeat() {
  const Token t = tok_;
  advance();
  ++loopDepth_;
  std::vector<StmtNode*> list;
  for (;;) {
    list.push_back(parseStatement());
    if (acceptSym(";")) continue;
    break;
  }
  --loopDepth_;
  const Token ut = tok_;
  expectKw("until");
  const Token ct = tok_;
  Expr cond = coerce(parseExpr(), tBoolean_, ct);
  StmtNode* body = seq(std::move(list));
  IntNode* c0 = asInt(cond);
  const int line = ut.line, col = ut.column;
  return ST([c0, body, line, col](Ctx& c) {
    for (;;) {
      if (body) {
        const Flow f = (*body)(c);
        if (f == Flow::Break) return Flow::Normal;
        if (f == Flow::Exit) return f;
      }
      c.line = line;
      c.column = col;
      tick(c);
      if ((*c0)(c)) return Flow::Normal;
    }
  });
}

StmtNode* Compiler::parseFor() {
  const Token t = tok_;
  advance();
  const Token vt = tok_;
  const Token name = ident();
  Symbol* s = find(name.lower);
  if (!s) error(name, QStringLiteral("Unknown identifier '%1'").arg(name.text));
  if (s->k != Symbol::Var || s->readOnly)
    error(name, QStringLiteral("Variable expected as the for-loop counter"));
  if (!s->type->isOrdinal()) error(name, QStringLiteral("Ordinal variable expected as the for-loop counter"));
  Expr v = varExpr(*s);
  expectSym(":=");
  const Token ft = tok_;
  Expr from = coerce(parseExpr(), s->type->kind == Kind::Integer ? tInt64_ : s->type, ft);
  bool down = false;
  if (acceptKw("downto"))
    down = true;
  else
    expectKw("to");
  const Token tt = tok_;
  Expr to = coerce(parseExpr(), s->type->kind == Kind::Integer ? tInt64_ : s->type, tt);
  expectKw("do");
  ++loopDepth_;
  // The counter cannot be assigned inside its loop.
  s->readOnly = true;
  const QString key = name.lower;
  StmtNode* body = parseStatement();
  if (Symbol* again = find(key)) again->readOnly = false;
  --loopDepth_;
  IntNode* a = asInt(from);
  IntNode* b = asInt(to);
  RefNode* cell = v.ref;
  const IntKind ik = s->type->ik;
  const int line = t.line, col = t.column;
  (void)vt;
  return ST([a, b, cell, body, down, ik, line, col](Ctx& c) {
    c.line = line;
    c.column = col;
    const int64_t lo = (*a)(c), hi = (*b)(c);
    if (down ? lo < hi : lo > hi) return Flow::Normal;
    Value* p = (*cell)(c);
    for (int64_t k = lo;; down ? --k : ++k) {
      tick(c);
      p->i = fitInt(ik, k);
      if (body) {
        const Flow f = (*body)(c);
        if (f == Flow::Break) break;
        if (f == Flow::Exit) return f;
      }
      if (k == hi) break;
    }
    return Flow::Normal;
  });
}

StmtNode* Compiler::parseCase() {
  const Token t = tok_;
  advance();
  const Token st = tok_;
  Expr sel = parseExpr();
  expectKw("of");
  const bool isStr = sel.type->kind == Kind::String;
  if (!isStr && !sel.type->isOrdinal())
    error(st, QStringLiteral("Ordinal or string expression expected after 'case'"));
  struct Label {
    int64_t lo, hi;
    QString s;
    size_t branch;
  };
  std::vector<Label> labels;
  std::vector<StmtNode*> branches;
  StmtNode* otherwise = nullptr;
  while (!tok_.isKw("end") && !tok_.isKw("else") && !tok_.isKw("otherwise")) {
    do {
      const Token lt = tok_;
      Expr lo = parseExpr();
      if (!lo.isConst) error(lt, QStringLiteral("Constant expression expected"));
      Label l{0, 0, QString(), branches.size()};
      if (isStr) {
        lo = coerce(std::move(lo), tString_, lt);
        l.s = lo.cv.s;
      } else {
        lo = coerce(std::move(lo), sel.type->kind == Kind::Integer ? tInt64_ : sel.type, lt);
        l.lo = l.hi = lo.cv.i;
        if (acceptSym("..")) {
          const Token ht = tok_;
          Expr hi = parseExpr();
          if (!hi.isConst) error(ht, QStringLiteral("Constant expression expected"));
          hi = coerce(std::move(hi), sel.type->kind == Kind::Integer ? tInt64_ : sel.type, ht);
          l.hi = hi.cv.i;
        }
        for (const Label& o : labels)
          if (l.lo <= o.hi && o.lo <= l.hi) error(lt, QStringLiteral("Duplicate case label"));
      }
      labels.push_back(l);
    } while (acceptSym(","));
    expectSym(":");
    branches.push_back(parseStatement());
    if (!acceptSym(";")) break;
  }
  if (acceptKw("else") || acceptKw("otherwise")) {
    std::vector<StmtNode*> list;
    for (;;) {
      list.push_back(parseStatement());
      if (acceptSym(";")) continue;
      break;
    }
    otherwise = seq(std::move(list));
  }
  expectKw("end");
  const int line = t.line, col = t.column;
  if (isStr) {
    StrNode* sn = asStr(sel, st);
    return ST([sn, labels, branches, otherwise, line, col](Ctx& c) {
      c.line = line;
      c.column = col;
      const QString v = (*sn)(c);
      for (const Label& l : labels)
        if (l.s == v) return branches[l.branch] ? (*branches[l.branch])(c) : Flow::Normal;
      return otherwise ? (*otherwise)(c) : Flow::Normal;
    });
  }
  IntNode* in = asInt(sel);
  return ST([in, labels, branches, otherwise, line, col](Ctx& c) {
    c.line = line;
    c.column = col;
    const int64_t v = (*in)(c);
    for (const Label& l : labels)
      if (v >= l.lo && v <= l.hi) return branches[l.branch] ? (*branches[l.branch])(c) : Flow::Normal;
    return otherwise ? (*otherwise)(c) : Flow::Normal;
  });
}

StmtNode* Compiler::parseWith() {
  const Token t = tok_;
  advance();
  std::vector<StmtNode*> setup;
  size_t pushed = 0;
  do {
    const Token et = tok_;
    Expr e = parseExpr();
    if (e.type->kind != Kind::Record) error(et, QStringLiteral("Record variable expected after 'with'"));
    if (!e.ref) error(et, QStringLiteral("Variable expected"));
    const int slot = newSlot(tVoid_);
    Symbol hidden;
    hidden.k = Symbol::Var;
    hidden.level = level();
    hidden.slot = slot;
    hidden.type = tVoid_;
    Expr h = varExpr(hidden);
    RefNode* hc = h.ref;
    RefNode* target = e.ref;
    setup.push_back(ST([hc, target](Ctx& c) {
      c.lastAgg = nullptr;
      Value* p = (*target)(c);
      Agg* holder = c.lastAgg;
      Value* h = (*hc)(c);
      h->ref = p;
      h->a = holder ? holder->shared_from_this() : std::shared_ptr<Agg>();
      return Flow::Normal;
    }));
    scopes_.push_back(Scope{{}, level()});
    ++pushed;
    for (size_t k = 0; k < e.type->fields.size(); ++k) {
      Symbol f;
      f.k = Symbol::WithField;
      f.type = e.type->fields[k].type;
      f.level = level();
      f.slot = slot;
      f.fieldIndex = int(k);
      scopes_.back().syms.insert(e.type->fields[k].name.toLower(), f);
    }
  } while (acceptSym(","));
  expectKw("do");
  StmtNode* body = parseStatement();
  for (size_t k = 0; k < pushed; ++k) scopes_.pop_back();
  setup.push_back(body);
  return withLine(seq(std::move(setup)), t.line, t.column);
}

StmtNode* Compiler::parseTry() {
  advance();
  std::vector<StmtNode*> list;
  for (;;) {
    list.push_back(parseStatement());
    if (acceptSym(";")) continue;
    break;
  }
  StmtNode* body = seq(std::move(list));
  if (acceptKw("finally")) {
    std::vector<StmtNode*> fl;
    for (;;) {
      fl.push_back(parseStatement());
      if (acceptSym(";")) continue;
      break;
    }
    expectKw("end");
    StmtNode* fin = seq(std::move(fl));
    return ST([body, fin](Ctx& c) {
      Flow f = Flow::Normal;
      const CtxSnapshot entry(c);
      try {
        if (body) f = (*body)(c);
      } catch (...) {
        entry.restore(c);
        if (fin) (*fin)(c);
        throw;
      }
      if (fin) {
        const Flow g = (*fin)(c);
        if (g != Flow::Normal) return g;
      }
      return f;
    });
  }
  if (!tok_.isKw("except")) expected("'EXCEPT' or 'FINALLY'");
  advance();
  StmtNode* handler = nullptr;
  RefNode* eCell = nullptr;
  ++exceptDepth_;
  if (tok_.isKw("on")) {
    // Every error is an Exception: the first handler takes it.
    std::vector<StmtNode*> handlers;
    bool first = true;
    while (acceptKw("on")) {
      const Token n = ident();
      size_t pushed = 0;
      RefNode* cell = nullptr;
      if (acceptSym(":")) {
        Type* et = parseTypeName();
        if (et->kind != Kind::Exception) error(n, QStringLiteral("Exception type expected"));
        Symbol s;
        s.k = Symbol::Var;
        s.type = tException_;
        s.level = level();
        s.slot = newSlot(tException_);
        s.readOnly = true;
        scopes_.push_back(Scope{{}, level()});
        ++pushed;
        declare(n, n.text, s);
        cell = varExpr(s).ref;
      } else {
        Symbol* s = find(n.lower);
        if (!s || s->k != Symbol::TypeName || s->type->kind != Kind::Exception)
          error(n, QStringLiteral("Exception type expected"));
      }
      expectKw("do");
      StmtNode* h = parseStatement();
      for (size_t k = 0; k < pushed; ++k) scopes_.pop_back();
      if (first) {
        handler = h;
        eCell = cell;
      }
      first = false;
      handlers.push_back(h);
      if (!acceptSym(";")) break;
    }
    if (acceptKw("else")) {
      for (;;) {
        parseStatement();
        if (acceptSym(";")) continue;
        break;
      }
    }
  } else {
    std::vector<StmtNode*> hl;
    for (;;) {
      hl.push_back(parseStatement());
      if (acceptSym(";")) continue;
      break;
    }
    handler = seq(std::move(hl));
  }
  --exceptDepth_;
  expectKw("end");
  return ST([body, handler, eCell](Ctx& c) {
    QString message;
    int line = 0, column = 0;
    const CtxSnapshot entry(c);
    try {
      return body ? (*body)(c) : Flow::Normal;
    } catch (const ScriptThrow& t) {
      if (t.fatal) throw;
      message = t.message;
      line = t.line;
      column = t.column;
    } catch (const std::bad_alloc&) {
      message = QStringLiteral("Out of memory");
      line = c.line;
      column = c.column;
    }
    entry.restore(c);
    const QString saved = c.exceptionMessage;
    const int savedLine = c.exceptionLine, savedColumn = c.exceptionColumn;
    c.exceptionMessage = message;
    c.exceptionLine = line;
    c.exceptionColumn = column;
    struct Restore {
      Ctx& c;
      QString m;
      int l, col;
      ~Restore() {
        c.exceptionMessage = m;
        c.exceptionLine = l;
        c.exceptionColumn = col;
      }
    } restore{c, saved, savedLine, savedColumn};
    if (eCell) (*eCell)(c)->s = message;
    return handler ? (*handler)(c) : Flow::Normal;
  });
}

StmtNode* Compiler::parseRaise() {
  const Token t = tok_;
  advance();
  if (tok_.isSym(";") || tok_.isKw("end") || tok_.isKw("else") || tok_.isKw("until")) {
    if (exceptDepth_ == 0)
      error(t, QStringLiteral("'raise' without an exception outside an exception handler"));
    return ST([](Ctx& c) -> Flow {
      throw ScriptThrow{c.exceptionMessage, c.exceptionLine, c.exceptionColumn, false};
    });
  }
  const Token et = tok_;
  Expr e = parseExpr();
  if (e.type->kind != Kind::Exception) error(et, QStringLiteral("Exception expected after 'raise'"));
  ValNode* v = asVal(e);
  return ST([v](Ctx& c) -> Flow { runtimeError(c, (*v)(c).s); });
}

// ---------------------------------------------------------------------------------------------------------------
// Host declarations

Routine* Compiler::hostRoutine(const QString& decl, NativeFn fn) {
  Lexer lex(decl, Lexer::Options{});
  std::unique_ptr<Lexer> saved = std::move(lex_);
  lex_ = std::make_unique<Lexer>(std::move(lex));
  struct Back {
    Compiler& c;
    std::unique_ptr<Lexer>& saved;
    ~Back() { c.lex_ = std::move(saved); }
  } back{*this, saved};
  advance();
  bool fnKind = false;
  if (acceptKw("function"))
    fnKind = true;
  else
    expectKw("procedure");
  Token nameTok;
  Routine* r = parseHeading(fnKind, nameTok, true);
  if (tok_.kind != Tok::Eof) expected("end of declaration");
  r->level = 0;
  r->defined = true;
  r->native = std::move(fn);
  r->scalarOnly = true;
  for (const Param& p : r->params)
    r->scalarOnly = r->scalarOnly && !p.byRef() &&
                    (p.type->isOrdinal() || p.type->kind == Kind::Real || p.type->kind == Kind::String);
  if (r->result && r->result->needsAgg()) r->scalarOnly = false;
  Symbol s;
  s.k = Symbol::Proc;
  s.routine = r;
  declare(nameTok, nameTok.text, s);
  return r;
}

void Compiler::hostType(const QString& name, const QString& def) {
  std::unique_ptr<Lexer> saved = std::move(lex_);
  // The final ";" is optional in a host definition.
  const QString text = def.trimmed().endsWith(u';') ? def : def + u';';
  lex_ = std::make_unique<Lexer>(name + QStringLiteral(" = ") + text, Lexer::Options{});
  struct Back {
    Compiler& c;
    std::unique_ptr<Lexer>& saved;
    ~Back() { c.lex_ = std::move(saved); }
  } back{*this, saved};
  advance();
  const Token n = ident();
  expectSym("=");
  Type* t = parseType(n.text);
  Symbol s;
  s.k = Symbol::TypeName;
  s.type = t;
  declare(n, n.text, s);
  expectSym(";");
  if (tok_.kind != Tok::Eof) expected("end of definition");
}

void Compiler::hostConstant(const QString& name, const QString& typeName, const QVariant& value) {
  std::unique_ptr<Lexer> saved = std::move(lex_);
  lex_ = std::make_unique<Lexer>(name + u' ' + typeName, Lexer::Options{});
  struct Back {
    Compiler& c;
    std::unique_ptr<Lexer>& saved;
    ~Back() { c.lex_ = std::move(saved); }
  } back{*this, saved};
  advance();
  const Token n = ident();
  Type* t = parseType();
  if (tok_.kind != Tok::Eof) expected("end of type name");
  Symbol s;
  s.k = Symbol::Const;
  s.type = t;
  if (!fromVariant(t, value, s.cv) || t->needsAgg())
    error(n, QStringLiteral("The value of constant '%1' does not fit its type %2").arg(name, typeName));
  if (t->isOrdinal() && (s.cv.i < t->lo || s.cv.i > t->hi))
    error(n, QStringLiteral("The value of constant '%1' is out of the range of %2").arg(name, typeName));
  declare(n, n.text, s);
}

void Compiler::hostClass(const QString& name, const QString& parent) {
  std::unique_ptr<Lexer> saved = std::move(lex_);
  lex_ = std::make_unique<Lexer>(name + u' ' + (parent.isEmpty() ? QStringLiteral("TObject") : parent),
                                 Lexer::Options{});
  struct Back {
    Compiler& c;
    std::unique_ptr<Lexer>& saved;
    ~Back() { c.lex_ = std::move(saved); }
  } back{*this, saved};
  advance();
  const Token n = ident();
  const Token pt = tok_;
  Type* p = parseTypeName();
  if (p->kind != Kind::Class) error(pt, QStringLiteral("'%1' is not a class").arg(pt.text));
  Type* t = newType(Kind::Class, n.text);
  t->parent = p;
  Symbol s;
  s.k = Symbol::TypeName;
  s.type = t;
  declare(n, n.text, s);
}

void Compiler::hostClassMember(const QString& cls, const QString& member) {
  Symbol* cs = find(cls.toLower());
  if (!cs || cs->k != Symbol::TypeName || cs->type->kind != Kind::Class)
    throw CompileError{0, 0, QString(), QStringLiteral("Unknown class '%1'").arg(cls)};
  Type* t = cs->type;
  std::unique_ptr<Lexer> saved = std::move(lex_);
  lex_ = std::make_unique<Lexer>(member, Lexer::Options{});
  struct Back {
    Compiler& c;
    std::unique_ptr<Lexer>& saved;
    ~Back() { c.lex_ = std::move(saved); }
  } back{*this, saved};
  advance();
  ClassMember m;
  if (acceptKw("property")) {
    const Token n = ident();
    expectSym(":");
    m.name = n.text;
    m.propType = parseTypeName();
    if (acceptKw("read")) {
      m.readOnly = !tok_.isKw("write");
      if (tok_.kind == Tok::Ident && !tok_.isKw("write")) advance();
    }
    if (acceptKw("write")) {
      m.readOnly = false;
      if (tok_.kind == Tok::Ident) advance();
    }
    acceptSym(";");
  } else {
    const bool ctor = acceptKw("constructor");
    bool fn = false;
    if (!ctor) {
      if (acceptKw("function"))
        fn = true;
      else
        expectKw("procedure");
    }
    Token nameTok;
    Routine* r = parseHeading(fn, nameTok, true);
    r->level = 0;
    r->defined = true;
    r->ownerClass = t;
    r->isConstructor = ctor;
    if (ctor)
      r->result = t;
    else {
      Param self;
      self.name = QStringLiteral("Self");
      self.type = t;
      r->params.insert(r->params.begin(), self);
    }
    const QString what = t->name + u'.' + nameTok.text;
    r->native = [what, ctor](Ctx& c, Value* args, Value&) {
      if (!ctor && !args[0].a) nilObject(c, what);
      runtimeError(c, QStringLiteral("'%1' is not available at run time").arg(what));
    };
    m.name = nameTok.text;
    m.routine = r;
  }
  if (tok_.kind != Tok::Eof) expected("end of member declaration");
  for (const ClassMember& o : t->members)
    if (o.name.toLower() == m.name.toLower())
      throw CompileError{0, 0, QString(), QStringLiteral("Duplicate member '%1' of %2").arg(m.name, t->name)};
  t->members.push_back(m);
}

template <class F>
bool HostContext::run(const QString& what, F f) {
  try {
    f();
    error_.clear();
    return true;
  } catch (const CompileError& e) {
    error_ = QStringLiteral("Host declaration \"%1\": %2").arg(what, e.text);
    c_.addHostMessage(error_);
    return false;
  }
}

bool HostContext::declareRoutine(const QString& declaration, HostRoutine routine) {
  auto fn = std::make_shared<HostRoutine>(std::move(routine));
  return run(declaration, [&] {
    // The routine's description is needed to convert arguments: bind it after parsing.
    Routine* r = c_.hostRoutine(declaration, NativeFn());
    r->native = [fn, r](Ctx& c, Value* args, Value& result) {
      HostCallImpl call(c, *r, args, result);
      try {
        (*fn)(call);
      } catch (const ScriptThrow&) {
        throw;
      } catch (const HostError& e) {
        runtimeError(c, e.message());
      } catch (const std::bad_alloc&) {
        throw;
      } catch (const std::exception& e) {
        runtimeError(c, QString::fromUtf8(e.what()));
      } catch (...) {
        // Anything else would unwind through execute() and leave the caller's state behind.
        runtimeError(c, QStringLiteral("Host routine failed"));
      }
    };
  });
}

bool HostContext::declareConstant(const QString& name, const QString& typeName, const QVariant& value) {
  return run(name, [&] { c_.hostConstant(name, typeName, value); });
}

bool HostContext::declareType(const QString& name, const QString& definition) {
  return run(name, [&] { c_.hostType(name, definition); });
}

bool HostContext::declareClass(const QString& name, const QString& parentName) {
  return run(name, [&] { c_.hostClass(name, parentName); });
}

bool HostContext::declareClassMember(const QString& className, const QString& member) {
  return run(className + u'.' + member, [&] { c_.hostClassMember(className, member); });
}

// ---------------------------------------------------------------------------------------------------------------

std::unique_ptr<Program> Compiler::run(const QString& text) {
  try {
    setupSystem();
    if (opts_.hook) {
      HostContext ctx(*this);
      opts_.hook(ctx);
    }
    if (hostFailed_) return nullptr;
    scopes_.push_back(Scope{{}, 0});
    Lexer::Options lo;
    lo.preprocessor = opts_.preprocessor;
    lo.defines = opts_.defines;
    lo.includeResolver = opts_.includeResolver;
    lex_ = std::make_unique<Lexer>(text, lo);
    advance();
    if (acceptKw("program")) {
      ident();
      expectSym(";");
    }
    if (acceptKw("uses")) {
      do ident();
      while (acceptSym(","));
      expectSym(";");
    }
    parseDeclarations();
    for (auto it = scopes_.back().syms.cbegin(); it != scopes_.back().syms.cend(); ++it)
      if (it->k == Symbol::Proc && it->routine->forward && !it->routine->defined)
        error(it->declLine, 1, QStringLiteral("Unsatisfied forward declaration '%1'").arg(it->routine->name));
    if (!tok_.isKw("begin")) expected("'BEGIN'");
    prog_->main = parseCompound();
    if (!tok_.isSym(".")) expected("'.'");
    return std::move(prog_);
  } catch (const CompileError& e) {
    messages_.append(CompilerMessage{MessageKind::Error, e.line, e.column, e.text, e.fileName});
    return nullptr;
  } catch (const std::bad_alloc&) {
    messages_.append(CompilerMessage{MessageKind::Error, tok_.line, tok_.column,
                                     QStringLiteral("Out of memory"), QString()});
    return nullptr;
  }
}

}  // namespace

void runtimeError(Ctx& c, const QString& message) { throw ScriptThrow{message, c.line, c.column, false}; }

void stepLimitReached(Ctx& c) {
  c.ticks = -1;  // every later tick, in a finally part too, stops again
  throw ScriptThrow{QStringLiteral("Step limit reached"), c.line, c.column, true};
}

std::unique_ptr<Program> compileProgram(const QString& text, const CompileOptions& options,
                                        QList<CompilerMessage>& messages) {
  Compiler c(options, messages);
  return c.run(text);
}

}  // namespace vistrel::script
