var a: array[1..5] of Integer; m: array[0..1, 0..2] of Integer; i, j, s: Integer;
begin for i := Low(a) to High(a) do a[i] := i * i; for i := 0 to 1 do for j := 0 to 2 do m[i, j] := i * 10 + j;
s := 0; for i := 1 to 5 do s := s + a[i]; Print(IntToStr(s) + ' ' + IntToStr(m[1][2]) + ' ' + IntToStr(Length(a))); end.