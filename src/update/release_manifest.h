// The signed description of a release archive, shared by the launcher (which
// checks it) and the release tool (which writes it). The .sig file beside an
// archive is the manifest followed by one signature line:
//
//   veyra-release 1
//   version 0.1.7
//   archive Morvane-0.1.7-tambler.zip
//   size 123456
//   sha256 <64 lowercase hex digits>
//   signature <128 lowercase hex digits>
//
// Every line ends in "\n" (no "\r"); the Ed25519 signature covers the exact
// bytes of the five lines before it.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

struct ReleaseManifest {
  std::string version, archive;
  uint64_t size = 0;
  std::string sha256;  // lowercase hex
};

// Larger .sig files are refused unread.
constexpr uint64_t maxSignatureFileBytes = 4096;

// The five signed lines.
std::string manifestText(const ReleaseManifest& m);
// The whole .sig file: the manifest and its signature line.
std::string signatureFileText(const ReleaseManifest& m, const std::string& signatureHex);
// Reads a .sig file's text strictly; false with a short English reason.
bool parseSignatureFile(const std::string& text, ReleaseManifest& m, std::string& signatureHex, std::string& error);
// SHA-256 (lowercase hex) and size of everything left in `f`; false on a read error.
bool streamSha256(std::FILE* f, std::string& hex, uint64_t& size);
// Whether `signatureHex` is a valid Ed25519 signature of the manifest by `publicKeyHex`.
bool manifestSignedBy(const ReleaseManifest& m, const std::string& signatureHex, const std::string& publicKeyHex);
// Signs the manifest with a libsodium secret key (128 hex digits); empty on a bad key.
std::string signManifest(const ReleaseManifest& m, const std::string& secretKeyHex);
// Lowercase hex of bytes, and back (false on odd length or a non-hex digit).
std::string toHex(const unsigned char* data, size_t n);
bool fromHex(const std::string& hex, unsigned char* out, size_t n);
