type TP = procedure(n: Integer);
var p: TP;
begin
  Print('a');
  p(1);
end.