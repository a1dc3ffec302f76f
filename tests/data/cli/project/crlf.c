/* TODO 1 -oBen: crlf file */
int x; // TODO -cBuild: line comment in crlf
int y; // todo: no final line break