#include <gtest/gtest.h>

#include <string>

#include "platform/serial.h"

namespace kw {
namespace {

TEST(SerialMode, ReadsTheModeStringThePortsAreOpenedWith) {
  auto m = parseSerialMode("COM3:19200,n,8,1");
  ASSERT_TRUE(m.has_value());
  EXPECT_EQ(m->port, 3);
  EXPECT_EQ(m->baud, 19200u);
  EXPECT_EQ(m->parity, 'n');
  EXPECT_EQ(m->dataBits, 8);
  EXPECT_EQ(m->stopBits, 1);
}

TEST(SerialMode, ReadsTheFastestRateAndTheProbeString) {
  auto fast = parseSerialMode("COM8:230400,n,8,1");
  ASSERT_TRUE(fast.has_value());
  EXPECT_EQ(fast->port, 8);
  EXPECT_EQ(fast->baud, 230400u);

  auto probe = parseSerialMode("com5:9600,n,8,1");
  ASSERT_TRUE(probe.has_value());
  EXPECT_EQ(probe->port, 5);
  EXPECT_EQ(probe->baud, 9600u);
}

TEST(SerialMode, IgnoresCaseOfNameAndParityLetter) {
  for (const char* text : {"COM2:57600,N,8,1", "Com2:57600,n,8,1", "cOm2:57600,N,8,1"}) {
    auto m = parseSerialMode(text);
    ASSERT_TRUE(m.has_value()) << text;
    EXPECT_EQ(m->port, 2) << text;
    EXPECT_EQ(m->baud, 57600u) << text;
    EXPECT_EQ(m->parity, 'n') << text;  // always handed on in lower case
  }
  auto even = parseSerialMode("COM1:9600,E,7,2");
  ASSERT_TRUE(even.has_value());
  EXPECT_EQ(even->parity, 'e');
  EXPECT_EQ(even->dataBits, 7);
  EXPECT_EQ(even->stopBits, 2);
  auto odd = parseSerialMode("COM12:38400,o,5,1");
  ASSERT_TRUE(odd.has_value());
  EXPECT_EQ(odd->port, 12);
  EXPECT_EQ(odd->parity, 'o');
  EXPECT_EQ(odd->dataBits, 5);
}

TEST(SerialMode, ToleratesBlanksBetweenFields) {
  auto m = parseSerialMode(" COM4: 19200, n, 8, 1 ");
  ASSERT_TRUE(m.has_value());
  EXPECT_EQ(m->port, 4);
  EXPECT_EQ(m->baud, 19200u);
}

TEST(SerialMode, RefusesWhatItCannotRead) {
  const char* bad[] = {
      "",
      "COM",
      "COM3",
      "COM3:",
      "COM3:19200",
      "COM3:19200,n,8",
      "COM:19200,n,8,1",
      "COM 3:19200,n,8,1",
      "COM0:19200,n,8,1",
      "COM256:19200,n,8,1",
      "LPT1:19200,n,8,1",
      "COMX:19200,n,8,1",
      "COM3;19200,n,8,1",
      "COM3:abc,n,8,1",
      "COM3:-9600,n,8,1",
      "COM3:0,n,8,1",
      "COM3:99999999999,n,8,1",    // beyond 32 bits
      "COM3:4294967296,n,8,1",     // one past 32 bits
      "COM3:19200,x,8,1",
      "COM3:19200,,8,1",
      "COM3:19200,n,9,1",
      "COM3:19200,n,4,1",
      "COM3:19200,n,8,0",
      "COM3:19200,n,8,3",
      "COM3:19200,n,8,1,x",
      "COM3:19200,n,8,1x",
      "COM3:19200.5,n,8,1",
  };
  for (const char* text : bad) EXPECT_FALSE(parseSerialMode(text).has_value()) << '"' << text << '"';
}

TEST(SerialMode, LargestBaudThatFitsIsRead) {
  auto m = parseSerialMode("COM1:4294967295,n,8,1");
  ASSERT_TRUE(m.has_value());
  EXPECT_EQ(m->baud, 4294967295u);
}

TEST(SerialMode, VariableNameCarriesThePortNumber) {
  EXPECT_EQ(portVariableName(1), "KANTELWERK_COM1");
  EXPECT_EQ(portVariableName(8), "KANTELWERK_COM8");
  EXPECT_EQ(portVariableName(12), "KANTELWERK_COM12");
}

}  // namespace
}  // namespace kw
