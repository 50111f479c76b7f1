function Outer(n: Integer): Integer;
var total: Integer;
  procedure Walk(d: Integer); begin total := total + d; if d > 0 then Walk(d - 1); end;
begin total := 0; Walk(n); Result := total; end;
begin Print(IntToStr(Outer(10))); Print(IntToStr(Outer(3))); end.