#include "driver.h"

int RunTarnwick(int, const char *const *)
{
    return 0;
}
