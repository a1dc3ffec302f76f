unit A;

interface

{ TODO 2 -oAnn -cUI : Fix the splitter }
// TODO 3 -oBen : Cache the results

implementation

end.
