unit App;

interface

implementation

{ TODO 1 -oAnn -cUI: Fix the splitter }
{ TODO 5 -oJosé -cLegacy, old: Rewrite the loader }
{ DONE 3 -oBen -cUI: Ship the first build }
(* TODO -cBack end: Cache the results
   across runs *)
{ TODO 2 -oZoë: Keep the window size }
{ TODO 0: No priority given }
// DONE: Remove the debug output

end.
