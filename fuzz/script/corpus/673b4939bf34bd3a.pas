procedure P(n: Integer);
begin
  n := n div 0;
end;
begin
  P(1);
end.