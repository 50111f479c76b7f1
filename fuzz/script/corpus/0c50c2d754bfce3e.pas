procedure Outer; var n: Integer;
  procedure Inner; begin n := n + 1; end;
  procedure Twice; begin Inner; Inner; end;
begin n := 10; Twice; Print(IntToStr(n)); end;
begin Outer; end.