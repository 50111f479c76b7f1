function Sum(const v: array of Integer): Integer; var i: Integer; begin Result := 0; for i := 0 to High(v) do Result := Result + v[i]; end;
var d: array of Integer; s: array[1..3] of Integer; begin SetLength(d, 2); d[0] := 4; d[1] := 5; s[1] := 1; s[2] := 2; s[3] := 3;
Print(IntToStr(Sum(d)) + ' ' + IntToStr(Sum(s))); end.