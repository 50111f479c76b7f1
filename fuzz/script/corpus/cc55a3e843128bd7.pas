type TP = procedure;
var p: TP;
procedure Outer;
  procedure Inner; begin end;
begin
  p := Inner;
end;
begin end.