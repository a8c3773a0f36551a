// The App's globals, defaults and destruction.
#include "app/app.h"


bool uiFrench = false;

// Host names are ours to choose; the paths are the release service's.
const char* const defaultUpdateUrl = "https://api.github.com/repos/TheTamblers/Morvane/releases/latest";
const char* const defaultDownloadPrefix = "https://github.com/TheTamblers/Morvane/releases/download/";

App::~App() {
  cancelUpdate.store(true);
  if (updateThread.joinable()) updateThread.join();
  installer.record.reset();
  // A check still in flight is not waited for; it holds its own reference to
  // the shared UpdateCheck and its result is never read.
  if (updateCheck->thread.joinable()) updateCheck->thread.detach();
  game.record.reset();
  build.record.reset();
  discCheck.record.reset();
}
