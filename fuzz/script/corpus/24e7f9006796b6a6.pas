procedure P(var a: Integer); begin end;
var b: Byte;
begin
  P(b);
end.