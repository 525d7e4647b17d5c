// The sockets layer's address conversions, short and numeric-base forms included.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "net/Ping.h"

namespace qv {
namespace {

std::array<unsigned char, 4> Bytes(std::uint32_t address) {
  std::array<unsigned char, 4> bytes;
  std::memcpy(bytes.data(), &address, 4);
  return bytes;
}

using Quad = std::array<unsigned char, 4>;

TEST(InetAddr, AcceptsTheDottedFormsOfTheSocketsLayer) {
  const struct {
    const char* text;
    Quad bytes;
  } cases[] = {
      {"127.0.0.1", {127, 0, 0, 1}},
      {"0.0.0.0", {0, 0, 0, 0}},
      {"127.1", {127, 0, 0, 1}},  // the last part fills three bytes
      {"1.2.3", {1, 2, 0, 3}},    // ... or two
      {"10.65535", {10, 0, 255, 255}},
      {"1.2.65535", {1, 2, 255, 255}},
      {"2130706433", {127, 0, 0, 1}},  // one part: the whole address
      {"0x7f.0.0.1", {127, 0, 0, 1}},  // hexadecimal part
      {"0X7F000001", {127, 0, 0, 1}},
      {"0177.0.0.01", {127, 0, 0, 1}},  // octal parts
      {"0xff.0377.255.0", {255, 255, 255, 0}},
      {"1.2.3.4 and the rest", {1, 2, 3, 4}},  // the text may end at a blank
      {"1.2.3.4\t", {1, 2, 3, 4}},
  };
  for (const auto& c : cases) EXPECT_EQ(Bytes(inet_addr(c.text)), c.bytes) << c.text;
}

TEST(InetAddr, AnythingElseIsNotAnAddress) {
  const char* cases[] = {
      "",           "localhost",  "1.2.3.4.5", "256.0.0.1", "1.256.0.1",  "1.2.3.256", "1.2.65536",
      "1.16777216", "4294967296", "08.0.0.1",  "1.2.3.09",  "1.2.3.",     ".1.2.3",    "1..2.3",
      " 1.2.3.4",   "1.2.3.4x",   "1.2.3.-4",  "+1.2.3.4",  "0x1g.0.0.1", "1,2,3,4",   "12345678901234567890",
  };
  for (const char* text : cases) EXPECT_EQ(inet_addr(text), kInaddrNone) << '"' << text << '"';
}

TEST(InetAddr, TheAllOnesAddressIsIndistinguishableFromNone) {
  EXPECT_EQ(inet_addr("255.255.255.255"), kInaddrNone);
  EXPECT_EQ(inet_addr("0xffffffff"), kInaddrNone);
}

TEST(InetNtoa, GivesTheFourPartDottedForm) {
  EXPECT_EQ(inet_ntoa(inet_addr("10.20.30.40")), "10.20.30.40");
  EXPECT_EQ(inet_ntoa(inet_addr("127.1")), "127.0.0.1");
  EXPECT_EQ(inet_ntoa(0), "0.0.0.0");
  EXPECT_EQ(inet_ntoa(0xFFFFFFFFu), "255.255.255.255");
  std::uint32_t address;
  const unsigned char bytes[4] = {192, 168, 0, 254};
  std::memcpy(&address, bytes, 4);
  EXPECT_EQ(inet_ntoa(address), "192.168.0.254");
}

}  // namespace
}  // namespace qv
