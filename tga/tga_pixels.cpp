#include "tga_reader.h"
