var b: Byte; w: Word; i: Integer; c: Cardinal; s: ShortInt;
begin b := 255; b := b + 1; w := 65535; Inc(w); i := 2147483647; i := i + 1; c := 0; c := c - 1; s := 127; Inc(s);
Print(IntToStr(b) + ' ' + IntToStr(w) + ' ' + IntToStr(i) + ' ' + IntToStr(c) + ' ' + IntToStr(s)); end.