function Down(n: Integer): Integer;
begin if n = 0 then Result := 1 div n else Result := Down(n - 1); end;
function F(n: Integer): Integer;
var y: Integer;
begin y := n + 100; try Result := Down(3); finally Print(IntToStr(y)); end; end;
function Text(n: Integer): string;
var s: string;
begin s := IntToStr(n); try Down(n); except s := s + '!'; end; Result := s; end;
begin
  try F(1); except Print('caught'); end;
  Print(Text(2) + Text(3));
end.