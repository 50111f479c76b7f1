type TP = procedure(a: Integer);
procedure Q(const s: string); begin end;
var p: TP;
begin
  p := Q;
end.