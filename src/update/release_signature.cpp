// Checking a downloaded release against its signed manifest.
#include "update/release_signature.h"

#include <cstdio>

#include "plat/text.h"
#include "update/release_manifest.h"

extern const char* const releasePublicKey;  // generated at configure time; empty without a key

bool signaturesChecked() { return releasePublicKey[0] != '\0'; }

std::string releasePublicKeyHex() { return releasePublicKey; }

int checkSignedRelease(const std::string& archivePath, const std::string& version, const std::string& archiveName,
                       const std::string& publicKeyHex, std::string& detail) {
  std::string text;
  FILE* sig = plat::openFile(archivePath + ".sig", "rb");
  if (!sig) {
    detail = "the signature file cannot be read";
    return RefusalUnreadable;
  }
  char block[maxSignatureFileBytes + 1];
  size_t n = std::fread(block, 1, sizeof block, sig);
  std::fclose(sig);
  if (n > maxSignatureFileBytes) {
    detail = "the signature file is too large";
    return RefusalMalformed;
  }
  text.assign(block, n);

  ReleaseManifest m;
  std::string signature;
  if (!parseSignatureFile(text, m, signature, detail)) return RefusalMalformed;
  if (!manifestSignedBy(m, signature, publicKeyHex)) {
    detail = "the signature is not the release key's";
    return RefusalBadSignature;
  }
  if (m.version != version || m.archive != archiveName) {
    detail = "signed for " + m.archive + " (version " + m.version + ")";
    return RefusalOtherRelease;
  }
  FILE* f = plat::openFile(archivePath, "rb");
  std::string sha;
  uint64_t size = 0;
  bool hashed = f && streamSha256(f, sha, size);
  if (f) std::fclose(f);
  if (!hashed) {
    detail = "the archive cannot be read";
    return RefusalUnreadable;
  }
  if (size != m.size) {
    detail = "the archive has " + std::to_string(size) + " bytes, the signed release " + std::to_string(m.size);
    return RefusalMismatch;
  }
  if (sha != m.sha256) {
    detail = "the archive's SHA-256 differs from the signed one";
    return RefusalMismatch;
  }
  detail.clear();
  return RefusalNone;
}

std::string refusalText(int refusal, const std::string& detail, bool french) {
  std::string why;
  switch (refusal) {
    case RefusalUnreadable:
    case RefusalMalformed:
      why = french ? "La signature de cette version n'a pas pu être vérifiée"
                   : "This release's signature could not be checked";
      break;
    case RefusalBadSignature:
      why = french ? "Cette version n'est pas signée par le projet" : "This release is not signed by the project";
      break;
    case RefusalOtherRelease:
      why = french ? "La signature appartient à une autre version" : "The signature belongs to another release";
      break;
    default:
      why = french ? "Le téléchargement ne correspond pas à la version signée"
                   : "The download does not match the signed release";
      break;
  }
  return why + " (" + detail + "). " +
         (french ? "Rien n'a été installé et le fichier a été supprimé." : "Nothing was installed and the file was deleted.");
}
