// The cross-built Crypto++ links and runs: Base64 both ways.
#include <string>

#include <cryptopp/base64.h>
#include <cryptopp/filters.h>

#include <gtest/gtest.h>

namespace {

TEST(CryptoPP, Base64RoundTrip)
{
    const std::string bytes("\x00\xff\x10", 3);
    std::string encoded;
    CryptoPP::StringSource(bytes, true,
                           new CryptoPP::Base64Encoder(new CryptoPP::StringSink(encoded), false));
    EXPECT_EQ("AP8Q", encoded);

    std::string decoded;
    CryptoPP::StringSource(encoded, true, new CryptoPP::Base64Decoder(new CryptoPP::StringSink(decoded)));
    EXPECT_EQ(bytes, decoded);
}

}  // namespace
