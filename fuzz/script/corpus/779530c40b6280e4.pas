function Fib(n: Integer): Integer;
begin
  if n < 2 then Result := n else Result := Fib(n - 1) + Fib(n - 2);
end;
begin
  Check(Fib(27));
end.