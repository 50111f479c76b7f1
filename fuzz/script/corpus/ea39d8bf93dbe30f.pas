const N = 10; Half = N div 2; Name = 'abc'; Ratio = 1.5; T: array[0..2] of Integer = (1, 2, 3);
begin Print(IntToStr(Half) + Name + FloatToStr(Ratio * 2) + IntToStr(T[2])); end.