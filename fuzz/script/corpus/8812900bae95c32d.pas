type TF = function: Integer;
var r: record f: TF; end; i: Integer;
begin
  i := 1;
  i := i + r.f();
end.