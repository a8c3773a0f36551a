// Shell services on Linux: SDL's file dialog (the desktop portal or a
// helper program), xdg-open, statvfs and /proc/self/exe.
#include <SDL3/SDL.h>
#include <sys/statvfs.h>

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
  std::string path;
};

void SDLCALL dialogDone(void* userdata, const char* const* files, int) {
  DialogAnswer* answer = static_cast<DialogAnswer*>(userdata);
  if (files && files[0]) answer->path = files[0];
  answer->done = true;
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

std::string openFileDialog(void* ownerWindow, const std::string& title, const std::string& discImagesLabel,
                           const std::string& allFilesLabel) {
  std::string discName = discImagesLabel + " (*.iso, *.bin, *.cue)";
  std::string allName = allFilesLabel + " (*.*)";
  const SDL_DialogFileFilter filters[] = {{discName.c_str(), "iso;bin;cue"}, {allName.c_str(), "*"}};
  DialogAnswer answer;
  SDL_PropertiesID props = SDL_CreateProperties();
  if (!props) return {};
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
