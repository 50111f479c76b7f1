// The standard graphics declarations a host can give its scripts: colour constants, the font, pen
// and brush enumerations and the graphics classes. Only their compile-time declarations: calling
// a member of these classes at run time stops the script with an error.
#pragma once

#include "script/ScriptEngine.h"

namespace vistrel::script {

// Declares everything into c; false (with c.lastError()) at the first declaration that fails.
bool declareGraphics(CompileContext& c);

}  // namespace vistrel::script
