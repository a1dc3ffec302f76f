// TODO 1 -oDan: null safety
/* outer /* nested */ still */
var a = 'single /* no */'; var b = "double // no"; // strings
var m = '''
// not a comment
'''; /* after multi */
var r = r'raw \' // TODO: raw strings
var i = '${x /* hole */} $y /* text */'; // DONE: interpolation
var n = r"${not /* a hole */}"; /// doc
