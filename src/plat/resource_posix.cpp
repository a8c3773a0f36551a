// Data compiled into the binary by cmake/embed.sh, looked up by the names
// Windows uses for the same raw-data resources.
#include <cstring>

#include "plat/resource.h"

extern "C" {
struct VeyraResource {
  const char* name;
  const unsigned char* data;
  size_t size;
};
extern const struct VeyraResource veyraResources[];
}

namespace plat {

bool findResource(const char* name, const unsigned char*& data, size_t& size) {
  for (const VeyraResource* r = veyraResources; r->name; r++) {
    if (std::strcmp(r->name, name) == 0 && r->size > 0) {
      data = r->data;
      size = r->size;
      return true;
    }
  }
  return false;
}

}  // namespace plat
