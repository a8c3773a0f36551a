// The release key tool, built for the machine that builds (never shipped):
//
//   release_key generate SECRET_FILE PUBLIC_FILE   a new Ed25519 key pair, as hex text
//   release_key public SECRET_FILE                 prints the public half
//   release_key sign SECRET_FILE ARCHIVE VERSION   writes ARCHIVE.sha256 and ARCHIVE.sig
//
// SECRET_FILE holds libsodium's 64-byte secret key as 128 hex digits. The
// signed manifest's form is the launcher's own (src/update/release_manifest).
#include <sodium.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "update/release_manifest.h"

namespace {

int fail(const std::string& what) {
  std::cerr << "release_key: " << what << "\n";
  return 1;
}

bool readSecret(const char* path, std::string& hex) {
  std::ifstream in(path);
  if (!(in >> hex)) return false;
  unsigned char sk[crypto_sign_SECRETKEYBYTES];
  bool ok = fromHex(hex, sk, sizeof sk);
  sodium_memzero(sk, sizeof sk);
  return ok;
}

bool writeFile(const std::string& path, const std::string& text, bool secret) {
  std::string tmp = path + ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    if (secret) chmod(tmp.c_str(), 0600);
    out << text;
    if (!out.flush()) return false;
  }
  return std::rename(tmp.c_str(), path.c_str()) == 0;
}

std::string publicOf(const std::string& secretHex) {
  unsigned char sk[crypto_sign_SECRETKEYBYTES], pk[crypto_sign_PUBLICKEYBYTES];
  fromHex(secretHex, sk, sizeof sk);
  crypto_sign_ed25519_sk_to_pk(pk, sk);
  sodium_memzero(sk, sizeof sk);
  return toHex(pk, sizeof pk);
}

}  // namespace

int main(int argc, char** argv) {
  if (sodium_init() < 0) return fail("libsodium cannot start");
  std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "generate" && argc == 4) {
    unsigned char pk[crypto_sign_PUBLICKEYBYTES], sk[crypto_sign_SECRETKEYBYTES];
    crypto_sign_keypair(pk, sk);
    std::string skHex = toHex(sk, sizeof sk);
    sodium_memzero(sk, sizeof sk);
    if (!writeFile(argv[2], skHex + "\n", true) || !writeFile(argv[3], toHex(pk, sizeof pk) + "\n", false))
      return fail("cannot write the key files");
    return 0;
  }
  if (mode == "public" && argc == 3) {
    std::string sk;
    if (!readSecret(argv[2], sk)) return fail(std::string("no secret key in ") + argv[2]);
    std::cout << publicOf(sk) << "\n";
    return 0;
  }
  if (mode == "sign" && argc == 5) {
    std::string sk;
    if (!readSecret(argv[2], sk)) return fail(std::string("no secret key in ") + argv[2]);
    std::string archive = argv[3];
    ReleaseManifest m;
    m.version = argv[4];
    m.archive = archive.substr(archive.find_last_of('/') + 1);
    std::FILE* f = std::fopen(archive.c_str(), "rb");
    bool hashed = f && streamSha256(f, m.sha256, m.size);
    if (f) std::fclose(f);
    if (!hashed) return fail("cannot read " + archive);
    std::string sig = signManifest(m, sk);
    if (sig.empty()) return fail("cannot sign");
    if (!writeFile(archive + ".sha256", m.sha256 + "  " + m.archive + "\n", false) ||
        !writeFile(archive + ".sig", signatureFileText(m, sig), false))
      return fail("cannot write beside " + archive);
    return 0;
  }
  return fail("usage: release_key generate SECRET PUBLIC | public SECRET | sign SECRET ARCHIVE VERSION");
}
