#include "jpeg_decoder.h"
