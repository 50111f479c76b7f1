var a: Integer;
begin
  a := 0;
    a := 1 div a;
end.