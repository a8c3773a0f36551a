// Raw-data resources of the executable.
#include <windows.h>

#include "plat/resource.h"

namespace plat {

bool findResource(const char* name, const unsigned char*& data, size_t& size) {
  HRSRC res = FindResourceA(nullptr, name, MAKEINTRESOURCEA(10));  // RT_RCDATA
  if (!res) return false;
  HGLOBAL mem = LoadResource(nullptr, res);
  DWORD n = SizeofResource(nullptr, res);
  const void* p = mem ? LockResource(mem) : nullptr;
  if (!p || n == 0) return false;
  data = static_cast<const unsigned char*>(p);
  size = n;
  return true;
}

}  // namespace plat
