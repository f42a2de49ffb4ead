#include <gtest/gtest.h>

#include "server/request_target.h"
#include "wire_cases.h"

namespace quorvalis {
namespace {

TEST(EncodeRequestTarget, OnlyWhatCannotStandInARequestLine) {
  for (const auto& c : testing::kWireCases)
    EXPECT_EQ(encodeRequestTarget(QString::fromUtf8(c.text)), QByteArray(c.wire)) << c.text;
}

TEST(EncodeRequestTarget, ControlsAndHighBytes) {
  EXPECT_EQ(encodeRequestTarget(QStringLiteral("/a?\t\r\n\x7f")), "/a?%09%0D%0A%7F");
  EXPECT_EQ(encodeRequestTarget(QStringLiteral("/a?%")), "/a?%25");
  EXPECT_EQ(encodeRequestTarget(QStringLiteral("/a?%2")), "/a?%252");
  EXPECT_EQ(encodeRequestTarget(QStringLiteral("/a?%zz%aF")), "/a?%25zz%aF");
}

}  // namespace
}  // namespace quorvalis
