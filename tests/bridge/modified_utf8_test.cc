#include "bridge/modified_utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace osxnatives::bridge {
namespace {

using std::string_literals::operator""s;

struct Case {
  const char* name;
  std::string utf8;
  std::string modified;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class ModifiedUtf8Test : public ::testing::TestWithParam<Case> {};

TEST_P(ModifiedUtf8Test, ConvertsBothWays) {
  EXPECT_EQ(ToModifiedUtf8(GetParam().utf8), GetParam().modified);
  EXPECT_EQ(FromModifiedUtf8(GetParam().modified), GetParam().utf8);
  EXPECT_EQ(IsModifiedUtf8AsIs(GetParam().utf8), GetParam().utf8 == GetParam().modified);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ModifiedUtf8Test,
    ::testing::Values(Case{"Ascii", "kestrelgate://exam/42", "kestrelgate://exam/42"},
                      Case{"Empty", "", ""},
                      Case{"Nul", "a\0b"s,
                           "a\xC0\x80"
                           "b"},
                      Case{"TwoAndThreeBytes", "Ärger €", "Ärger €"},
                      // U+1F600 becomes the surrogates D83D DE00, each in three bytes.
                      Case{"Supplementary", "\xF0\x9F\x98\x80", "\xED\xA0\xBD\xED\xB8\x80"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ModifiedUtf8Test, InvalidBytesBecomeReplacementCharacters) {
  const std::string replacement = "\xEF\xBF\xBD";
  for (const char* invalid : {"a\xFF", "\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80"}) {
    EXPECT_FALSE(IsModifiedUtf8AsIs(invalid)) << invalid;
  }
  EXPECT_EQ(ToModifiedUtf8("a\xFF"
                           "b"),
            "a" + replacement + "b");
  EXPECT_EQ(ToModifiedUtf8("\xC3"), replacement);                    // truncated
  EXPECT_EQ(ToModifiedUtf8("\xC0\xAF"), replacement + replacement);  // overlong
  EXPECT_EQ(ToModifiedUtf8("\xED\xA0\x80"),
            replacement + replacement + replacement);  // raw surrogate
  EXPECT_EQ(FromModifiedUtf8("\xED\xA0\xBD"
                             "x"),
            replacement + "x");                              // unpaired high surrogate
  EXPECT_EQ(FromModifiedUtf8("\xED\xB8\x80"), replacement);  // lone low surrogate
}

}  // namespace
}  // namespace osxnatives::bridge
