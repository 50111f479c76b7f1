var a, b: array of Integer; i: Integer;
begin SetLength(a, 3); for i := 0 to High(a) do a[i] := i + 1; b := a; b[0] := 9; SetLength(a, 5);
Print(IntToStr(Length(a)) + IntToStr(a[0]) + IntToStr(a[4]) + IntToStr(b[0]) + IntToStr(Length(b))); end.