unit Storage;

{$IFDEF DEBUG}{$R+}{$ENDIF}

interface

uses SysUtils;

type
  TStore = class
    procedure Save; // TODO 2 -oAnn -cIO : flush the cache first
  end;

implementation

{ TODO -cUI: Fix the splitter }
procedure TStore.Save;
const
  Banner = 'Don''t write { TODO: not a comment } here';
  Sep = #13#10'(* still a string *)'#39;
begin
  (* DONE 1: ship it
     over two lines *)
  WriteLn(Banner); { a brace comment (* with a paren-star opener inside }
  X := Y / 2; // TODO2: a near miss
  (*) this opener is not closed by its own star-paren *)
  S := 'open string runs to the line end { no
  { TODOS : another near miss }
end;

end. // the end, without a final line break