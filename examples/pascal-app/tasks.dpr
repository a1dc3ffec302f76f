program Tasks;

{ A small task tracker used to show the to-do list on a real-looking project. }

uses
  SysUtils,
  MainForm in 'units/main_form.pas',
  Storage in 'units/storage.pas';

{$R *.res}

{ TODO 1 -oAnn -cRelease : Sign the executable before shipping }

var
  Store: TTaskStore;
begin
  // TODO -cStartup: Read the data folder from the command line
  Store := TTaskStore.Create('tasks.dat');
  try
    RunMainForm(Store);
  finally
    Store.Free;
  end;
end.
