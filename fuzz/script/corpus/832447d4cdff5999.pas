procedure Bad;
begin
  Unknown;
end;
