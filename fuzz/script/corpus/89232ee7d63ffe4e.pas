var log: string;
function A(v: Integer): Integer; begin log := log + 'a'; Result := v; end;
function B(v: Integer): Integer; begin log := log + 'b'; Result := v; end;
function R(v: Double): Double; begin log := log + 'r'; Result := v; end;
function S(v: string): string; begin log := log + 's'; Result := v; end;
var x: Integer; d: Double; ok: Boolean;
begin
  log := ''; x := A(1) + B(2); x := A(1) * B(2); x := A(8) div B(2); x := A(1) xor B(2); Print(log);
  log := ''; ok := A(1) < B(2); ok := B(1) = A(1); ok := S('x') < S('y'); Print(log);
  log := ''; d := R(1) - R(2) * A(2); ok := R(1) >= A(1); Print(log);
end.