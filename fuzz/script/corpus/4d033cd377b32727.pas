var r: TRect; g: TGUID; p: TPoint; icons: TBorderIcons; a: TAlignment; s: TSavePreferences; h: HResult;
    bs: TBorderStyle; st: TOwnerDrawState; k: TSHORTCUT; c: TColor; fs: TFontStyles;
begin
  r.Left := 1; r.Bottom := 4; g.D1 := $FFFFFFFF; g.D4[7] := 255; p.x := -3;
  icons := [biSystemMenu, biHelp]; a := taCenter; s := spNone; h := -1; bs := bsDialog;
  st := [odFocused, odComboBoxEdit]; k := 65535; c := clSkyBlue; fs := [fsBold];
  if (biHelp in icons) and not (biMinimize in icons) and (odComboBoxEdit in st) then
    Print(IntToStr(r.Left + r.Bottom) + ' ' + IntToStr(g.D1) + ' ' + IntToStr(g.D4[7]) + ' ' + IntToStr(Ord(a)) + ' ' +
      IntToStr(Ord(s)) + ' ' + IntToStr(h) + ' ' + IntToStr(Ord(bs)) + ' ' + IntToStr(k) + ' ' + IntToStr(c) + ' ' +
      IntToStr(clMoneyGreen + clCream) + ' ' + IntToStr(MSecPerDay) + ' ' + IntToStr(clWhite) + ' ' + IntToStr(p.x));
end.