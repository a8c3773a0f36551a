// Data compiled into the executable (the Exo 2 typeface "EXO2" and its licence
// "OFL"): raw-data resources on Windows, linked-in arrays elsewhere.
#pragma once
#include <cstddef>

namespace plat {

// Points at the resource's bytes, valid for the process's life; false when absent.
bool findResource(const char* name, const unsigned char*& data, size_t& size);

}  // namespace plat
