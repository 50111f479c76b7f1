procedure Swap(var a, b: Integer); var t: Integer; begin t := a; a := b; b := t; end;
procedure Give(out r: string); begin r := 'given'; end;
function Twice(const x: Integer): Integer; begin Twice := x * 2; end;
var x, y: Integer; s: string; begin x := 1; y := 2; Swap(x, y); Give(s); Print(IntToStr(x) + IntToStr(y) + s + IntToStr(Twice(21))); end.