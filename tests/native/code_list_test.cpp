#include "core/code_list.h"

#include <gtest/gtest.h>

namespace tallowin {
namespace {

std::vector<std::string> Texts(std::initializer_list<int> codes) {
  std::vector<std::string> out;
  for (int code : codes) out.push_back(std::to_string(code));
  return out;
}

TEST(ParseCodeList, AcceptsCodesAndRangesInTheOrderWritten) {
  struct Case {
    const char* text;
    std::vector<std::string> codes;
  };
  const Case cases[] = {
      {"1-17", FullScanCodes()},
      {"3,16,104", Texts({3, 16, 104})},
      {"1-4,15", Texts({1, 2, 3, 4, 15})},
      {"16,3", Texts({16, 3})},
      {"3,3", Texts({3, 3})},
      {"7-7", Texts({7})},
      {"104-110", Texts({104, 106, 107, 108, 109, 110})},
      {"17-104", Texts({17, 104})},
      {"007", Texts({7})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<std::string> codes;
    std::string error = "stale";
    ASSERT_TRUE(ParseCodeList(c.text, codes, error)) << error;
    EXPECT_EQ(codes, c.codes);
    EXPECT_EQ(error, "");
  }
}

TEST(ParseCodeList, RejectsMalformedListsAndLeavesTheResultAlone) {
  struct Case {
    const char* text;
    const char* error;
  };
  const Case cases[] = {
      {"", "empty code list"},
      {",", "empty item in code list \",\""},
      {"1,,2", "empty item in code list \"1,,2\""},
      {"1,", "empty item in code list \"1,\""},
      {"0", "no scan category has the code 0"},
      {"18", "no scan category has the code 18"},
      {"105", "no scan category has the code 105"},
      {"111", "no scan category has the code 111"},
      {"1-18", "no scan category has the code 18"},
      {"17-1", "descending code range: \"17-1\""},
      {"-3", "not a code range: \"-3\""},
      {"3-", "not a code range: \"3-\""},
      {"1-2-3", "not a code range: \"1-2-3\""},
      {"x", "not a category code: \"x\""},
      {" 3", "not a category code: \" 3\""},
      {"+3", "not a category code: \"+3\""},
      {"99999999999", "not a category code: \"99999999999\""},
      {"1\xE4", "not a category code: \"1\xE4\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::vector<std::string> codes{"kept"};
    std::string error;
    EXPECT_FALSE(ParseCodeList(c.text, codes, error));
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(codes, std::vector<std::string>{"kept"});
  }
}

// Every byte string either parses to category codes only or fails with a message.
TEST(ParseCodeList, ArbitraryInputNeverYieldsAnUnknownCode) {
  const std::string alphabet = "0123456789,-x \xFF";
  uint32_t seed = 12345;
  for (int round = 0; round < 20000; ++round) {
    seed = seed * 1103515245u + 12345u;
    std::string text;
    for (uint32_t n = (seed >> 16) % 12; n > 0; --n) {
      seed = seed * 1103515245u + 12345u;
      text += alphabet[(seed >> 16) % alphabet.size()];
    }
    std::vector<std::string> codes;
    std::string error;
    if (ParseCodeList(text, codes, error)) {
      EXPECT_FALSE(codes.empty()) << text;
      for (const std::string& code : codes) EXPECT_TRUE(IsCategoryCode(std::stoi(code))) << text;
    } else {
      EXPECT_FALSE(error.empty()) << text;
    }
  }
}

TEST(SectionCodes, ChosenSectionsInAscendingOrder) {
  TScanSections sections;
  EXPECT_TRUE(SectionCodes(sections).empty());
  sections[16] = true;
  sections[3] = true;
  EXPECT_EQ(SectionCodes(sections), Texts({3, 16}));
  for (bool& chosen : sections.items) chosen = true;
  EXPECT_EQ(SectionCodes(sections), FullScanCodes());
}

}  // namespace
}  // namespace tallowin
