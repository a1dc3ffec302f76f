/* parser.c: a tiny tokenizer
 * TODO 3 -oBob: handle wide strings
 */
#include <stdio.h>

#define GREETING "hello /* not a comment */ world" // TODO: translate
#define MULTI(a, b) \
    ((a) + (b)) // a comment after a continued macro line

static const char* paths = "C:\\temp\\"; /* the escaped backslash ends the string */
static const char quote = '"'; // a char holding a quote
static const char apostrophe = '\''; /* DONE: escapes in chars */
static int million = 1'000'000; // C23 digit separators

int divide(int a, int b) {
    return a / b; // plain division
}

// a spliced line comment \
   runs on here "with a quote
int after_splice;

const char* s = "continued \
/* still a string */";
/**/ /***/ /* TODO -cCore : fix */
int main(void) { printf("%s // no\n", GREETING); return 0; } /* unterminated block at the end
int never_seen; // not a comment either
