var s: string; c: Char; wc: WideChar; a: AnsiString; u: UnicodeString;
begin s := 'Hello'; c := s[1]; s[1] := 'J'; Print(s + ' ' + c + ' ' + IntToStr(Length(s)));
Print(Copy(s, 2, 3) + IntToStr(Pos('ll', s)) + UpperCase('abc') + LowerCase('DEF') + '[' + Trim('  x  ') + ']');
Delete(s, 1, 2); Insert('AB', s, 1); Print(s); Print(IntToStr(Ord('A')) + Chr(66) + #67'D'#$45);
wc := #$263A; u := 'x' + wc; a := u + 'y'; u := a; Print(u + IntToStr(Length(a)) + IntToStr(Ord(a[2]))); end.