#include "util.h"

/* TODO 4 -oJosé -cLegacy, old: Drop the old parser */
int parse(void) { return 0; } // TODO 2 -oAnn: Check the return value
// DONE 5 -oBen -cBuild: Remove the global
/* TODO 3 -o李雷 -c网络: 处理超时
   并重试 */
