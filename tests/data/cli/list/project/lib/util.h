#pragma once

// TODO 1 -oAnn -cUI: Fix the splitter position
int parse(void);
