var r: TRect; t: Integer; a: array of Integer;
begin r.Left := 1; r.Top := 2; r.Right := 4; r.Bottom := 6;
  Print(IntToStr(Area(r))); Grow(r, 10); Print(IntToStr(r.Left) + ',' + IntToStr(r.Bottom));
  Days([Mon, Wed]); SetLength(a, 3); a[0] := 1; a[1] := 2; a[2] := 39; Sum(a, t);
  Print(IntToStr(t) + ' ' + FloatToStr(Half(3)) + ' ' + Upper('x', 'yz'));
  if IsOn(False) then Print('on');
  t := Broken;
end.