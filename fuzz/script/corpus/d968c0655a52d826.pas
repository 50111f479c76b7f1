var x: Double; sg: Single; e: Extended; rl: Real;
begin x := 1 / 4; Print(FloatToStr(x)); Print(FloatToStr(Sqrt(16))); Print(IntToStr(Round(2.5)) + IntToStr(Round(3.5)) + IntToStr(Trunc(-2.7))); Print(FloatToStr(Abs(-1.5)));
sg := 0.1; e := 0.1; rl := sg; Print(FloatToStr(sg) + ' ' + FloatToStr(e) + ' ' + FloatToStr(rl)); if (sg <> e) and (rl = sg) then Print('single'); end.