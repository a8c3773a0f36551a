// Shell services on Linux: SDL's file dialog (the desktop portal or a
// helper program), xdg-open, statvfs and /proc/self/exe.
#include <SDL3/SDL.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "plat/process.h"
#include "plat/shell.h"
#include "plat/text.h"

namespace plat {

namespace {

struct DialogAnswer {
  std::atomic<bool> done{false};
  std::string path, error;
};

// SDL tells a cancel (an empty list) from a dialog that could not open (no list).
void SDLCALL dialogDone(void* userdata, const char* const* files, int) {
  DialogAnswer* answer = static_cast<DialogAnswer*>(userdata);
  if (files && files[0]) answer->path = files[0];
  if (!files) answer->error = std::string("the file dialog did not open: ") + SDL_GetError();
  answer->done = true;
}

bool programOnPath(const std::string& name) {
  const std::string path = getEnv("PATH");
  size_t start = 0;
  while (start < path.size()) {
    size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    const std::string candidate = path.substr(start, end - start) + "/" + name;
    struct stat st;
    if (end > start && stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(candidate.c_str(), X_OK) == 0)
      return true;
    start = end + 1;
  }
  return false;
}

// The desktop portal starts on demand over the session bus, from its service
// file; without a bus or that file the portal cannot answer.
bool portalReachable() {
  const std::string runtime = getEnv("XDG_RUNTIME_DIR");
  const bool bus = !getEnv("DBUS_SESSION_BUS_ADDRESS").empty() || (!runtime.empty() && pathExists(runtime + "/bus"));
  if (!bus) return false;
  std::string dataHome = getEnv("XDG_DATA_HOME");
  if (dataHome.empty() && !getEnv("HOME").empty()) dataHome = getEnv("HOME") + "/.local/share";
  std::string dirs = getEnv("XDG_DATA_DIRS");
  if (dirs.empty()) dirs = "/usr/local/share:/usr/share";
  dirs = dataHome + ":" + dirs;
  size_t start = 0;
  while (start < dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    if (end > start &&
        pathExists(dirs.substr(start, end - start) + "/dbus-1/services/org.freedesktop.portal.Desktop.service"))
      return true;
    start = end + 1;
  }
  return false;
}

// The owner handle is a Windows one; here the launcher's single SDL window
// (if any) owns the dialog.
SDL_Window* ownerWindowHere() {
  int count = 0;
  SDL_Window** windows = SDL_GetWindows(&count);
  SDL_Window* found = windows && count > 0 ? windows[0] : nullptr;
  SDL_free(windows);
  return found;
}

}  // namespace

// As SDL decides: the portal first, then zenity, each unless SDL's dialog-driver
// hint names the other.
bool hasFileChooser() {
  const std::string driver = getEnv("SDL_FILE_DIALOG_DRIVER");
  return ((driver.empty() || driver == "portal") && portalReachable()) ||
         ((driver.empty() || driver == "zenity") && programOnPath("zenity"));
}

std::string openFileDialog(void* ownerWindow, const std::string& title, const std::string& discImagesLabel,
                           const std::string& allFilesLabel, std::string& error) {
  std::string discName = discImagesLabel + " (*.iso, *.bin, *.cue)";
  std::string allName = allFilesLabel + " (*.*)";
  const SDL_DialogFileFilter filters[] = {{discName.c_str(), "iso;bin;cue"}, {allName.c_str(), "*"}};
  DialogAnswer answer;
  SDL_PropertiesID props = SDL_CreateProperties();
  if (!props) {
    error = std::string("the file dialog did not open: ") + SDL_GetError();
    return {};
  }
  SDL_SetPointerProperty(props, SDL_PROP_FILE_DIALOG_FILTERS_POINTER, (void*)filters);
  SDL_SetNumberProperty(props, SDL_PROP_FILE_DIALOG_NFILTERS_NUMBER, 2);
  SDL_SetPointerProperty(props, SDL_PROP_FILE_DIALOG_WINDOW_POINTER, ownerWindowHere());
  SDL_SetStringProperty(props, SDL_PROP_FILE_DIALOG_TITLE_STRING, title.c_str());
  SDL_SetBooleanProperty(props, SDL_PROP_FILE_DIALOG_MANY_BOOLEAN, false);
  SDL_ShowFileDialogWithProperties(SDL_FILEDIALOG_OPENFILE, dialogDone, &answer, props);
  // The dialog answers through the event loop; keep it turning until then,
  // so the call stays modal for the caller.
  while (!answer.done) {
    SDL_PumpEvents();
    SDL_Delay(10);
  }
  SDL_DestroyProperties(props);
  error = answer.error;
  return answer.path;
}

void shellOpen(const std::string& target) {
  ChildProcess opener;
  std::string error;
  // Plain start: the opener and what it opens belong to the desktop, not to us.
  startProcess(opener, "xdg-open", {target}, "", false, error);
}

uint64_t freeDiskBytes(const std::string& folder) {
  struct statvfs st;
  if (folder.empty() || statvfs(folder.c_str(), &st) != 0) return 0;
  return uint64_t(st.f_bavail) * uint64_t(st.f_frsize);
}

std::string exePath() {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  // Once an update has replaced the running file the kernel marks the old
  // one; the path of the new launcher is the same without the mark.
  std::string path = p.native();
  const std::string deleted = " (deleted)";
  if (path.size() > deleted.size() && path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
    path.resize(path.size() - deleted.size());
  return path;
}

}  // namespace plat
