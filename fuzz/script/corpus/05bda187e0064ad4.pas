var c: Char; n: Integer;
begin
  n := 70000; c := Chr(n);
end.