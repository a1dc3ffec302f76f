/* TODO 1 -oBen: crlf file */
int x; // DONE -cBuild: changed
int y; // todo: no final line break