#include <gtest/gtest.h>

#include "common/text.h"

namespace quorvalis::testing {

TEST(ReadNumber, TakesTheLongestLeadingNumber) {
  const struct { const char* text; double value; } cases[] = {
      {"7,5", 7},     {"12abc", 12},  {"", 0},        {"-3", -3},     {" 5", 5},
      {"\t 8", 8},    {"7.5", 7.5},   {"abc", 0},     {".5", 0.5},    {"5.", 5},
      {"-", 0},       {"+4", 4},      {"00123", 123}, {"1.2.3", 1.2}, {"1 2", 1},
      {"0171", 171},  {"3e5", 3},     {"- 3", 0},     {"1711234567", 1711234567},
  };
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(readNumber(QString::fromUtf8(c.text)), c.value) << c.text;
}

TEST(CodePage, EveryByteBothWays) {
  // Where the code page differs from Latin-1, and its five holes kept as controls.
  const struct { unsigned char byte; char16_t unicode; } high[] = {
      {0x80, 0x20AC}, {0x81, 0x0081}, {0x82, 0x201A}, {0x8A, 0x0160}, {0x8D, 0x008D}, {0x8E, 0x017D},
      {0x8F, 0x008F}, {0x90, 0x0090}, {0x93, 0x201C}, {0x96, 0x2013}, {0x99, 0x2122}, {0x9D, 0x009D},
      {0x9F, 0x0178}, {0xA0, 0x00A0}, {0xFF, 0x00FF}, {0x7F, 0x007F}};
  for (const auto& c : high) {
    const QByteArray byte(1, static_cast<char>(c.byte));
    EXPECT_EQ(fromCp1252(byte), QString(QChar(c.unicode))) << int(c.byte);
    EXPECT_EQ(toCp1252(QString(QChar(c.unicode))), byte) << int(c.byte);
  }
  QByteArray all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(toCp1252(fromCp1252(all)), all);
  // What the code page lacks is one '?' each, a character beyond the basic plane too.
  EXPECT_EQ(toCp1252(QString::fromUtf8("a\u0101\U0001F600\u20ACz")), QByteArray("a??\x80z"));
}

}  // namespace quorvalis::testing
