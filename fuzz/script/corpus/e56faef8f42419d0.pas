var c: TCanvas;
begin
  Print('a');
  c.TextOut(1, 2, 'x');
end.