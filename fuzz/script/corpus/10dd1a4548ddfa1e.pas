type TP = procedure(a: Integer);
procedure Q(var a: Integer); begin end;
var p: TP;
begin
  p := @Q;
end.