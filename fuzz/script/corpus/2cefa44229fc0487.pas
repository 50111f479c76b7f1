var r: record a: Integer; end;
begin
  r.b := 1;
end.