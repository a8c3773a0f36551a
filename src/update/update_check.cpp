// The release check: one GET of the latest-release answer on a thread of its
// own, the tag found by a plain scan of the body, the outcome published once.
#include "update/update_check.h"

#include <system_error>

#include "plat/http.h"
#include "update/version.h"

const char* const releasePagePrefix = "https://github.com/TheTamblers/Morvane/releases/tag/";

namespace {
const uint64_t maxAnswerBytes = 1048576;
}  // namespace

void runUpdateCheck(UpdateCheck& check, const std::string& url) {
  std::string body, error, tag;
  int status = 0;
  bool ok = plat::httpGet(url, std::string("Veyra-Launcher/") + launcherVersion, body, status, error, maxAnswerBytes);
  bool found = ok && status == 200 && findTagName(body, tag);
  bool newer = found && isNewerRelease(tag, launcherVersion);
  std::lock_guard<std::mutex> lock(check.mutex);
  if (found) {
    check.latestVersion = (tag[0] == 'v' || tag[0] == 'V') ? tag.substr(1) : tag;
    check.latestTag = tag;
    check.releasePage = releasePagePrefix + tag;
    check.state = newer ? UpdateAvailable : UpdateUpToDate;
  } else {
    check.state = UpdateFailed;
    check.error = checkErrorText(ok, status, error);
  }
}

void UpdateCheck::start(const std::string& url, bool manualCheck) {
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (state == UpdateChecking) return;
    state = UpdateChecking;
    manual = manualCheck;
  }
  if (thread.joinable()) thread.join();
  // The thread keeps this record alive: a launcher closing meanwhile lets the
  // check run on without waiting, and nothing it writes has been freed.
  std::shared_ptr<UpdateCheck> self = shared_from_this();
  try {
    thread = std::thread([self, url] { runUpdateCheck(*self, url); });
  } catch (const std::system_error& e) {
    // The check never ran: it must not stay "Checking" for good.
    std::lock_guard<std::mutex> lock(mutex);
    state = UpdateFailed;
    error = std::string("the check could not start: ") + e.what();
  }
}
