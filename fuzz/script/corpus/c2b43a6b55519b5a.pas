var a: array of Integer; i, seed: Integer;
procedure Sort(lo, hi: Integer);
var i, j, p, t: Integer;
begin
  i := lo; j := hi; p := a[(lo + hi) div 2];
  repeat
    while a[i] < p do Inc(i);
    while a[j] > p do Dec(j);
    if i <= j then begin t := a[i]; a[i] := a[j]; a[j] := t; Inc(i); Dec(j); end;
  until i > j;
  if lo < j then Sort(lo, j);
  if i < hi then Sort(i, hi);
end;
begin
  SetLength(a, 200000);
  seed := 12345;
  for i := 0 to High(a) do begin seed := (seed * 1103515245 + 12345) mod 2147483648; a[i] := seed mod 1000000; end;
  Sort(0, High(a));
  for i := 1 to High(a) do if a[i - 1] > a[i] then Check(-1);
  Check(a[0] + a[High(a)]);
end.