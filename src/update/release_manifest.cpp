// Writing, reading and checking a release's signed manifest with libsodium
// (Ed25519 signatures, SHA-256); no cryptography of our own.
#include "update/release_manifest.h"

#include <sodium.h>

#include <vector>

namespace {

const char* const header = "veyra-release 1";

bool isLowerHex(const std::string& s, size_t n) {
  if (s.size() != n) return false;
  for (char c : s)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

bool ready() { return sodium_init() >= 0; }

}  // namespace

std::string toHex(const unsigned char* data, size_t n) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < n; ++i) {
    out += digits[data[i] >> 4];
    out += digits[data[i] & 15];
  }
  return out;
}

bool fromHex(const std::string& hex, unsigned char* out, size_t n) {
  if (!isLowerHex(hex, 2 * n)) return false;
  auto value = [](char c) { return c <= '9' ? c - '0' : c - 'a' + 10; };
  for (size_t i = 0; i < n; ++i) out[i] = (unsigned char)(value(hex[2 * i]) * 16 + value(hex[2 * i + 1]));
  return true;
}

std::string manifestText(const ReleaseManifest& m) {
  return std::string(header) + "\nversion " + m.version + "\narchive " + m.archive + "\nsize " + std::to_string(m.size) +
         "\nsha256 " + m.sha256 + "\n";
}

std::string signatureFileText(const ReleaseManifest& m, const std::string& signatureHex) {
  return manifestText(m) + "signature " + signatureHex + "\n";
}

bool parseSignatureFile(const std::string& text, ReleaseManifest& m, std::string& signatureHex, std::string& error) {
  const char* const keys[] = {"", "version ", "archive ", "size ", "sha256 ", "signature "};
  std::vector<std::string> values;
  size_t at = 0;
  for (const char* key : keys) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) {
      error = "the signature file is cut short";
      return false;
    }
    std::string line = text.substr(at, end - at);
    at = end + 1;
    std::string k = key;
    if (k.empty() ? line != header : line.compare(0, k.size(), k) != 0) {
      error = "the signature file is not in the expected form";
      return false;
    }
    values.push_back(line.substr(k.empty() ? line.size() : k.size()));
  }
  if (at != text.size()) {
    error = "the signature file holds more than a signature";
    return false;
  }
  const std::string& size = values[3];
  if (size.empty() || size.size() > 19 || size.find_first_not_of("0123456789") != std::string::npos ||
      !isLowerHex(values[4], 64) || !isLowerHex(values[5], 128) || values[1].empty() || values[2].empty()) {
    error = "the signature file is not in the expected form";
    return false;
  }
  m.version = values[1];
  m.archive = values[2];
  m.size = std::stoull(size);
  m.sha256 = values[4];
  signatureHex = values[5];
  return true;
}

bool streamSha256(std::FILE* f, std::string& hex, uint64_t& size) {
  if (!ready() || !f) return false;
  crypto_hash_sha256_state state;
  crypto_hash_sha256_init(&state);
  std::vector<unsigned char> block(1 << 20);
  size = 0;
  for (;;) {
    size_t n = std::fread(block.data(), 1, block.size(), f);
    if (n) crypto_hash_sha256_update(&state, block.data(), n);
    size += n;
    if (n < block.size()) break;
  }
  if (std::ferror(f)) return false;
  unsigned char digest[crypto_hash_sha256_BYTES];
  crypto_hash_sha256_final(&state, digest);
  hex = toHex(digest, sizeof digest);
  return true;
}

bool manifestSignedBy(const ReleaseManifest& m, const std::string& signatureHex, const std::string& publicKeyHex) {
  unsigned char sig[crypto_sign_BYTES], pk[crypto_sign_PUBLICKEYBYTES];
  if (!ready() || !fromHex(signatureHex, sig, sizeof sig) || !fromHex(publicKeyHex, pk, sizeof pk)) return false;
  std::string text = manifestText(m);
  return crypto_sign_verify_detached(sig, reinterpret_cast<const unsigned char*>(text.data()), text.size(), pk) == 0;
}

std::string signManifest(const ReleaseManifest& m, const std::string& secretKeyHex) {
  unsigned char sk[crypto_sign_SECRETKEYBYTES], sig[crypto_sign_BYTES];
  if (!ready() || !fromHex(secretKeyHex, sk, sizeof sk)) return {};
  std::string text = manifestText(m);
  crypto_sign_detached(sig, nullptr, reinterpret_cast<const unsigned char*>(text.data()), text.size(), sk);
  sodium_memzero(sk, sizeof sk);
  return toHex(sig, sizeof sig);
}
