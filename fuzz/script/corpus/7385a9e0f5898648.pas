function IntToStr(n: Integer): string; begin Result := '<' + Chr(Ord('0') + n) + '>'; end;
var s: string; begin s := ''; s := s + IntToStr(3); Print(s); end.