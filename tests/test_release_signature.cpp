// A downloaded release against its signed manifest: the launcher's check with
// a key pair made here, on a table of good, forged and mismatched files; and
// the manifest's exact text, which the release tool and the launcher share.
#include <gtest/gtest.h>
#include <sodium.h>

#include <filesystem>
#include <fstream>

#include "plat/text.h"
#include "test_files.h"
#include "update/release_manifest.h"
#include "update/release_signature.h"
#include "update/update_install.h"

namespace fs = std::filesystem;

namespace {

struct KeyPair {
  std::string publicHex, secretHex;
  KeyPair() {
    EXPECT_GE(sodium_init(), 0);
    unsigned char pk[crypto_sign_PUBLICKEYBYTES], sk[crypto_sign_SECRETKEYBYTES];
    crypto_sign_keypair(pk, sk);
    publicHex = toHex(pk, sizeof pk);
    secretHex = toHex(sk, sizeof sk);
  }
};

void put(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

std::string sha256Of(const std::string& bytes) {
  unsigned char d[crypto_hash_sha256_BYTES];
  crypto_hash_sha256(d, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  return toHex(d, sizeof d);
}

TEST(ReleaseManifest, TextIsExactAndReadsBack) {
  ReleaseManifest m{"0.1.7", "Morvane-0.1.7-tambler.zip", 42, std::string(64, 'a')};
  EXPECT_EQ(manifestText(m),
            "veyra-release 1\nversion 0.1.7\narchive Morvane-0.1.7-tambler.zip\nsize 42\nsha256 " +
                std::string(64, 'a') + "\n");
  ReleaseManifest back;
  std::string sig, error;
  ASSERT_TRUE(parseSignatureFile(signatureFileText(m, std::string(128, 'b')), back, sig, error)) << error;
  EXPECT_EQ(back.version, "0.1.7");
  EXPECT_EQ(back.archive, m.archive);
  EXPECT_EQ(back.size, 42u);
  EXPECT_EQ(sig, std::string(128, 'b'));

  const std::string good = signatureFileText(m, std::string(128, 'b'));
  std::string crlf = good, bigSize = good, upperHex = good;
  crlf.insert(crlf.find('\n'), "\r");
  bigSize.replace(bigSize.find("size 42"), 7, "size 99999999999999999999");
  upperHex.replace(upperHex.find("sha256 a"), 8, "sha256 A");
  const std::string bad[] = {"", good.substr(0, good.size() - 1), good + "x", good + "\n",
                             "veyra-release 2" + good.substr(15), crlf, bigSize, upperHex};
  for (const std::string& text : bad) EXPECT_FALSE(parseSignatureFile(text, back, sig, error)) << text;
}

TEST(ReleaseSignature, RefusesWhatTheKeyDidNotSign) {
  KeyPair key, other;
  fs::path dir = fs::temp_directory_path() / ("veyra-sig-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  fs::create_directories(dir);
  const std::string name = releaseAssetName("0.1.7");
  const std::string archive = plat::pathToUtf8(dir / name);
  const std::string bytes = "PK archive bytes of 0.1.7";
  ReleaseManifest m{"0.1.7", name, bytes.size(), sha256Of(bytes)};

  struct Case {
    const char* name;
    std::string archiveBytes, sigText;
    int refusal;
  };
  ReleaseManifest older = m, otherName = m, longer = m;
  older.version = "0.1.5";
  otherName.archive = releaseAssetName("0.1.8");
  longer.size += 1;
  std::string tamperedSig = signatureFileText(m, signManifest(m, key.secretHex));
  char& digit = tamperedSig[tamperedSig.size() - 5];
  digit = digit == '0' ? '1' : '0';
  const Case cases[] = {
      {"good", bytes, signatureFileText(m, signManifest(m, key.secretHex)), RefusalNone},
      {"tampered archive, same size", "PK archive bytes of 6.6.6", signatureFileText(m, signManifest(m, key.secretHex)),
       RefusalMismatch},
      {"other key", bytes, signatureFileText(m, signManifest(m, other.secretHex)), RefusalBadSignature},
      {"altered signature", bytes, tamperedSig, RefusalBadSignature},
      {"manifest edited after signing", bytes,
       signatureFileText(longer, signManifest(m, key.secretHex)), RefusalBadSignature},
      {"signed for another version", bytes, signatureFileText(older, signManifest(older, key.secretHex)),
       RefusalOtherRelease},
      {"signed for another archive", bytes, signatureFileText(otherName, signManifest(otherName, key.secretHex)),
       RefusalOtherRelease},
      {"size differs", bytes + "!", signatureFileText(m, signManifest(m, key.secretHex)), RefusalMismatch},
      {"not a signature file", bytes, "hello\n", RefusalMalformed},
      {"oversized signature file", bytes, std::string(maxSignatureFileBytes + 1, 'x'), RefusalMalformed},
  };
  for (const Case& c : cases) {
    put(dir / name, c.archiveBytes);
    put(dir / (name + ".sig"), c.sigText);
    std::string detail;
    EXPECT_EQ(checkSignedRelease(archive, "0.1.7", name, key.publicHex, detail), c.refusal) << c.name << ": " << detail;
    if (c.refusal != RefusalNone) {
      EXPECT_FALSE(detail.empty()) << c.name;
      for (bool french : {false, true}) EXPECT_NE(refusalText(c.refusal, detail, french).find(detail), std::string::npos);
    }
  }
  fs::remove(dir / (name + ".sig"));
  std::string detail;
  EXPECT_EQ(checkSignedRelease(archive, "0.1.7", name, key.publicHex, detail), RefusalUnreadable);
  fs::remove_all(dir);
}

TEST(ReleaseSignature, RestartCarriesTheVersionAndAnAbsoluteRelease) {
  using V = std::vector<std::string>;
  const struct {
    V args, expected;
  } cases[] = {
      {{}, {"--updated-to", "0.1.7"}},
      {{"--release", "rel", "--update-now"}, {"--release", "/abs/rel", "--update-now", "--updated-to", "0.1.7"}},
      {{"--updated-to", "0.1.6", "--update-now"}, {"--update-now", "--updated-to", "0.1.7"}},
      {{"--release"}, {"--release", "--updated-to", "0.1.7"}},
  };
  for (const auto& c : cases) EXPECT_EQ(restartArguments(c.args, "/abs/rel", "0.1.7"), c.expected);
}

}  // namespace
