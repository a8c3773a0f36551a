// The release check: asks the release service for its latest release on a
// thread of its own and publishes the outcome under `mutex`.
#pragma once
#include <memory>
#include <mutex>
#include <string>
#include <thread>

enum UpdateState { UpdateIdle = 0, UpdateChecking = 1, UpdateUpToDate = 2, UpdateAvailable = 3, UpdateFailed = 4 };

// Held by the App through a shared_ptr, and by a running check's thread too:
// a check that outlives a closing launcher keeps its own copy alive and never
// touches the destroyed App.
struct UpdateCheck : std::enable_shared_from_this<UpdateCheck> {
  std::mutex mutex;  // guards every field but `thread`
  int state = UpdateIdle;
  std::string latestVersion, releasePage, error, latestTag;
  bool manual = false;
  std::thread thread;  // main thread only

  void start(const std::string& url, bool manual);
};

// The release-page prefix the check appends the tag to.
extern const char* const releasePagePrefix;
// The first "tag_name" string member, accepted as 1 to 63 of [A-Za-z0-9._+-].
bool findTagName(const std::string& body, std::string& tag);
// Why a check without an accepted tag failed: "no release published yet" for
// a 404, "HTTP " and the status for any other answer, else the transfer's text.
std::string checkErrorText(bool transferOk, int status, const std::string& transferError);
// The check body: asks `url` and publishes the outcome in `check`.
void runUpdateCheck(UpdateCheck& check, const std::string& url);
