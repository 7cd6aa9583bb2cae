#include "driver.h"

int main(int argc, char **argv)
{
    return RunTarnwick(argc, argv);
}
