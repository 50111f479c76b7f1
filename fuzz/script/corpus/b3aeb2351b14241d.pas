type TColor = (Red, Green, Blue); TColors = set of TColor; var c: TColor; s: TColors;
begin s := [Red, Blue]; if Green in s then Print('bad'); Include(s, Green); Exclude(s, Red); for c := Red to Blue do if c in s then Print(IntToStr(Ord(c)));
if s = [Green, Blue] then Print('eq'); if [Blue] <= s then Print('sub'); s := s - [Blue] + [Red]; if s * [Red] = [Red] then Print('red');
if Succ(Red) = Green then Print('succ'); if High(TColor) = Blue then Print('high');
if (Pred(Blue) = Green) and (Pred(10) = 9) and (Pred('b') = 'a') then Print('pred'); end.