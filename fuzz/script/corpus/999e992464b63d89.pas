type TP = procedure;
var p: TP;
begin
  p := nil;
  p;
end.