// TODO: not a unit of the project
int helper(void);
