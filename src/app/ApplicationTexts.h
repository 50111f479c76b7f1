#pragma once
// The product's texts as the main window's code names them; they are defined once, with the
// application manager's texts.

#include "actions/AppTexts.h"

namespace vistrel::app {

using actions::AppLanguage;
using actions::AppSignature;
using actions::AppTitle;
using actions::AppVersion;
using actions::kMakerName;
using actions::kProductName;
// The parameter list's signature and the preferences' version text.
inline const QString kSignature = actions::AppSignature();

}  // namespace vistrel::app
