#ifndef PARSER_H
#define PARSER_H

#include <stdio.h>

/// TODO -cAPI: Return size_t, lines can exceed INT_MAX
int count_lines(FILE* f);

#endif
