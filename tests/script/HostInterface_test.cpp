// What the program declares to the engine: its routines, constants and types by their declaration
// texts, bound to host callables that must receive the script's arguments.
#include <gtest/gtest.h>

#include <QVariantList>

#include "script/GraphicsDeclarations.h"
#include "script/ScriptTestSupport.h"

using namespace vistrel::script;
using namespace vistrel::script::testing;

namespace {

const char* const kProgramRoutines[] = {
    "function findfirst(dossier:widestring;masque:widestring):widestring;",
    "function findnext:widestring;",
    "procedure findclose;",
    "procedure showmessage(z:string);",
    "procedure sleep(milli:Cardinal);",
    "procedure processmessages;",
    "procedure forcedirectories(dir:widestring);",
    "function changefileext(fichier:widestring;ext:widestring):widestring;",
    "function deletefiletorecyclebin(fichier:widestring):Boolean;",
    "procedure renamefile(oldfile,newname:widestring);",
    "function extractfilename(fichier:widestring):widestring;",
    "function extractfilepath(fichier:widestring):widestring;",
    "function extractfileext(fichier:widestring):widestring;",
};

const std::pair<const char*, const char*> kProgramTypes[] = {
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
     "poMainFormCenter, "
     "poOwnerFormCenter)"},
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
     "(odSelected, odGrayed, odDisabled, odChecked, odFocused, odDefault, odHotLight, odInactive, odNoAccel, "
     "odNoFocusRect, odReserved1, odReserved2, odComboBoxEdit)"},
    {"TTextLayout", "( tlTop, tlCenter, tlBottom )"},
    {"TOwnerDrawState", "set of TEOwnerDrawState"},
    {"TSHORTCUT", "WORD"},
    {"TSavePreferences", "(spRegistre,spPortable,spNone)"},
};

// Declares everything the program's script component declares, each routine recording its call.
struct ProgramHost {
  QStringList calls;
  bool allDeclared = true;
  QStringList failures;

  void declare(CompileContext& c) {
    for (const char* decl : kProgramRoutines) {
      const QString d = QString::fromLatin1(decl);
      const QString name = d.section(u' ', 1).section(u'(', 0, 0).section(u':', 0, 0).section(u';', 0, 0);
      const bool ok = c.declareRoutine(d, [this, name](HostCall& h) {
        QStringList args;
        for (int k = 0; k < h.argumentCount(); ++k) args << h.value(k).toString();
        calls << name + u'(' + args.join(u',') + u')';
        if (name == QLatin1String("findfirst")) h.setResult(h.string(0) + QStringLiteral("/first"));
        if (name == QLatin1String("changefileext")) h.setResult(QStringLiteral("changed"));
        if (name == QLatin1String("deletefiletorecyclebin")) h.setResult(true);
      });
      if (!ok) {
        allDeclared = false;
        failures << c.lastError();
      }
    }
    const std::tuple<const char*, const char*, qint64> constants[] = {{"clMoneyGreen", "Integer", 12639424},
                                                                      {"clSkyBlue", "Integer", 15780518},
                                                                      {"clCream", "Integer", 15793151},
                                                                      {"SecsPerDay", "Longint", 86400},
                                                                      {"MSecPerDay", "Longint", 86400000}};
    for (const auto& [name, type, value] : constants)
      if (!c.declareConstant(QLatin1String(name), QLatin1String(type), value)) {
        allDeclared = false;
        failures << c.lastError();
      }
    for (const auto& [name, def] : kProgramTypes)
      if (!c.declareType(QLatin1String(name), QLatin1String(def))) {
        allDeclared = false;
        failures << c.lastError();
      }
    if (!declareGraphics(c)) {
      allDeclared = false;
      failures << c.lastError();
    }
  }
};

TEST(HostInterfaceTest, EveryProgramDeclarationParses) {
  ProgramHost host;
  ScriptEngine e;
  e.setCompileHook([&](CompileContext& c) { host.declare(c); });
  e.setScript(QStringLiteral("begin end."));
  EXPECT_TRUE(e.compile());
  EXPECT_TRUE(host.allDeclared) << host.failures.join(u'\n').toStdString();
  EXPECT_TRUE(e.messages().isEmpty());
}

TEST(HostInterfaceTest, ProgramRoutinesReceiveTheirArguments) {
  ProgramHost host;
  ScriptEngine e;
  e.setCompileHook([&](CompileContext& c) { host.declare(c); });
  e.setScript(
      QStringLiteral("var f, g: widestring; ok: Boolean;\n"
                     "begin\n"
                     "  f := findfirst('/tmp/dir', '*.txt');\n"
                     "  while f <> '' do f := findnext;\n"
                     "  findclose;\n"
                     "  showmessage('bonjour ' + IntToStr(SecsPerDay));\n"
                     "  sleep(15);\n"
                     "  processmessages;\n"
                     "  forcedirectories('/tmp/a/b');\n"
                     "  g := changefileext('/a.b/c', '.txt');\n"
                     "  ok := deletefiletorecyclebin(g);\n"
                     "  renamefile('old', 'new');\n"
                     "  if ok then showmessage(extractfilename('/x/y.z') + extractfilepath('/x/y.z') + "
                     "extractfileext('/x/y.z'));\n"
                     "end."));
  ASSERT_TRUE(e.compile()) << e.messages().value(0).toString().toStdString();
  ASSERT_TRUE(e.execute()) << e.runtimeErrorMessage().toStdString();
  const QStringList expected = {
      QStringLiteral("findfirst(/tmp/dir,*.txt)"),
      QStringLiteral("findnext()"),
      QStringLiteral("findclose()"),
      QStringLiteral("showmessage(bonjour 86400)"),
      QStringLiteral("sleep(15)"),
      QStringLiteral("processmessages()"),
      QStringLiteral("forcedirectories(/tmp/a/b)"),
      QStringLiteral("changefileext(/a.b/c,.txt)"),
      QStringLiteral("deletefiletorecyclebin(changed)"),
      QStringLiteral("renamefile(old,new)"),
      QStringLiteral("extractfilename(/x/y.z)"),
      QStringLiteral("extractfilepath(/x/y.z)"),
      QStringLiteral("extractfileext(/x/y.z)"),
      QStringLiteral("showmessage()"),
  };
  EXPECT_EQ(host.calls, expected);
}

TEST(HostInterfaceTest, ProgramConstantsAndTypesAreUsable) {
  ProgramHost host;
  const QString script = QStringLiteral(
      "var r: TRect; g: TGUID; p: TPoint; icons: TBorderIcons; a: TAlignment; s: TSavePreferences; h: "
      "HResult;\n"
      "    bs: TBorderStyle; st: TOwnerDrawState; k: TSHORTCUT; c: TColor; fs: TFontStyles;\n"
      "begin\n"
      "  r.Left := 1; r.Bottom := 4; g.D1 := $FFFFFFFF; g.D4[7] := 255; p.x := -3;\n"
      "  icons := [biSystemMenu, biHelp]; a := taCenter; s := spNone; h := -1; bs := bsDialog;\n"
      "  st := [odFocused, odComboBoxEdit]; k := 65535; c := clSkyBlue; fs := [fsBold];\n"
      "  if (biHelp in icons) and not (biMinimize in icons) and (odComboBoxEdit in st) then\n"
      "    Print(IntToStr(r.Left + r.Bottom) + ' ' + IntToStr(g.D1) + ' ' + IntToStr(g.D4[7]) + ' ' + "
      "IntToStr(Ord(a)) + ' ' +\n"
      "      IntToStr(Ord(s)) + ' ' + IntToStr(h) + ' ' + IntToStr(Ord(bs)) + ' ' + IntToStr(k) + ' ' + "
      "IntToStr(c) + ' ' +\n"
      "      IntToStr(clMoneyGreen + clCream) + ' ' + IntToStr(MSecPerDay) + ' ' + IntToStr(clWhite) + ' ' + "
      "IntToStr(p.x));\n"
      "end.");
  const ScriptRun r = runScript(script, [&](CompileContext& c) { host.declare(c); });
  ASSERT_TRUE(r.compiled) << r.compileError.toStdString() << " at " << r.errorLine << ":" << r.errorColumn;
  ASSERT_TRUE(r.executed) << r.runtimeError.toStdString();
  EXPECT_EQ(r.output,
            QStringLiteral("5 4294967295 255 2 2 -1 3 65535 15780518 28432575 86400000 16777215 -3"));
}

TEST(HostInterfaceTest, GraphicsClassesCompileButAreNotUsableAtRunTime) {
  ProgramHost host;
  const QString script = QStringLiteral(
      "var b: TBitmap; f: TFont;\n"
      "begin\n"
      "  if b = nil then Print('nil');\n"
      "  if False then begin b.Canvas.TextOut(1, 2, 'x'); b.Width := 3; f.Style := [fsBold, fsItalic]; end;\n"
      "  b := TBitmap.Create;\n"
      "end.");
  const ScriptRun r = runScript(script, [&](CompileContext& c) { host.declare(c); });
  ASSERT_TRUE(r.compiled) << r.compileError.toStdString() << " at " << r.errorLine << ":" << r.errorColumn;
  EXPECT_FALSE(r.executed);
  EXPECT_EQ(r.output, QStringLiteral("nil"));
  EXPECT_EQ(r.runtimeError, QStringLiteral("'TBitmap.Create' is not available at run time"));
  EXPECT_EQ(r.errorLine, 5);
}

TEST(HostInterfaceTest, BrokenDeclarationsFailTheCompilationWithAMessage) {
  struct Bad {
    const char* kind;
    const char* text;
  };
  const Bad cases[] = {{"routine", "procedure (x: Integer);"},
                       {"routine", "function F(a: TUnknown): Integer;"},
                       {"routine", "procedure Print(const S: string);"},  // already declared by the test host
                       {"type", "record a: Integer;"},
                       {"constant", "TooBig"}};
  for (const Bad& b : cases) {
    ScriptEngine e;
    QString error;
    e.setCompileHook([&](CompileContext& c) {
      c.declareRoutine(QStringLiteral("procedure Print(const S: string);"), [](HostCall&) {});
      bool ok = true;
      if (QLatin1String(b.kind) == QLatin1String("routine"))
        ok = c.declareRoutine(QLatin1String(b.text), [](HostCall&) {});
      else if (QLatin1String(b.kind) == QLatin1String("type"))
        ok = c.declareType(QStringLiteral("TBad"), QLatin1String(b.text));
      else
        ok = c.declareConstant(QLatin1String(b.text), QStringLiteral("Byte"), 300);
      EXPECT_FALSE(ok) << b.text;
      error = c.lastError();
    });
    e.setScript(QStringLiteral("begin end."));
    EXPECT_FALSE(e.compile()) << b.text;
    EXPECT_FALSE(error.isEmpty());
    ASSERT_FALSE(e.messages().isEmpty());
    EXPECT_EQ(e.messages().last().text, error);
  }
}

TEST(HostInterfaceTest, ArgumentsResultsAndVarParametersConvert) {
  QVariant seenRect, seenSet, seenArray;
  const auto hook = [&](CompileContext& c) {
    c.declareType(QStringLiteral("TRect"), QStringLiteral("record Left, Top, Right, Bottom: Integer; end;"));
    c.declareType(QStringLiteral("TDay"), QStringLiteral("(Mon, Tue, Wed)"));
    c.declareType(QStringLiteral("TDays"), QStringLiteral("set of TDay"));
    c.declareRoutine(QStringLiteral("function Area(const r: TRect): Int64;"), [&](HostCall& h) {
      seenRect = h.value(0);
      const QVariantList l = h.value(0).toList();
      h.setResult((l[2].toLongLong() - l[0].toLongLong()) * (l[3].toLongLong() - l[1].toLongLong()));
    });
    c.declareRoutine(QStringLiteral("procedure Grow(var r: TRect; by: Integer);"), [&](HostCall& h) {
      QVariantList l = h.value(0).toList();
      for (QVariant& v : l) v = v.toLongLong() + h.integer(1);
      h.setArgument(0, l);
    });
    c.declareRoutine(QStringLiteral("procedure Days(d: TDays);"), [&](HostCall& h) { seenSet = h.value(0); });
    c.declareRoutine(QStringLiteral("procedure Sum(const a: array of Integer; out total: Integer);"),
                     [&](HostCall& h) {
                       seenArray = h.value(0);
                       qint64 t = 0;
                       for (const QVariant& v : h.value(0).toList()) t += v.toLongLong();
                       h.setArgument(1, t);
                     });
    c.declareRoutine(QStringLiteral("function Half(x: Double): Double;"),
                     [](HostCall& h) { h.setResult(h.real(0) / 2); });
    c.declareRoutine(QStringLiteral("function Upper(c: Char; const s: string): string;"),
                     [](HostCall& h) { h.setResult(h.string(0) + h.string(1).toUpper()); });
    c.declareRoutine(QStringLiteral("function IsOn(b: Boolean): Boolean;"),
                     [](HostCall& h) { h.setResult(!h.boolean(0)); });
    c.declareRoutine(QStringLiteral("function Broken: Integer;"),
                     [](HostCall& h) { h.setResult(QStringLiteral("nope")); });
  };
  const ScriptRun r = runScript(
      QStringLiteral(
          "var r: TRect; t: Integer; a: array of Integer;\n"
          "begin r.Left := 1; r.Top := 2; r.Right := 4; r.Bottom := 6;\n"
          "  Print(IntToStr(Area(r))); Grow(r, 10); Print(IntToStr(r.Left) + ',' + IntToStr(r.Bottom));\n"
          "  Days([Mon, Wed]); SetLength(a, 3); a[0] := 1; a[1] := 2; a[2] := 39; Sum(a, t);\n"
          "  Print(IntToStr(t) + ' ' + FloatToStr(Half(3)) + ' ' + Upper('x', 'yz'));\n"
          "  if IsOn(False) then Print('on');\n"
          "  t := Broken;\n"
          "end."),
      hook);
  ASSERT_TRUE(r.compiled) << r.compileError.toStdString();
  EXPECT_FALSE(r.executed);
  EXPECT_EQ(r.output, QStringLiteral("12|11,16|42 1.5 xYZ|on"));
  EXPECT_EQ(r.runtimeError, QStringLiteral("Host routine 'Broken' returned a wrong value"));
  EXPECT_EQ(r.errorLine, 7);
  EXPECT_EQ(seenRect, QVariant(QVariantList{qint64(1), qint64(2), qint64(4), qint64(6)}));
  EXPECT_EQ(seenSet, QVariant(QVariantList{qint64(0), qint64(2)}));
  EXPECT_EQ(seenArray, QVariant(QVariantList{qint64(1), qint64(2), qint64(39)}));
}

// The declarations that abstract actions make, and the macros the script window records from them.
TEST(HostInterfaceTest, ActionDeclarationsAndRecordedMacrosCallTheirActions) {
  QStringList calls;
  const auto hook = [&](CompileContext& c) {
    auto rec = [&calls](const QString& name) {
      return [&calls, name](HostCall& h) {
        QStringList args;
        for (int k = 0; k < h.argumentCount(); ++k) args << h.value(k).toString();
        calls << name + u'(' + args.join(u',') + u')';
      };
    };
    const std::pair<const char*, const char*> decls[] = {
        {"ExecuteMacro", "procedure ExecuteMacro;"},
        {"OpenScript", "procedure OpenScript(const aWidestring:widestring);"},
        {"NumMediatype", "procedure NumMediatype(const aInteger:integer);"},
        {"OpenLastScript", "procedure OpenLastScript(const aBoolean:Boolean);"},
        {"ScriptFormSave", "procedure ScriptFormSave(const left,right,top,bottom:integer);"},
        {"setCapture", "procedure setCapture(const aBoolean:Boolean);"},
        {"Capture", "procedure Capture;"},
        {"Title", "procedure Title(const titre:widestring);"},
    };
    for (const auto& [name, decl] : decls)
      EXPECT_TRUE(c.declareRoutine(QLatin1String(decl), rec(QLatin1String(name))))
          << c.lastError().toStdString();
  };
  const QString macro = QStringLiteral(
      "//Macro enregistrée le jeudi 10 décembre 2026 à 11:40:00\n"
      "\n"
      "begin\n"
      "    NumMediatype(3);\n"
      "    OpenScript('/home/u/script.txt');\n"
      "    OpenLastScript(True);\n"
      "    ScriptFormSave(300,1100,300,860);\n"
      "    setCapture(False);\n"
      "    Capture;\n"
      "    ExecuteMacro;\n"
      "    Title('Été');\n"
      "end.");
  const ScriptRun r = runScript(macro, hook);
  ASSERT_TRUE(r.compiled) << r.compileError.toStdString() << " at " << r.errorLine;
  ASSERT_TRUE(r.executed) << r.runtimeError.toStdString();
  const QStringList expected = {
      QStringLiteral("NumMediatype(3)"),      QStringLiteral("OpenScript(/home/u/script.txt)"),
      QStringLiteral("OpenLastScript(true)"), QStringLiteral("ScriptFormSave(300,1100,300,860)"),
      QStringLiteral("setCapture(false)"),    QStringLiteral("Capture()"),
      QStringLiteral("ExecuteMacro()"),       QStringLiteral("Title(Été)")};
  EXPECT_EQ(calls, expected);

  // Without the actions declared, the same macro is rejected by name.
  const ScriptRun bare = runScript(macro);
  EXPECT_FALSE(bare.compiled);
  EXPECT_EQ(bare.compileError, QStringLiteral("Unknown identifier 'NumMediatype'"));
  EXPECT_EQ(bare.errorLine, 4);
}

TEST(HostInterfaceTest, HookRunsAtEveryCompilation) {
  ScriptEngine e;
  int hooks = 0;
  e.setCompileHook([&](CompileContext& c) {
    ++hooks;
    c.declareConstant(QStringLiteral("Limit"), QStringLiteral("Integer"), 7);
  });
  e.setScript(QStringLiteral("var x: Integer; begin x := Limit; end."));
  ASSERT_TRUE(e.compile());
  ASSERT_TRUE(e.compile());
  EXPECT_EQ(hooks, 2);
  ASSERT_TRUE(e.execute());
  EXPECT_EQ(e.globalValue(QStringLiteral("x")).toInt(), 7);
}

}  // namespace
