procedure Hello;
begin
  Print('hello');
end;
