type TP = procedure(a: Integer);
var p: TP;
begin
  p(1, 2);
end.