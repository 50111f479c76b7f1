var a: array[1..2] of Integer; s: string; i: Integer;
begin s := 'keep'; i := 3; try s := s + IntToStr(a[i]); except Print('caught ' + s); end; end.