#pragma once
// The program's names, title and version texts, shown in window captions, the settings'
// signature, the start-up warning and the e-mail link's subject. Defined here once.

#include <QString>

namespace vistrel::actions {

inline constexpr int kVersionMajor = 6;
inline constexpr int kVersionMinor = 2;
inline constexpr int kVersionRelease = 0;

inline const QString kProductName = QStringLiteral("Vistrel");
inline const QString kMakerName = QStringLiteral("Orbano");

QString AppVersion();     // "6.2.0"
QString AppLanguage();    // "fr"
QString AppTitle();       // "Vistrel 6.2.0 fr"
QString AppUpdateDate();  // "21/10/2023"
// "Vistrel 6.2.0 fr de Orbano": the parameter list's signature and the preferences' version text.
QString AppSignature();

}  // namespace vistrel::actions
