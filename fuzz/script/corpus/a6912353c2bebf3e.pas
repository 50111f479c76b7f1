var d, day, clock, moment: TDateTime; y, m, dd: Word; ds, ts: string;
begin d := EncodeDate(2024, 2, 29) + EncodeTime(13, 5, 9, 0); DecodeDate(d, y, m, dd);
Print(FormatDateTime('yyyy-mm-dd hh:nn:ss', d) + ' ' + IntToStr(y) + IntToStr(m) + IntToStr(dd)); if Now > d then Print('later');
