type TPoint = record x, y: Integer; end; TLine = record a, b: TPoint; name: string; end;
var l, m: TLine; function Mid(const l: TLine): TPoint; begin Result.x := (l.a.x + l.b.x) div 2; Result.y := (l.a.y + l.b.y) div 2; end;
begin l.a.x := 0; l.a.y := 0; l.b.x := 10; l.b.y := 20; l.name := 'L'; m := l; m.b.x := 100;
Print(IntToStr(Mid(l).x) + ',' + IntToStr(Mid(l).y) + ' ' + IntToStr(l.b.x) + ' ' + IntToStr(m.b.x) + m.name); end.