var seen: array[0..9] of Boolean; i, k, bad: Integer; x: Double; all: Boolean;
begin Randomize; bad := 0;
for i := 1 to 2000 do begin k := Random(10); if (k < 0) or (k > 9) then Inc(bad) else seen[k] := True;
x := Random; if (x < 0) or (x >= 1) then Inc(bad); if Random(1) <> 0 then Inc(bad); end;
all := True; for k := 0 to 9 do all := all and seen[k]; Print(IntToStr(bad)); if all then Print('every value'); end.