#include "archive/codecs/hmac_sha1.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qel::codecs {
namespace {

std::string Hex(const std::uint8_t* data, std::size_t size) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (std::size_t i = 0; i < size; ++i) {
    text += digits[data[i] >> 4];
    text += digits[data[i] & 15];
  }
  return text;
}

const std::uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const std::uint8_t*>(s.data()); }

// FIPS 180-4's one-block example, and a long message through both paths in uneven pieces.
TEST(Sha1, HashesTheExampleAndAgreesAcrossPaths) {
  TSha1 abc;
  abc.Update(Bytes("abc"), 3);
  const TSha1Digest digest = abc.Final();
  EXPECT_EQ(Hex(digest.data(), digest.size()), "a9993e364706816aba3e25717850c26c9cd0d89d");

  std::vector<std::uint8_t> message(100000);
  for (std::size_t i = 0; i < message.size(); ++i) message[i] = static_cast<std::uint8_t>(i * 7 + (i >> 8));
  std::string results[2];
  for (const bool hardware : {false, true}) {
    TSha1 hash;
    hash.UseHardware(hardware);
    for (std::size_t at = 0, piece = 1; at < message.size(); at += piece, piece = piece * 3 + 1) {
      hash.Update(message.data() + at, std::min(piece, message.size() - at));
    }
    const TSha1Digest d = hash.Final();
    results[hardware] = Hex(d.data(), d.size());
  }
  EXPECT_EQ(results[0], results[1]);
}

// RFC 2202 section 3, the cases with a full-length code (key longer than a block included).
TEST(HmacSha1, GivesTheCodesOfTheTestCases) {
  const struct {
    std::string Key;
    std::string Data;
    const char* Code;
  } cases[] = {
      {std::string(20, '\x0b'), "Hi There", "b617318655057264e28bc0b6fb378c8ef146be00"},
      {"Jefe", "what do ya want for nothing?", "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"},
      {std::string(20, '\xaa'), std::string(50, '\xdd'), "125d7342b9ac11cd91a39af48aa17b4f63f175d3"},
      {"\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10\x11\x12\x13\x14\x15\x16\x17\x18\x19",
       std::string(50, '\xcd'), "4c9007f4026250c6bc8414f9bf50c86c2d7235da"},
      {std::string(80, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First",
       "aa4ae5e15272d00e95705637ce8a3b55ed402112"},
      {std::string(80, '\xaa'), "Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data",
       "e8e99d0f45237d786d6bbaa7965c7808bbff1a91"},
  };
  for (const auto& c : cases) {
    THmacSha1 hmac;
    hmac.SetKey(Bytes(c.Key), c.Key.size());
    hmac.Update(Bytes(c.Data), c.Data.size());
    TSha1Digest code = hmac.Final();
    EXPECT_EQ(Hex(code.data(), code.size()), c.Code) << c.Data;
    // The key stays: a second message gets the same code.
    hmac.Update(Bytes(c.Data), c.Data.size());
    code = hmac.Final();
    EXPECT_EQ(Hex(code.data(), code.size()), c.Code) << c.Data;
  }
}

// RFC 6070, all but the case of 16 777 216 iterations; outputs longer than one block of 20 bytes.
TEST(Pbkdf2HmacSha1, DerivesTheKeysOfTheTestVectors) {
  const struct {
    std::string Password;
    std::string Salt;
    std::uint32_t Iterations;
    const char* Key;
  } cases[] = {
      {"password", "salt", 1, "0c60c80f961f0e71f3a9b524af6012062fe037a6"},
      {"password", "salt", 2, "ea6c014dc72d6f8ccd1ed92ace1d41f0d8de8957"},
      {"password", "salt", 4096, "4b007901b765489abead49d926f721d065a429c1"},
      {"passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096,
       "3d2eec4fe41c849b80c8d83662c0e44a8b291a964cf2f07038"},
      {std::string("pass\0word", 9), std::string("sa\0lt", 5), 4096, "56fa6aa75548099dcc37d7f03425e0c3"},
  };
  for (const auto& c : cases) {
    const std::size_t length = std::string(c.Key).size() / 2;
    std::vector<std::uint8_t> key(length);
    Pbkdf2HmacSha1(Bytes(c.Password), c.Password.size(), Bytes(c.Salt), c.Salt.size(), c.Iterations, key.data(), length);
    EXPECT_EQ(Hex(key.data(), key.size()), c.Key) << c.Password << " " << c.Iterations;
  }
}

}  // namespace
}  // namespace qel::codecs
