#pragma once
// The program's own routines, constants and types that scripts see, and the file-name and folder
// helpers behind them.
//
// File names follow Linux: "/" is the only separator (there are no drive letters, and ":" is an
// ordinary character of a name). User-interface thread only.

#include <QDirIterator>
#include <QString>
#include <memory>

#include "script/ScriptEngine.h"

namespace vistrel::actions {

// The part after the last "/" (the whole text when there is none).
QString extractFileName(const QString& fichier);
// The part up to and including the last "/" (empty when there is none).
QString extractFilePath(const QString& fichier);
// From the last "." of the name part to the end, dot included; empty when the name has no dot, so
// that a dot in a folder name is no extension.
QString extractFileExt(const QString& fichier);
// fichier with its extension replaced by ext, or ext appended when it has none.
QString changeFileExt(const QString& fichier, const QString& ext);

// Windows-style file masks: "*" any run, "?" one character, letters compared without case, and
// "*.*" every name (with or without a dot).
bool matchesFileMask(const QString& name, const QString& mask);

// The one file search a script may have open: findfirst starts it, findnext continues it,
// findclose ends it. Entries of every kind are listed (files, folders, hidden ones, links, device
// nodes), except "." and "..", which would send a folder walk round in circles.
class TOBFileSearch {
 public:
  // Remembers dossier with a trailing "/" and starts listing dossier + masque (masque may name a
  // subfolder before its pattern). Returns folder + name of the first entry, or an empty text,
  // in which case no search stays open.
  QString findFirst(const QString& dossier, const QString& masque);
  // Folder + name of the next entry of the open search; an empty text at its end or when none is
  // open. The end does not close the search.
  QString findNext();
  void findClose();
  bool isOpen() const { return it_ != nullptr; }
  const QString& folder() const { return folder_; }

 private:
  QString folder_;
  QString pattern_;
  std::unique_ptr<QDirIterator> it_;
};

// Declares to the compiler, in this order, the program's routines (bound to `search` for the
// folder listing), its constants, its types, then the engine's standard graphics declarations.
// False at the first declaration that fails (the compiler messages then say why).
bool declareProgramRoutines(script::CompileContext& c, TOBFileSearch& search);

}  // namespace vistrel::actions
