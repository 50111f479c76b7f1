var i: Integer;
begin
  for i := 1 to 2 do
    i := 5;
end.