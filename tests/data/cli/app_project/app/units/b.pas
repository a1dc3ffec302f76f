unit B;

interface

{ DONE 1 -oAnn : Load the settings }
(* todo -cCore : Drop the old parser *)

implementation

end.
