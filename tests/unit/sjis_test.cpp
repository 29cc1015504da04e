#include <gtest/gtest.h>

#include "text/escape.h"
#include "text/sjis.h"
#include "store/paths.h"

namespace plazet {
namespace {

TEST(SjisTest, StrFindStartsOnlyAtCharacterStarts) {
  EXPECT_EQ(StrFind("aab", "ab"), 1u);
  EXPECT_FALSE(StrFind("abc", ""));
  EXPECT_FALSE(StrFind("abc", "abcd"));
  // 0x82 0xA0 0x82 0xA2: the pattern 0xA0 0x82 straddles two characters.
  EXPECT_FALSE(StrFind("\x82\xa0\x82\xa2", "\xa0\x82"));
  EXPECT_EQ(StrFind("\x82\xa0\x82\xa2", "\x82\xa2"), 2u);
  // A trail byte that looks like a comma-free ASCII letter is not a match.
  EXPECT_FALSE(StrFind("\x83\x61", "a"));
  EXPECT_EQ(StrFind("\x83\x61"
                    "a",
                    "a"),
            2u);
}

TEST(SjisTest, CutNameKeepsWhatFollowsTheLastOneByteSeparator) {
  EXPECT_EQ(cut_name("/cgi-bin/plazet.cgi", '/'), "plazet.cgi");
  EXPECT_EQ(cut_name("plazet.cgi", '/'), "plazet.cgi");
  EXPECT_EQ(cut_name("dir/", '/'), "");
  EXPECT_EQ(cut_name("C:\\photo\\a.jpg", '\\'), "a.jpg");
  // 0x95 0x5C is one character whose trail byte is a backslash.
  EXPECT_EQ(cut_name("x\\\x95\x5C.gif", '\\'), "\x95\x5C.gif");
}

TEST(SjisTest, ToUppersFoldsOnlyOneByteLetters) {
  std::string id = "taro\x83\x61z";
  ToUppers(id);
  EXPECT_EQ(id, "TARO\x83\x61Z");
}

TEST(SjisTest, EditpathJoinsWithOneSlash) {
  EXPECT_EQ(editpath("a.gif", "/pic"), "/pic/a.gif");
  EXPECT_EQ(editpath("a.gif", "/pic/"), "/pic/a.gif");
  EXPECT_EQ(editpath("a.gif", ""), "/a.gif");
}

TEST(EscapeTest, AttributeAndTextareaEscapeEveryByte) {
  EXPECT_EQ(html_attr("a\"b'c<d>e&f"), "a&quot;b&#39;c&lt;d&gt;e&amp;f");
  // A lead byte before a quote: the quote is still escaped.
  EXPECT_EQ(html_attr("\x82\""), "\x82&quot;");
  EXPECT_EQ(html_textarea("</TEXTAREA><script>"), "&lt;/TEXTAREA&gt;&lt;script&gt;");
}

TEST(EscapeTest, UrlQueryEncodesAllButUnreserved) {
  EXPECT_EQ(url_query("a b&c=d/\x82\xa0-_.~"), "a%20b%26c%3Dd%2F%82%A0-_.~");
}

}  // namespace
}  // namespace plazet
