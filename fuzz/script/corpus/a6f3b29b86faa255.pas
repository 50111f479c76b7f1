var b: TBitmap; w: Integer;
begin
  w := 0;
  w := b.Width;
end.