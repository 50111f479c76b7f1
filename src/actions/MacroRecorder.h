#pragma once
// The macro recorder shared by every abstract action of the process: while MacroLines points to a
// list, actions applied through their script routines append their script lines to it; while
// MacroNesting is set, actions applied from inside another action's handlers record nothing.
// User-interface thread only, unguarded.

#include <QString>
#include <QStringList>

namespace vistrel::actions {

inline QStringList* MacroLines = nullptr;
inline bool MacroNesting = false;

// Recording starts by pointing MacroLines at the lines that receive the macro (not owned: they
// must outlive the recording) and stops by clearing it.
inline void StartMacro(QStringList& lines) { MacroLines = &lines; }
inline void StopMacro() { MacroLines = nullptr; }
inline bool MacroRecording() { return MacroLines != nullptr; }

// One action being applied. When a macro is recorded and no other action is being applied, the
// constructor appends `line` (unless empty) and MacroNesting stays set until the step ends, also
// when a handler throws. With `takesPart` false the step neither records nor nests.
class TMacroStep {
 public:
  explicit TMacroStep(const QString& line, bool takesPart = true) {
    if (!takesPart || !MacroLines || MacroNesting) return;
    if (!line.isEmpty()) MacroLines->append(line);
    MacroNesting = true;
    nests_ = true;
  }
  ~TMacroStep() {
    if (nests_) MacroNesting = false;
  }
  TMacroStep(const TMacroStep&) = delete;
  TMacroStep& operator=(const TMacroStep&) = delete;

 private:
  bool nests_ = false;
};

}  // namespace vistrel::actions
