#pragma once
// The program's title and version texts, shown in window captions, the settings' signature and
// the e-mail link's subject.

#include <QString>

namespace vistrel::actions {

inline constexpr int kVersionMajor = 6;
inline constexpr int kVersionMinor = 2;
inline constexpr int kVersionRelease = 0;

QString AppVersion();     // "6.2.0"
QString AppLanguage();    // "fr"
QString AppTitle();       // "Vistrel 6.2.0 fr"
QString AppUpdateDate();  // "21/10/2023"

}  // namespace vistrel::actions
