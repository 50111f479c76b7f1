procedure R(n: Integer);
begin
  R(n + 1);
end;
begin
  R(0);
end.