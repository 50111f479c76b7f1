// Default values, deep copies and conversions between script values and QVariant.
#include <QVariantList>

#include <cmath>

#include "script/Compiler.h"

namespace vistrel::script {

Value defaultValue(const Type* t) {
  Value v;
  if (t->kind == Kind::Record) {
    v.a = std::make_shared<Agg>();
    v.a->v.reserve(t->fields.size());
    for (const Field& f : t->fields) v.a->v.push_back(defaultValue(f.type));
  } else if (t->kind == Kind::Array) {
    v.a = std::make_shared<Agg>();
    const int64_t n = t->length();
    if (t->elem->needsAgg()) {
      v.a->v.reserve(size_t(n));
      for (int64_t k = 0; k < n; ++k) v.a->v.push_back(defaultValue(t->elem));
    } else {
      v.a->v.resize(size_t(n));
    }
  }
  return v;
}

Value copyValue(const Type* t, const Value& v) {
  if (!t->needsAgg() || !v.a) return v;
  Value r;
  r.a = std::make_shared<Agg>();
  const size_t n = v.a->v.size();
  r.a->v.reserve(n);
  for (size_t k = 0; k < n; ++k) {
    const Type* et = t->kind == Kind::Record ? t->fields[k].type : t->elem;
    r.a->v.push_back(copyValue(et, v.a->v[k]));
  }
  return r;
}

QVariant toVariant(const Type* t, const Value& v) {
  switch (t->kind) {
    case Kind::Integer:
    case Kind::Enum:
    case Kind::Char: return QVariant(qint64(v.i));
    case Kind::Boolean: return QVariant(v.i != 0);
    case Kind::Real: return QVariant(v.f);
    case Kind::String:
    case Kind::Exception: return QVariant(v.s);
    case Kind::Set: {
      QVariantList l;
      if (v.a)
        for (int k = 0; k < 256; ++k)
          if (v.a->bits[size_t(k)]) l.append(qint64(k));
      return l;
    }
    case Kind::Array:
    case Kind::DynArray:
    case Kind::Record: {
      QVariantList l;
      if (v.a)
        for (size_t k = 0; k < v.a->v.size(); ++k)
          l.append(toVariant(t->kind == Kind::Record ? t->fields[k].type : t->elem, v.a->v[k]));
      return l;
    }
    case Kind::Class:
      return v.a ? QVariant(qint64(reinterpret_cast<quintptr>(v.a.get()))) : QVariant(qint64(0));
    case Kind::Proc:  // the name of the routine, empty for nil
      return v.i ? QVariant(reinterpret_cast<const Routine*>(intptr_t(v.i))->name) : QVariant(QString());
    default: return QVariant();
  }
}

bool fromVariant(const Type* t, const QVariant& q, Value& out) {
  bool ok = true;
  switch (t->kind) {
    case Kind::Integer:
    case Kind::Enum:
    case Kind::Char:
      if (t->kind == Kind::Char && q.typeId() == QMetaType::QString) {
        const QString s = q.toString();
        if (s.size() != 1) return false;
        out.i = s[0].unicode();
        return true;
      }
      out.i = q.toLongLong(&ok);
      return ok;
    case Kind::Boolean:
      if (q.typeId() == QMetaType::Bool) {
        out.i = q.toBool() ? 1 : 0;
        return true;
      }
      out.i = q.toLongLong(&ok) != 0;
      return ok;
    case Kind::Real: out.f = q.toDouble(&ok); return ok;
    case Kind::String:
    case Kind::Exception:
      if (!q.canConvert<QString>()) return false;
      out.s = q.toString();
      return true;
    case Kind::Set: {
      out.a = std::make_shared<Agg>();
      for (const QVariant& e : q.toList()) {
        const qint64 k = e.toLongLong(&ok);
        if (!ok || k < 0 || k > 255) return false;
        out.a->bits.set(size_t(k));
      }
      return true;
    }
    case Kind::Array:
    case Kind::DynArray:
    case Kind::Record: {
      const QVariantList l = q.toList();
      Value v = t->kind == Kind::DynArray ? Value() : defaultValue(t);
      if (t->kind == Kind::DynArray) {
        v.a = std::make_shared<Agg>();
        v.a->v.resize(size_t(l.size()));
        for (qsizetype k = 0; k < l.size(); ++k)
          if (t->elem->needsAgg()) v.a->v[size_t(k)] = defaultValue(t->elem);
      }
      if (size_t(l.size()) != v.a->v.size()) return false;
      for (qsizetype k = 0; k < l.size(); ++k) {
        const Type* et = t->kind == Kind::Record ? t->fields[size_t(k)].type : t->elem;
        if (!fromVariant(et, l[k], v.a->v[size_t(k)])) return false;
      }
      out = std::move(v);
      return true;
    }
    default: return false;
  }
}

}  // namespace vistrel::script
