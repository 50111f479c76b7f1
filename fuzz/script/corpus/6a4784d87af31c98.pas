type TOp = function(x: Integer): Integer; TProc = procedure;
  THandler = record name: string; op: TOp; end;
function Inc1(x: Integer): Integer; begin Result := x + 1; end;
function Dbl(x: Integer): Integer; begin Result := x * 2; end;
procedure Hello; begin Print('hello'); end;
function Apply(f: TOp; x: Integer): Integer; begin Result := f(x); end;
function Pick(k: Integer): TOp; begin if k = 0 then Result := Inc1 else Result := @Dbl; end;
procedure Swap(var a, b: TOp); var t: TOp; begin t := a; a := b; b := t; end;
const Table: array[0..1] of TOp = (Inc1, @Dbl); var first: TOp = Inc1;
var ops: array of TOp; fixed: array[1..2] of TOp; h: THandler; f, g: TOp; p: TProc; i, s: Integer;
begin
  Print(IntToStr(Apply(Inc1, 1)) + IntToStr(Apply(@Dbl, 4)) + IntToStr(Pick(1)(5)));
  SetLength(ops, 3); ops[0] := Inc1; ops[1] := Dbl; ops[2] := Pick(0);
  s := 0; for i := 0 to High(ops) do s := ops[i](s); Print(IntToStr(s));
  fixed[1] := Dbl; fixed[2] := fixed[1]; Print(IntToStr(fixed[2](fixed[1](3))));
  h.name := 'inc'; h.op := Inc1; with h do Print(name + IntToStr(op(41)));
  f := Inc1; g := Dbl; Swap(f, g); Print(IntToStr(f(10)) + ' ' + IntToStr(g(10)));
  p := Hello; p; p(); Print(IntToStr(Table[1](first(1))));
end.