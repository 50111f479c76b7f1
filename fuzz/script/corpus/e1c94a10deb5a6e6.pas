type TOp = function(x: Integer): Integer;
function Apply(f: TOp): Integer; begin Result := f(1); end;
function Neg(x: Double): Double; begin Result := -x; end;
begin
  Apply(Neg);
end.