// Debian's fonts: the monospace files at their fixed places, and the other
// scripts' faces through fontconfig, which knows every installed font and the
// characters each one covers.
#include <fcntl.h>
#include <fontconfig/fontconfig.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "plat/fonts.h"
#include "plat/fonts_internal.h"
#include "plat/text.h"

namespace plat {

std::vector<std::string> monospaceFontFiles() {
  return {"/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf",
          "/usr/share/fonts/truetype/liberation/LiberationMono-Regular.ttf",
          "/usr/share/fonts/truetype/liberation2/LiberationMono-Regular.ttf"};
}

namespace {

// One letter per script that needs a face of its own, general scripts first so
// that Greek and Cyrillic come from an ordinary sans face rather than from the
// Latin part of a Han font. fontconfig picks the best installed sans face that
// has the letter, and honours the user's language for Han (Chinese or Japanese
// shapes).
constexpr FcChar32 kScriptSamples[] = {
    0x03A9,  // Greek
    0x0531,  // Armenian
    0x10D0,  // Georgian
    0x05D0,  // Hebrew
    0x0627,  // Arabic
    0x0905,  // Devanagari
    0x0985,  // Bengali
    0x0B85,  // Tamil
    0x0E01,  // Thai
    0x1200,  // Ethiopic
    0x6771,  // Han
    0x3042,  // Hiragana
    0xAC00,  // Hangul
};

// The face fontconfig would draw this letter with, when it really has the letter.
bool faceFor(FcConfig* config, FcChar32 sample, FontFace& face) {
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif"));
  if (!pattern) return false;
  FcCharSet* wanted = FcCharSetCreate();
  FcCharSetAddChar(wanted, sample);
  FcPatternAddCharSet(pattern, FC_CHARSET, wanted);
  FcCharSetDestroy(wanted);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(config, pattern, &result);
  FcPatternDestroy(pattern);
  if (!match) return false;
  FcChar8* file = nullptr;
  FcCharSet* covered = nullptr;
  int index = 0;
  // fontconfig always answers with its nearest font, which may lack the letter.
  const bool ok = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch &&
                  FcPatternGetCharSet(match, FC_CHARSET, 0, &covered) == FcResultMatch &&
                  FcCharSetHasChar(covered, sample);
  if (ok) {
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    face.path = reinterpret_cast<const char*>(file);
    face.index = index & 0xFFFF;  // the upper bits name a variable font's instance
  }
  FcPatternDestroy(match);
  return ok;
}

}  // namespace

std::vector<FontFace> fallbackFontFaces() {
  std::vector<FontFace> faces;
  // A private configuration, released at the end: nothing of fontconfig stays
  // behind, and its font cache makes the loading quick.
  FcConfig* config = FcInitLoadConfigAndFonts();
  if (!config) return faces;
  for (FcChar32 sample : kScriptSamples) {
    FontFace face;
    if (!faceFor(config, sample, face)) continue;
    const bool known = std::any_of(faces.begin(), faces.end(), [&](const FontFace& f) {
      return f.path == face.path && f.index == face.index;
    });
    if (!known) faces.push_back(face);
  }
  FcConfigDestroy(config);
  return faces;
}

bool mapWholeFile(const std::string& path, const unsigned char*& data, size_t& size, std::string& error) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = "could not open " + path + ": " + lastErrorText();
    return false;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    error = "could not read the size of " + path + ": " + lastErrorText();
    close(fd);
    return false;
  }
  if (st.st_size <= 0) {
    error = path + " is empty";
    close(fd);
    return false;
  }
  void* p = mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
  const int mapErrno = errno;
  close(fd);  // the mapping keeps the file
  if (p == MAP_FAILED) {
    errno = mapErrno;
    error = "could not map " + path + ": " + lastErrorText();
    return false;
  }
  data = static_cast<const unsigned char*>(p);
  size = size_t(st.st_size);
  return true;
}

}  // namespace plat
