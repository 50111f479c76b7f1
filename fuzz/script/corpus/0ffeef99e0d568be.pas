begin // line
 { brace } (* paren *) Print('c'); {$R+} end.