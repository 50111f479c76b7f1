#include "actions/ShortCuts.h"

#include <array>
#include <utility>

namespace vistrel::actions {
namespace {

struct NamedKey {
  Qt::Key key;
  const char16_t* name;
};

const std::array<NamedKey, 12> kNamedKeys = {{
    {Qt::Key_Return, u"Entrée"},
    {Qt::Key_Escape, u"Echap"},
    {Qt::Key_Space, u"Barre d'Espace"},
    {Qt::Key_End, u"Fin"},
    {Qt::Key_Insert, u"Inser"},
    {Qt::Key_Delete, u"Suppr"},
    {Qt::Key_Backspace, u"BkSp"},
    {Qt::Key_Home, u"Home"},
    {Qt::Key_Left, u"Left"},
    {Qt::Key_Up, u"Up"},
    {Qt::Key_Right, u"Right"},
    {Qt::Key_Down, u"Down"},
}};

constexpr int kLastFunctionKey = 24;

bool isKeypadKey(Qt::Key key) {
  return (key >= Qt::Key_0 && key <= Qt::Key_9) || key == Qt::Key_Plus || key == Qt::Key_Minus ||
         key == Qt::Key_Asterisk || key == Qt::Key_Slash || key == Qt::Key_Period || key == Qt::Key_Comma;
}

QString keyName(Qt::Key key) {
  for (const NamedKey& named : kNamedKeys)
    if (named.key == key) return QString::fromUtf16(named.name);
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return QString(QChar(u'A' + (key - Qt::Key_A)));
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return QString(QChar(u'0' + (key - Qt::Key_0)));
  if (key >= Qt::Key_F1 && key < Qt::Key_F1 + kLastFunctionKey)
    return QStringLiteral("F%1").arg(int(key - Qt::Key_F1) + 1);
  return {};
}

Qt::Key keyFromName(const QString& name) {
  for (const NamedKey& named : kNamedKeys)
    if (name.compare(QString::fromUtf16(named.name), Qt::CaseInsensitive) == 0) return named.key;
  if (name.size() == 1) {
    const QChar c = name.at(0).toUpper();
    if (c >= u'A' && c <= u'Z') return Qt::Key(Qt::Key_A + (c.unicode() - u'A'));
    if (c >= u'0' && c <= u'9') return Qt::Key(Qt::Key_0 + (c.unicode() - u'0'));
  }
  if (name.size() >= 2 && name.size() <= 3 && (name.at(0) == u'F' || name.at(0) == u'f')) {
    bool ok = false;
    const int n = name.mid(1).toInt(&ok);
    if (ok && n >= 1 && n <= kLastFunctionKey && !name.mid(1).startsWith(u'0'))
      return Qt::Key(Qt::Key_F1 + n - 1);
  }
  return Qt::Key(0);
}

const std::array<std::pair<Qt::KeyboardModifier, const char16_t*>, 3> kModifiers = {{
    {Qt::ShiftModifier, u"Shift+"},
    {Qt::ControlModifier, u"Ctrl+"},
    {Qt::AltModifier, u"Alt+"},
}};

}  // namespace

QKeyCombination normalizeKey(QKeyCombination key) {
  Qt::Key k = key.key();
  Qt::KeyboardModifiers mods = key.keyboardModifiers();
  if (k == Qt::Key_Enter) k = Qt::Key_Return;
  Qt::KeyboardModifiers kept =
      mods & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
  if ((mods & Qt::KeypadModifier) && isKeypadKey(k)) kept |= Qt::KeypadModifier;
  return QKeyCombination(kept, k);
}

QString ShortCutToText(QKeyCombination key) {
  if (isNoKey(key)) return {};
  key = normalizeKey(key);
  if (key.keyboardModifiers() & (Qt::KeypadModifier | Qt::MetaModifier)) return {};
  const QString name = keyName(key.key());
  if (name.isEmpty()) return {};
  QString text;
  for (const auto& [modifier, prefix] : kModifiers)
    if (key.keyboardModifiers() & modifier) text += QString::fromUtf16(prefix);
  return text + name;
}

QKeyCombination TextToShortCut(const QString& text) {
  QString rest = text;
  Qt::KeyboardModifiers mods;
  for (bool found = true; found;) {
    found = false;
    for (const auto& [modifier, prefix] : kModifiers) {
      const QString p = QString::fromUtf16(prefix);
      if (rest.size() > p.size() && rest.startsWith(p, Qt::CaseInsensitive)) {
        mods |= modifier;
        rest = rest.mid(p.size());
        found = true;
      }
    }
  }
  const Qt::Key key = keyFromName(rest);
  if (key == Qt::Key(0)) return kNoKey;
  return QKeyCombination(mods, key);
}

}  // namespace vistrel::actions
