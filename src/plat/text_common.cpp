// Text helpers shared by both backends.
#include "plat/text.h"

namespace plat {

std::string trimSystemMessage(std::string text) {
  // System messages end in ".\r\n" on Windows; a space stops the stripping so
  // a message that deliberately ends in ". " keeps it.
  while (!text.empty()) {
    char c = text.back();
    if (c != '\r' && c != '\n' && c != '.') break;
    text.pop_back();
  }
  return text;
}

}  // namespace plat
