#pragma once
// The product's names and version, as the windows, settings and messages quote them.

#include <QString>

namespace vistrel::app {

inline const QString kProductName = QStringLiteral("Vistrel");
inline const QString kVersionText = QStringLiteral("6.2.0");
inline const QString kLanguageCode = QStringLiteral("fr");
inline const QString kMakerName = QStringLiteral("Orbano");
// The title of the application: product, version and language.
inline const QString kApplicationTitle =
    kProductName + QLatin1Char(' ') + kVersionText + QLatin1Char(' ') + kLanguageCode;
// "Vistrel 6.2.0 fr de Orbano": the parameter list's signature and the preferences' version text.
inline const QString kSignature = kApplicationTitle + QStringLiteral(" de ") + kMakerName;

}  // namespace vistrel::app
