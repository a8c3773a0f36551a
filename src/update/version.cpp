// The launcher's compiled-in identity. The source commit is generated at build time.
#include "update/version.h"

const char* const launcherVersion = "0.1.6";
