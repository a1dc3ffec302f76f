// TODO 2 -oEve: async version
using System;

class Program {
    static string Path = @"C:\Temp\"; /* verbatim: the backslash does not escape */
    static string Quote = @"He said ""/* no */"" loudly"; // doubled quotes
    static string Multi = @"line one
// not a comment
line three"; /* DONE: verbatim over lines */
    static string Name = "x";
    static string Hello = $"Hi {Name /* a comment in a hole */} {{/* text */}}"; // after
    static string Raw = """
        /* still raw */ "quoted"
        """; // TODO: raw strings
    static string RawI = $$"""{x /* text */} {{Name.Length /* hole */}}"""; /* end */
    static char Q = '"'; // char
    static void Main() { Console.WriteLine($@"{Path}""/* no */"""); } // TODO -cUI: output
}
