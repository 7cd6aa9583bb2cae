// The conversion driver: command line (switches.h), loader choice, fitting
// the picture (picture_fit.h), the output format, the header writer's call,
// messages and exit status. Only this layer prints.
#ifndef TARNWICK_DRIVER_H
#define TARNWICK_DRIVER_H

#include "switches.h"

namespace tarnwick {

// Runs one conversion as the program's entry point does: returns 0 after a
// successful conversion or the usage text, -1 after a load or write error.
int RunTarnwick(int n_argc, const char *const *p_argv);

} // namespace tarnwick

#endif // TARNWICK_DRIVER_H
