// Debian's monospace fonts: DejaVu Sans Mono (fonts-dejavu-core), then Liberation Mono.
#include "plat/fonts.h"

namespace plat {

std::vector<std::string> monospaceFontFiles() {
  return {"/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf",
          "/usr/share/fonts/truetype/liberation/LiberationMono-Regular.ttf",
          "/usr/share/fonts/truetype/liberation2/LiberationMono-Regular.ttf"};
}

}  // namespace plat
