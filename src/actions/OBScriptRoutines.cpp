#include "actions/OBScriptRoutines.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QThread>
#include <vector>

#include "platform/shell/Trash.h"
#include "platform/ui/MessageBoxes.h"
#include "script/GraphicsDeclarations.h"

namespace vistrel::actions {

using script::CompileContext;
using script::HostCall;
using script::HostError;

namespace {

qsizetype nameStart(const QString& fichier) { return fichier.lastIndexOf(u'/') + 1; }

// Index of the extension's dot, or -1 when the name part has none.
qsizetype extensionDot(const QString& fichier) {
  const qsizetype dot = fichier.lastIndexOf(u'.');
  return dot >= nameStart(fichier) ? dot : -1;
}

}  // namespace

QString extractFileName(const QString& fichier) { return fichier.mid(nameStart(fichier)); }

QString extractFilePath(const QString& fichier) { return fichier.left(nameStart(fichier)); }

QString extractFileExt(const QString& fichier) {
  const qsizetype dot = extensionDot(fichier);
  return dot < 0 ? QString() : fichier.mid(dot);
}

QString changeFileExt(const QString& fichier, const QString& ext) {
  const qsizetype dot = extensionDot(fichier);
  return (dot < 0 ? fichier : fichier.left(dot)) + ext;
}

bool matchesFileMask(const QString& name, const QString& mask) {
  if (mask == u"*" || mask == u"*.*") return true;
  // Greedy matching with one back-up point: the last "*" seen and where its run ends.
  qsizetype n = 0, m = 0, starMask = -1, starName = 0;
  while (n < name.size()) {
    if (m < mask.size() && mask.at(m) == u'*') {
      starMask = m++;
      starName = n;
    } else if (m < mask.size() &&
               (mask.at(m) == u'?' || mask.at(m).toCaseFolded() == name.at(n).toCaseFolded())) {
      ++m;
      ++n;
    } else if (starMask >= 0) {
      m = starMask + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask.at(m) == u'*') ++m;
  return m == mask.size();
}

QString TOBFileSearch::findFirst(const QString& dossier, const QString& masque) {
  findClose();
  folder_ = dossier.endsWith(u'/') ? dossier : dossier + u'/';
  const qsizetype slash = masque.lastIndexOf(u'/');
  pattern_ = masque.mid(slash + 1);
  const QString listed = folder_ + masque.left(slash + 1);
  it_ = std::make_unique<QDirIterator>(listed,
                                       QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
  const QString first = findNext();
  if (first.isEmpty()) findClose();
  return first;
}

QString TOBFileSearch::findNext() {
  if (!it_) return {};
  while (it_->hasNext()) {
    it_->next();
    const QString name = it_->fileName();
    if (matchesFileMask(name, pattern_)) return folder_ + name;
  }
  return {};
}

void TOBFileSearch::findClose() { it_.reset(); }

namespace {

void forceDirectories(const QString& dir) {
  // Failure is an error too: a script that goes on would write into a folder that is not there.
  if (dir.isEmpty() || !QDir().mkpath(dir)) throw HostError(QStringLiteral("Unable to create directory"));
}

bool deleteToRecycleBin(const QString& fichier) {
  // The trash is a rename within the file system: the file's permissions need no clearing, and
  // keeping them lets it be restored as it was.
  if (fichier.isEmpty()) return false;
  return platform::shell::moveToTrash(fichier);
}

void renameFile(const QString& oldfile, const QString& newname) {
  // Never replaces an existing file (a plain rename(2) would destroy it); moves across file
  // systems by copying. A failure is not reported to the script.
  if (oldfile.isEmpty() || newname.isEmpty() || oldfile == newname) return;
  QFile::rename(oldfile, newname);
}

}  // namespace

bool declareProgramRoutines(CompileContext& c, TOBFileSearch& search) {
  bool ok = true;
  auto routine = [&](const char* declaration, script::HostRoutine body) {
    if (ok) ok = c.declareRoutine(QLatin1String(declaration), std::move(body));
  };

  routine("function findfirst(dossier:widestring;masque:widestring):widestring;",
          [&search](HostCall& h) { h.setResult(search.findFirst(h.string(0), h.string(1))); });
  routine("function findnext:widestring;", [&search](HostCall& h) { h.setResult(search.findNext()); });
  routine("procedure findclose;", [&search](HostCall&) { search.findClose(); });
  routine("procedure showmessage(z:string);", [](HostCall& h) {
    platform::ui::showMessage(platform::ui::MessageKind::Information, h.string(0), platform::ui::Buttons::Ok);
  });
  routine("procedure sleep(milli:Cardinal);",
          [](HostCall& h) { QThread::msleep(static_cast<unsigned long>(quint32(h.integer(0)))); });
  routine("procedure processmessages;", [](HostCall&) { QCoreApplication::processEvents(); });
  routine("procedure forcedirectories(dir:widestring);", [](HostCall& h) { forceDirectories(h.string(0)); });
  routine("function changefileext(fichier:widestring;ext:widestring):widestring;",
          [](HostCall& h) { h.setResult(changeFileExt(h.string(0), h.string(1))); });
  routine("function deletefiletorecyclebin(fichier:widestring):Boolean;",
          [](HostCall& h) { h.setResult(deleteToRecycleBin(h.string(0))); });
  routine("procedure renamefile(oldfile,newname:widestring);",
          [](HostCall& h) { renameFile(h.string(0), h.string(1)); });
  routine("function extractfilename(fichier:widestring):widestring;",
          [](HostCall& h) { h.setResult(extractFileName(h.string(0))); });
  routine("function extractfilepath(fichier:widestring):widestring;",
          [](HostCall& h) { h.setResult(extractFilePath(h.string(0))); });
  routine("function extractfileext(fichier:widestring):widestring;",
          [](HostCall& h) { h.setResult(extractFileExt(h.string(0))); });

  const std::tuple<const char*, const char*, qint64> constants[] = {
      {"clMoneyGreen", "Integer", 12639424}, {"clSkyBlue", "Integer", 15780518},
      {"clCream", "Integer", 15793151},      {"SecsPerDay", "Longint", 86400},
      {"MSecPerDay", "Longint", 86400000},
  };
  for (const auto& [name, type, value] : constants)
    if (ok) ok = c.declareConstant(QLatin1String(name), QLatin1String(type), value);

  const std::pair<const char*, const char*> types[] = {
      {"TAlignment", "(taLeftJustify, taRightJustify, taCenter)"},
      {"HResult", "LongInt"},
      {"TGUID", "record D1: LongWord; D2: Word; D3: Word; D4: array[0..7] of Byte; end;"},
      {"TCLSID", "TGUID"},
      {"TIID", "TGUID"},
      {"TPoint", "record x,y: Longint; end;"},
      {"TScrollBarKind", "(sbHorizontal, sbVertical)"},
      {"TScrollBarInc", "SmallInt"},
      {"TFormBorderStyle", "(bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin)"},
      {"TBorderStyle", "TFormBorderStyle"},
      {"TWindowState", "(wsNormal, wsMinimized, wsMaximized)"},
      {"TFormStyle", "(fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop)"},
      {"TPosition",
       "(poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter, "
       "poMainFormCenter, poOwnerFormCenter)"},
      {"TPrintScale", "(poNone, poProportional, poPrintToFit)"},
      {"TCloseAction", "(caNone, caHide, caFree, caMinimize)"},
      {"TBorderIcon", "(biSystemMenu, biMinimize, biMaximize, biHelp)"},
      {"TBorderIcons", "set of TBorderIcon"},
      {"THELPCONTEXT", "Longint"},
      {"TRect", "record Left, Top, Right, Bottom: Integer; end;"},
      {"TEditCharCase", "(ecNormal, ecUpperCase, ecLowerCase)"},
      {"TScrollStyle", "(ssNone, ssHorizontal, ssVertical, ssBoth)"},
      {"TComboBoxStyle", "(csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable)"},
      {"TCheckBoxState", "(cbUnchecked, cbChecked, cbGrayed)"},
      {"TListBoxStyle", "(lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable)"},
      {"TScrollCode",
       "(scLineUp, scLineDown, scPageUp, scPageDown, scPosition, scTrack, scTop, scBottom, scEndScroll)"},
      {"TEOwnerDrawState",
       "(odSelected, odGrayed, odDisabled, odChecked, odFocused, odDefault, odHotLight, odInactive, "
       "odNoAccel, odNoFocusRect, odReserved1, odReserved2, odComboBoxEdit)"},
      {"TTextLayout", "( tlTop, tlCenter, tlBottom )"},
      {"TOwnerDrawState", "set of TEOwnerDrawState"},
      {"TSHORTCUT", "WORD"},
      {"TSavePreferences", "(spRegistre,spPortable,spNone)"},
  };
  for (const auto& [name, definition] : types)
    if (ok) ok = c.declareType(QLatin1String(name), QLatin1String(definition));

  return ok && script::declareGraphics(c);
}

}  // namespace vistrel::actions
