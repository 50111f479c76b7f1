type TF = function: Integer;
function G: string; begin end;
var f: TF;
begin
  f := G;
end.