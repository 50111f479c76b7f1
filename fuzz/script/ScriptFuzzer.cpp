// Feeds arbitrary text to the script compiler and runs whatever compiles, with the preprocessor on
// and host routines, constants, types and classes declared as a program declares them. Every input
// must end in a compiled program or compiler messages, and every run in success or a run-time
// error: no crash, no sanitizer report, no hang (runs are bounded by a step limit).
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "script/GraphicsDeclarations.h"
#include "script/ScriptEngine.h"

using namespace vistrel::script;

namespace {

// Every declaration must succeed, or each input would only reach the same early failure.
void declareHost(CompileContext& c) {
  const bool ok = c.declareType(QStringLiteral("TPoint"), QStringLiteral("record x,y: Longint; end;")) &&
                  c.declareRoutine(QStringLiteral("procedure Print(const S: string);"),
                                   [](HostCall& h) { (void)h.string(0); }) &&
                  c.declareRoutine(QStringLiteral("function Twice(n: Integer): Integer;"),
                                   [](HostCall& h) { h.setResult(h.integer(0) * 2); }) &&
                  c.declareRoutine(QStringLiteral("procedure Fill(var r: TPoint; out s: widestring);"),
                                   [](HostCall& h) {
                                     h.setArgument(0, QVariantList{1, 2});
                                     h.setArgument(1, QStringLiteral("filled"));
                                   }) &&
                  c.declareRoutine(QStringLiteral("procedure Fail(const why: string);"),
                                   [](HostCall& h) { throw HostError(h.string(0)); }) &&
                  c.declareConstant(QStringLiteral("SecsPerDay"), QStringLiteral("Longint"), 86400) &&
                  c.declareType(QStringLiteral("TRect"),
                                QStringLiteral("record Left, Top, Right, Bottom: Integer; end;")) &&
                  c.declareType(QStringLiteral("TBorderIcon"),
                                QStringLiteral("(biSystemMenu, biMinimize, biMaximize, biHelp)")) &&
                  c.declareType(QStringLiteral("TBorderIcons"), QStringLiteral("set of TBorderIcon")) &&
                  declareGraphics(c);
  if (!ok) {
    std::fprintf(stderr, "host declaration failed: %s\n", qPrintable(c.lastError()));
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
  ScriptEngine e;
  e.setPreprocessorEnabled(true);
  e.setDefines({QStringLiteral("FUZZ")});
  // {$I self} brings the input in again, to exercise nested inclusion; nothing else is read.
  e.setIncludeResolver([&text](const QString& name) -> std::optional<QString> {
    if (name.compare(QStringLiteral("self"), Qt::CaseInsensitive) == 0) return text;
    if (name.compare(QStringLiteral("decl.inc"), Qt::CaseInsensitive) == 0)
      return QStringLiteral("const IncValue = 7;");
    return std::nullopt;
  });
  e.setCompileHook(declareHost);
  e.setScript(text);
  if (!e.compile()) {
    for (const CompilerMessage& m : e.messages()) (void)m.toString();
    return 0;
  }
  e.setStepLimit(20000);
  e.setStackLimit(512 * 1024);
  if (!e.execute()) (void)e.runtimeErrorMessage();
  return 0;
}
