type TShow = procedure(const s: string); TCalc = function(a, b: Integer): Integer;
  TBump = procedure(var n: Integer; by: Integer); TText = function(const s: string): string;
function Add(a, b: Integer): Integer; begin Result := a + b; end;
function Mul(a, b: Integer): Integer; begin Result := a * b; end;
procedure Bump(var n: Integer; by: Integer); begin n := n + by; end;
procedure Twice(const s: string); begin Print(s + s); end;
var show: TShow; calc, other: TCalc; bumper: TBump; text: TText; n: Integer;
begin
  if not Assigned(calc) and (calc = nil) then Print('nil');
  calc := Add; other := @Mul; Print(IntToStr(calc(2, 3)) + ' ' + IntToStr(other(2, 3)));
  if (calc <> nil) and (calc <> other) and (calc = @Add) then Print('compared');
  other := calc; if other = calc then Print(IntToStr(other(10, calc(1, 1))));
  n := 1; bumper := Bump; bumper(n, 5); bumper(n, n); Print(IntToStr(n));
  show := Twice; show('ab'); show := Print; show('host'); text := UpperCase; Print(text('std'));
  calc := nil; if not Assigned(calc) then Print('cleared');
end.