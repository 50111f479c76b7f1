var i: Integer;
begin
  i := StrToInt('12x');
end.