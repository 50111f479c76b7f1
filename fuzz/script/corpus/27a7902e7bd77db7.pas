var b: Byte; w: Word; i: Integer; c: Cardinal; s: ShortInt; li: LongInt; lw: LongWord; si: SmallInt;
begin b := 255; b := b + 1; w := 65535; Inc(w); i := 2147483647; i := i + 1; c := 0; c := c - 1; s := 127; Inc(s);
Print(IntToStr(b) + ' ' + IntToStr(w) + ' ' + IntToStr(i) + ' ' + IntToStr(c) + ' ' + IntToStr(s));
li := MaxInt; Inc(li); lw := 0; Dec(lw); si := 32767; si := si + 1; Print(IntToStr(li) + ' ' + IntToStr(lw) + ' ' + IntToStr(si));
si := -32767; Dec(si, 2); lw := 5; Dec(lw, 7); li := -2147483647; Dec(li, 3); Print(IntToStr(si) + ' ' + IntToStr(lw) + ' ' + IntToStr(li)); end.