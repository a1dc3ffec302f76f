package main

// TODO 1 -oGo: error wrapping
import "fmt"

var raw = `a raw string /* not a comment */
// still raw`
var r = '"' // a rune holding a quote
var q = '\'' /* an escaped rune */
var s = "tab\t\"/* no */\"" // TODO: escapes

/* block comments
   do not nest: /* this closes it */
func main() { fmt.Println(raw, 10/2) } // DONE: done
