#include "script/GraphicsDeclarations.h"

namespace vistrel::script {

bool declareGraphics(CompileContext& c) {
  bool ok = true;
  auto type = [&](const char* name, const char* def) {
    if (ok) ok = c.declareType(QLatin1String(name), QLatin1String(def));
  };
  auto constant = [&](const char* name, qint64 value) {
    if (ok) ok = c.declareConstant(QLatin1String(name), QStringLiteral("TColor"), value);
  };
  auto cls = [&](const char* name, const char* parent, std::initializer_list<const char*> members) {
    if (ok) ok = c.declareClass(QLatin1String(name), QLatin1String(parent));
    for (const char* m : members)
      if (ok) ok = c.declareClassMember(QLatin1String(name), QLatin1String(m));
  };
  type("TColor", "-2147483648..2147483647");
  type("HBITMAP", "LongWord");
  type("HPALETTE", "LongWord");
  type("TFontStyle", "(fsBold, fsItalic, fsUnderline, fsStrikeOut)");
  type("TFontStyles", "set of TFontStyle");
  type("TFontPitch", "(fpDefault, fpVariable, fpFixed)");
  type("TPenStyle", "(psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame)");
  type("TPenMode",
       "(pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot, pmMaskPenNot, pmMergeNotPen, "
       "pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor)");
  type("TBrushStyle",
       "(bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross)");

  // Colours are $00BBGGRR; system colours are the system colour index with the top byte set.
  const std::pair<const char*, qint64> colours[] = {
      {"clBlack", 0x000000},  {"clMaroon", 0x000080},  {"clGreen", 0x008000},  {"clOlive", 0x008080},
      {"clNavy", 0x800000},   {"clPurple", 0x800080},  {"clTeal", 0x808000},   {"clGray", 0x808080},
      {"clSilver", 0xC0C0C0}, {"clRed", 0x0000FF},     {"clLime", 0x00FF00},   {"clYellow", 0x00FFFF},
      {"clBlue", 0xFF0000},   {"clFuchsia", 0xFF00FF}, {"clAqua", 0xFFFF00},   {"clLtGray", 0xC0C0C0},
      {"clDkGray", 0x808080}, {"clWhite", 0xFFFFFF},   {"clNone", 0x1FFFFFFF}, {"clDefault", 0x20000000},
  };
  for (const auto& [name, value] : colours) constant(name, value);
  const char* const system[] = {
      "clScrollBar",    "clBackground",     "clActiveCaption", "clInactiveCaption", "clMenu",
      "clWindow",       "clWindowFrame",    "clMenuText",      "clWindowText",      "clCaptionText",
      "clActiveBorder", "clInactiveBorder", "clAppWorkSpace",  "clHighlight",       "clHighlightText",
      "clBtnFace",      "clBtnShadow",      "clGrayText",      "clBtnText",         "clInactiveCaptionText",
      "clBtnHighlight", "cl3DDkShadow",     "cl3DLight",       "clInfoText",        "clInfoBk"};
  for (qint64 k = 0; k < qint64(std::size(system)); ++k)
    constant(system[k], qint64(int32_t(0xFF000000u)) + k);

  cls("TPersistent", "TObject", {"procedure Assign(Source: TPersistent);"});
  cls("TGraphicsObject", "TPersistent", {});
  cls("TFont", "TGraphicsObject",
      {"constructor Create;", "property Handle: LongWord;", "property Color: TColor;",
       "property Height: Integer;", "property Name: string;", "property Pitch: TFontPitch;",
       "property Size: Integer;", "property PixelsPerInch: Integer;", "property Style: TFontStyles;"});
  cls("TPen", "TGraphicsObject",
      {"constructor Create;", "property Color: TColor;", "property Mode: TPenMode;",
       "property Style: TPenStyle;", "property Width: Integer;"});
  cls("TBrush", "TGraphicsObject",
      {"constructor Create;", "property Color: TColor;", "property Style: TBrushStyle;"});
  cls("TGraphic", "TPersistent",
      {"procedure LoadFromFile(const FileName: string);", "procedure SaveToFile(const FileName: string);",
       "property Empty: Boolean read;", "property Height: Integer;", "property Modified: Boolean;",
       "property Width: Integer;"});
  cls("TCanvas", "TPersistent",
      {"procedure Arc(X1, Y1, X2, Y2, X3, Y3, X4, Y4: Integer);",
       "procedure Chord(X1, Y1, X2, Y2, X3, Y3, X4, Y4: Integer);",
       "procedure Draw(X, Y: Integer; Graphic: TGraphic);", "procedure Ellipse(X1, Y1, X2, Y2: Integer);",
       "procedure FloodFill(X, Y: Integer; Color: TColor; FillStyle: Byte);",
       "procedure LineTo(X, Y: Integer);", "procedure MoveTo(X, Y: Integer);",
       "procedure Pie(X1, Y1, X2, Y2, X3, Y3, X4, Y4: Integer);",
       "procedure Rectangle(X1, Y1, X2, Y2: Integer);", "procedure Refresh;",
       "procedure RoundRect(X1, Y1, X2, Y2, X3, Y3: Integer);",
       "function TextHeight(const Text: string): Integer;",
       "procedure TextOut(X, Y: Integer; const Text: string);",
       "function TextWidth(const Text: string): Integer;", "property Brush: TBrush;", "property Font: TFont;",
       "property Pen: TPen;", "property Handle: LongWord;"});
  cls("TBitmap", "TGraphic",
      {"constructor Create;", "procedure Dormant;", "procedure FreeImage;", "procedure ReleaseHandle;",
       "property Canvas: TCanvas read;", "property Handle: HBITMAP;", "property Monochrome: Boolean;",
       "property Palette: HPALETTE;", "property TransparentColor: TColor read;"});
  cls("TPicture", "TPersistent",
      {"constructor Create;", "procedure LoadFromFile(const FileName: string);",
       "procedure SaveToFile(const FileName: string);", "property Bitmap: TBitmap;",
       "property Graphic: TGraphic;", "property Height: Integer read;", "property Width: Integer read;"});
  return ok;
}

}  // namespace vistrel::script
