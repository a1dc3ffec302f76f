program App;

uses
  A in 'units\a.pas',
  B in 'units/b.pas' { TODO -cBuild : split the uses clause };

begin
end.
