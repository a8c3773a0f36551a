// Installing the menu entry and icons into the user's data folder.
#include "app/desktop_entry.h"

#include <filesystem>
#include <system_error>

#include "plat/text.h"
#include "settings/ini.h"

namespace fs = std::filesystem;

namespace {
const char* const kEntryName = "veyra-launcher.desktop";

bool makeFolder(const fs::path& folder, std::string& error) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (!ec) return true;
  error = "cannot create " + plat::pathToUtf8(folder) + ": " + ec.message();
  return false;
}
}  // namespace

std::string desktopExecValue(const std::string& program) {
  if (program.empty() || plat::narrow(plat::widen(program)) != program) return {};
  bool reserved = false;
  for (unsigned char c : program) {
    if (c < 0x20 || c == 0x7F) return {};
    if (std::string_view(" \"'\\><~|&;$*?#()`").find(char(c)) != std::string_view::npos) reserved = true;
  }
  // Two layers: inside the quotes " ` $ \ take a backslash, then the file's
  // string escaping doubles every backslash. A percent sign would start a
  // field code, quoted or not.
  std::string out = reserved ? "\"" : "";
  for (char c : program) {
    if (reserved && (c == '"' || c == '`' || c == '$' || c == '\\')) out += "\\\\";
    if (c == '\\') out += "\\\\";
    else if (c == '%') out += "%%";
    else out += c;
  }
  if (reserved) out += "\"";
  return out;
}

std::string desktopEntryFor(const std::string& entryText, const std::string& program) {
  // TryExec is a plain string: only the file's own escaping applies. It hides
  // the entry once the launcher is gone (a stick unplugged, a folder deleted).
  std::string tryExec;
  for (char c : program) tryExec += c == '\\' ? std::string("\\\\") : std::string(1, c);
  std::string out;
  size_t pos = 0;
  while (pos < entryText.size()) {
    size_t end = entryText.find('\n', pos);
    if (end == std::string::npos) end = entryText.size();
    std::string line = entryText.substr(pos, end - pos);
    if (line.rfind("Exec=", 0) == 0) line = "Exec=" + desktopExecValue(program);
    else if (line.rfind("TryExec=", 0) == 0) line = "TryExec=" + tryExec;
    out += line + "\n";
    pos = end + 1;
  }
  return out;
}

bool installDesktopEntry(const std::string& releaseDir, const std::string& program, const std::string& dataHome,
                         DesktopInstall& done, std::string& error, bool& missing) {
  missing = false;
  const std::string exec = desktopExecValue(program);
  if (exec.empty()) {
    error = "a desktop entry cannot name this launcher's path: " + program;
    return false;
  }
  const std::string share = plat::joinPath(releaseDir, "share");
  const std::string source = plat::joinPath(plat::joinPath(share, "applications"), kEntryName);
  const fs::path icons = plat::pathFromUtf8(plat::joinPath(share, "icons"));
  std::string entryText;
  std::error_code ec;
  if (!plat::readWholeFile(source, entryText) || !fs::is_directory(icons, ec)) {
    missing = true;
    error = "the release has no menu entry and icons in " + share;
    return false;
  }
  if (dataHome.empty()) {
    error = "no user data folder: set XDG_DATA_HOME or HOME";
    return false;
  }

  // Icons first: a menu entry that appears before its icon shows a blank one.
  for (fs::recursive_directory_iterator it(icons, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    const fs::path target = plat::pathFromUtf8(dataHome) / "icons" / it->path().lexically_relative(icons);
    std::string bytes;
    if (!plat::readWholeFile(plat::pathToUtf8(it->path()), bytes)) {
      error = "cannot read " + plat::pathToUtf8(it->path());
      return false;
    }
    if (!makeFolder(target.parent_path(), error)) return false;
    if (!IniFile::writeAtomically(plat::pathToUtf8(target), bytes, &error)) return false;
    done.iconPaths.push_back(plat::pathToUtf8(target));
  }
  if (ec) {
    error = "cannot list " + plat::pathToUtf8(icons) + ": " + ec.message();
    return false;
  }

  const fs::path applications = plat::pathFromUtf8(dataHome) / "applications";
  if (!makeFolder(applications, error)) return false;
  done.entryPath = plat::pathToUtf8(applications / kEntryName);
  return IniFile::writeAtomically(done.entryPath, desktopEntryFor(entryText, program), &error);
}
