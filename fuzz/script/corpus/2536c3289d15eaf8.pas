function P(b: Byte; s: ShortInt; w: Word; i: Integer; c: Cardinal): string;
begin Result := IntToStr(b) + ' ' + IntToStr(s) + ' ' + IntToStr(w) + ' ' + IntToStr(i) + ' ' + IntToStr(c); end;
function W(b: Byte; s: ShortInt): Integer; begin Result := b * 1000 + s; end;
function Q(v: Int64): string;
begin Result := P(v, v, v + 65300, v + 2147483400, v - 301) + ' ' + IntToStr(W(v, v - 100)); end;
begin Print(Q(300)); end.