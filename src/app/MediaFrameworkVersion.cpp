#include "app/MediaFrameworkVersion.h"

#include "app/ApplicationTexts.h"
#include "platform/registry/Registry.h"

namespace vistrel::app {
namespace {

// The digits before the next "." (or the end); nullopt when there are none or they are no number.
std::optional<int> numberBeforeDot(const QString& text) {
  const qsizetype dot = text.indexOf(QLatin1Char('.'));
  bool ok = false;
  const int n = (dot < 0 ? text : text.left(dot)).toInt(&ok);
  return ok ? std::optional<int>(n) : std::nullopt;
}

QString afterDot(const QString& text) {
  const qsizetype dot = text.indexOf(QLatin1Char('.'));
  return dot < 0 ? QString() : text.mid(dot + 1);
}

}  // namespace

MediaFrameworkVersion parseMediaFrameworkVersion(const QString& value) {
  const QString rest = afterDot(value);
  const auto major = numberBeforeDot(rest);
  const auto minor = numberBeforeDot(afterDot(rest));
  // A value that does not parse is shown as it is, so that the warning says what was found;
  // "Erreur" stands only for a value that is missing (or empty).
  if (!major || !minor) return {value.isEmpty() ? QStringLiteral("Erreur") : value, 0};
  // The letter is the last character moved up by 48 ("4" gives "d"), shown as "c" for "d" and as
  // a space below "a".
  ushort letter = static_cast<ushort>(value.at(value.size() - 1).unicode() + 48);
  if (letter < u'a') letter = u' ';
  if (letter == u'd') letter = u'c';
  return {QString::number(*major) + QLatin1Char('.') + QString::number(*minor) + QChar(letter), *major};
}

MediaFrameworkVersion readMediaFrameworkVersion() {
  using namespace platform::registry;
  const auto value =
      queryValue(Hive::LocalMachine, QStringLiteral("\\Software\\Microsoft\\DirectX"), "version");
  if (!value || (value->type != REG_SZ && value->type != REG_EXPAND_SZ)) return {QStringLiteral("Erreur"), 0};
  return parseMediaFrameworkVersion(decodeString(value->data));
}

QString mediaFrameworkWarning(const MediaFrameworkVersion& version) {
  return QStringLiteral("Vous avez DirectX ") + version.display + QStringLiteral(".") +
         QStringLiteral("\r\n") +
         QStringLiteral("Il faut avoir au moins directX 9 pour faire tourner correctement %1 version %2 %3.")
             .arg(kProductName, AppVersion(), AppLanguage()) +
         QStringLiteral("\r\n") +
         QStringLiteral(
             "Voulez-vous continuer quand même? Si oui, l'application risque de ne pas bien fonctionner.");
}

}  // namespace vistrel::app
