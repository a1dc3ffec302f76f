#include <stdio.h>

#include "parser.h"

/* TODO 2 -oAnn -cCLI: Accept more than one input file */
int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : "input.txt";
    // TODO 1 -oBen -cErrors: Report a missing file by name
    FILE* f = fopen(path, "r");
    if (!f) {
        puts("TODO: this is a string, not a to-do");
        return 1;
    }
    // DONE -oAnn: Close the file on every path
    int n = count_lines(f);
    fclose(f);
    printf("%d lines /* TODO: not a comment either */\n", n);
    return 0;
}
