#include "header_writer.h"

// Placeholder until the writer lands.
bool WriteImageHeader(const Image &, bool, bool, bool, const char *, const char *)
{
    return false;
}
