var i: Integer;
begin
  i := 1 + 'a' + 2;
end.