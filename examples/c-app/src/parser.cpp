#include <cstdio>
#include <string>

extern "C" {
#include "parser.h"
}

namespace {
const char* kBanner = R"(
  // TODO: raw strings are not comments
)";
}

/* TODO 3 -oCleo -cPerformance: Read in large blocks
   instead of one character at a time */
extern "C" int count_lines(FILE* f) {
    int n = 0;
    for (int c; (c = std::fgetc(f)) != EOF;)
        if (c == '\n') // todo: count a last line without a line break
            ++n;
    (void)kBanner;
    return n;
}
