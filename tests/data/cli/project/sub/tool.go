package main

// TODO 4 -oCleo -cGo: handle flags
var raw = `// TODO: raw string, not a comment`

/* DONE 5: block comment */
func main() {}
