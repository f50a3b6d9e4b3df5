#include "platform/text.h"

#include <gtest/gtest.h>

#include <string>

namespace tallowin {
namespace {

using namespace std::string_literals;

// The conversions that append are the ones through a UTF-16 string, without the copy.
TEST(AppendUtf16Le, ConvertsAsUtf8ToUtf16Does) {
  const std::string texts[] = {
      "",
      "plain ASCII \\ \"",
      "caf\xC3\xA9 \xE2\x82\xAC",                 // two- and three-byte forms
      "\xF0\x9F\x98\x80",                         // a surrogate pair
      "\xED\xA0\x80 lone high surrogate",         // the generalised form of U+D800
      "\xC3 cut \xE2\x82 short \xF0\x9F\x98",     // no UTF-8: U+FFFD
      "\xC0\xAF overlong \xF4\x90\x80\x80 big",  // no UTF-8 either
      "nul\0inside"s,
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    std::string bytes = "kept";
    AppendUtf16Le(text, bytes);
    EXPECT_EQ(bytes, "kept" + Utf16LeBytes(Utf8ToUtf16(text)));
    EXPECT_EQ(Utf16Length(text), Utf8ToUtf16(text).size());
  }
}

TEST(AppendUtf8FromUtf16Le, ConvertsAsUtf16ToUtf8Does) {
  const std::string units[] = {
      "",
      "a\0b\0"s,
      "\xE9\0\xAC\x20"s,          // U+00E9, U+20AC
      "\x3D\xD8\x00\xDE"s,        // U+1F600 as a pair
      "\x00\xD8 \0"s,             // an unpaired high surrogate, then a blank
      "\x00\xDC\x00\xD8"s,        // low before high: two unpaired ones
      "a\0\0\0b\0"s,              // a NUL unit is kept
      "a\0b"s,                    // an odd last byte is dropped
  };
  for (const std::string& bytes : units) {
    SCOPED_TRACE(testing::PrintToString(bytes));
    std::string text = "kept";
    AppendUtf8FromUtf16Le(bytes, text);
    EXPECT_EQ(text, "kept" + Utf16ToUtf8(Utf16FromLeBytes(bytes)));
    // And back: every UTF-16 string survives the round trip.
    std::string again;
    AppendUtf16Le(text.substr(4), again);
    EXPECT_EQ(again, bytes.substr(0, bytes.size() / 2 * 2));
  }
}

}  // namespace
}  // namespace tallowin
