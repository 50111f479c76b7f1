var i: Integer;
begin
  i := 'abc';
end.