var b: TBitmap; f: TFont;
begin
  if b = nil then Print('nil');
  if False then begin b.Canvas.TextOut(1, 2, 'x'); b.Width := 3; f.Style := [fsBold, fsItalic]; end;
  b := TBitmap.Create;
end.