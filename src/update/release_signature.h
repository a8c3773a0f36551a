// The launcher's trust in a downloaded release: its signed manifest checked
// against the public key compiled in, before the update script ever runs.
#pragma once
#include <string>

// Whether this build checks release signatures. A build configured without a
// key still checks the .sha256 file (in the update script) and says so.
bool signaturesChecked();
// The compiled-in public key as 64 hex digits; empty when there is none.
std::string releasePublicKeyHex();

// Why a downloaded release was refused.
enum ReleaseRefusal {
  RefusalNone = 0,
  RefusalUnreadable = 1,    // the .sig or the archive could not be read
  RefusalMalformed = 2,     // the .sig is not a signature file
  RefusalBadSignature = 3,  // not signed by the release key
  RefusalOtherRelease = 4,  // signed, but for another version or archive
  RefusalMismatch = 5,      // signed for this release, but the bytes differ
};

// Checks `archivePath` and `archivePath`.sig: the signature over the manifest
// by `publicKeyHex`, the manifest's version and archive name against the ones
// asked for, then the archive's size and SHA-256 against the manifest. Fills
// `detail` with a short English text of what differed.
int checkSignedRelease(const std::string& archivePath, const std::string& version, const std::string& archiveName,
                       const std::string& publicKeyHex, std::string& detail);

// The player's sentence for a refusal, in English or French.
std::string refusalText(int refusal, const std::string& detail, bool french);
