//Macro enregistrée le jeudi 10 décembre 2026 à 11:40:00

begin
    NumMediatype(3);
    OpenScript('/home/u/script.txt');
    OpenLastScript(True);
    ScriptFormSave(300,1100,300,860);
    setCapture(False);
    Capture;
    ExecuteMacro;
    Title('Été');
end.