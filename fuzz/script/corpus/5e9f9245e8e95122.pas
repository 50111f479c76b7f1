type TP = procedure(a: Integer);
var p: TP;
begin
  p('xy');
end.