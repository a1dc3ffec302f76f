/**
 * TODO 1: javadoc
 */
public class Main {
    static final String BLOCK = """
        /* not a comment */ "quoted" \"""
        // still in the text block
        """; // DONE: text blocks
    static final char Q = '\''; /* char */
    static final String S = "a \"/* no */\" b"; // TODO -oAnn: strings
    static final String E = ""; /* after an empty string */
    public static void main(String[] args) { int x = 10 / 2; } // division
}
