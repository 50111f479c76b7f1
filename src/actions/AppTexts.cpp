#include "actions/AppTexts.h"

#include <QDate>

namespace vistrel::actions {

QString AppVersion() {
  return QStringLiteral("%1.%2.%3").arg(kVersionMajor).arg(kVersionMinor).arg(kVersionRelease);
}

QString AppLanguage() { return QStringLiteral("fr"); }

QString AppTitle() { return kProductName + u' ' + AppVersion() + u' ' + AppLanguage(); }

QString AppUpdateDate() { return QDate(2023, 10, 21).toString(QStringLiteral("dd/MM/yyyy")); }

QString AppSignature() { return QStringLiteral("%1 de %2").arg(AppTitle(), kMakerName); }

}  // namespace vistrel::actions
