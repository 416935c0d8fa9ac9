// Paths as the player keeps them: UTF-8, widened only where a file is opened.
#include <gtest/gtest.h>

#include "core/payload/Utf8Path.h"

namespace lumafolio {
namespace {

TEST(Utf8Path, NamesOutsideTheAnsiCodePageSurviveTheRoundTrip) {
  // "C:\Users\写真\Temp\Café 😀" in UTF-8: CJK, a Latin letter beyond ASCII, and an emoji,
  // which Windows holds as a surrogate pair.
  const std::string path =
      "C:\\Users\\\xE5\x86\x99\xE7\x9C\x9F\\Temp\\Caf\xC3\xA9 \xF0\x9F\x98\x80";
  const std::optional<std::wstring> wide = WidenUtf8(path);
  ASSERT_TRUE(wide);
  EXPECT_EQ(wide->substr(9, 2), std::wstring(L"\u5199\u771F"));
  const size_t emojiLength = sizeof(wchar_t) == 2 ? 2 : 1;
  EXPECT_EQ(wide->substr(wide->size() - emojiLength), std::wstring(L"\U0001F600"));
  EXPECT_EQ(Utf8FromWide(*wide), path);
}

TEST(Utf8Path, MalformedTextNamesNoFile) {
  for (const std::string& bad : {
           std::string("\xC0\xAF", 2),          // an overlong '/'
           std::string("\xE0\x80\xAE", 3),      // an overlong '.'
           std::string("\xED\xA0\x80", 3),      // a surrogate
           std::string("\xF4\x90\x80\x80", 4),  // past U+10FFFF
           std::string("a\xE5\x86", 3),         // cut off
           std::string("\x80", 1),              // a continuation byte first
           std::string("\xF8\x88\x80\x80\x80", 5), std::string("a\0b", 3),
           std::string("Caf\xE9", 4),  // ANSI, not UTF-8
       }) {
    EXPECT_FALSE(WidenUtf8(bad)) << testing::PrintToString(bad);
  }
  EXPECT_FALSE(Utf8FromWide(std::wstring(1, static_cast<wchar_t>(0xD800))));
  EXPECT_FALSE(Utf8FromWide(std::wstring(L"a\0b", 3)));
  EXPECT_EQ(WidenUtf8(""), std::wstring());
}

}  // namespace
}  // namespace lumafolio
