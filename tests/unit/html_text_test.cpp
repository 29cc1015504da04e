#include "text/html_text.h"

#include <string>

#include <gtest/gtest.h>

namespace plazet {
namespace {

using namespace std::string_literals;

// Shift-JIS samples. Literals are split after hex escapes so that a following
// letter is not read as another hex digit.
const std::string kA = "\x82\xA0";    // Hiragana A: trail byte 0xA0, itself in the lead range.
const std::string kHyo = "\x95\x5C";  // Trail byte is a backslash.
const std::string kSo = "\x83\x5C";   // Katakana SO, the same.
const std::string kKana = "\xB1";     // Half-width katakana A: a character of its own.

const std::string kOpen = "<FONT COLOR=\"#0000FF\">";

// --- Add_Blue ---

TEST(HtmlTextTest, AddBlueWrapsConsecutiveQuotedLinesInOneElement) {
  EXPECT_EQ(Add_Blue(">a\r>b\rc", "0000FF"), kOpen + ">a\r>b\r</FONT>c");
  EXPECT_EQ(Add_Blue("x\r>a\r>b\rc\r>d", "0000FF"),
            "x\r" + kOpen + ">a\r>b\r</FONT>c\r" + kOpen + ">d</FONT>");
}

TEST(HtmlTextTest, AddBlueClosesAtTheEndOfTheText) {
  EXPECT_EQ(Add_Blue("a\r>b", "0000FF"), "a\r" + kOpen + ">b</FONT>");
  EXPECT_EQ(Add_Blue(">b\r", "0000FF"), kOpen + ">b\r</FONT>");
  EXPECT_EQ(Add_Blue(">", "0000FF"), kOpen + "></FONT>");
  EXPECT_EQ(Add_Blue(">b\r\r", "0000FF"), kOpen + ">b\r\r</FONT>");
}

TEST(HtmlTextTest, AddBlueKeepsEmptyLinesBetweenQuotedLinesInTheRun) {
  EXPECT_EQ(Add_Blue(">a\r\r>b", "0000FF"), kOpen + ">a\r\r>b</FONT>");
  // An empty line before an unquoted line is still inside the run.
  EXPECT_EQ(Add_Blue(">a\r\rc", "0000FF"), kOpen + ">a\r\r</FONT>c");
}

TEST(HtmlTextTest, AddBlueQuotesOnlyLinesWhoseFirstByteIsGreaterThan) {
  EXPECT_EQ(Add_Blue("a>b\r >c\r", "0000FF"), "a>b\r >c\r");
  EXPECT_EQ(Add_Blue("", "0000FF"), "");
  EXPECT_EQ(Add_Blue("plain\rtext", "0000FF"), "plain\rtext");
  // A ">" later in a quoted line changes nothing.
  EXPECT_EQ(Add_Blue(">a>b", "0000FF"), kOpen + ">a>b</FONT>");
}

TEST(HtmlTextTest, AddBlueSeparatesLinesByCrOnly) {
  // LF is an ordinary character: no new line starts after it.
  EXPECT_EQ(Add_Blue("a\n>b", "0000FF"), "a\n>b");
  EXPECT_EQ(Add_Blue(">a\n>b\nc", "0000FF"), kOpen + ">a\n>b\nc</FONT>");
}

TEST(HtmlTextTest, AddBlueTwoByteCharacters) {
  // Two-byte text at the start of a line ends the run.
  EXPECT_EQ(Add_Blue(">a\r" + kA + ">x", "0000FF"), kOpen + ">a\r</FONT>" + kA + ">x");
  EXPECT_EQ(Add_Blue(">" + kA + "\r" + kHyo, "0000FF"), kOpen + ">" + kA + "\r</FONT>" + kHyo);
  // A CR that is the second byte of a character is no line end.
  EXPECT_EQ(Add_Blue("a\x82\r>b", "0000FF"), "a\x82\r>b");
  // A ">" that is a second byte is no quote mark.
  EXPECT_EQ(Add_Blue("\x82>x\r", "0000FF"), "\x82>x\r");
  // A lead byte at the very end is a character of its own.
  EXPECT_EQ(Add_Blue(">a\r\x82", "0000FF"), kOpen + ">a\r</FONT>\x82");
}

TEST(HtmlTextTest, AddBlueUsesTheGivenColourEscaped) {
  EXPECT_EQ(Add_Blue(">x", "FF0000"), "<FONT COLOR=\"#FF0000\">>x</FONT>");
  EXPECT_EQ(Add_Blue(">x", "\"><b"), "<FONT COLOR=\"#&quot;&gt;&lt;b\">>x</FONT>");
}

// --- Add_a_href / get_url ---

TEST(HtmlTextTest, AddAHrefLinksTheFourWebSpellings) {
  EXPECT_EQ(Add_a_href("see http://example.com/a.html now"),
            "see <A HREF=\"http://example.com/a.html\">http://example.com/a.html</A> now");
  EXPECT_EQ(Add_a_href("HTTP://X.JP/"), "<A HREF=\"HTTP://X.JP/\">HTTP://X.JP/</A>");
  EXPECT_EQ(Add_a_href("https://x.jp"), "<A HREF=\"https://x.jp\">https://x.jp</A>");
  EXPECT_EQ(Add_a_href("HTTPS://x.jp"), "<A HREF=\"HTTPS://x.jp\">HTTPS://x.jp</A>");
  // Other spellings and schemes stay text.
  EXPECT_EQ(Add_a_href("Http://x hTTP://y ftp://z"), "Http://x hTTP://y ftp://z");
  // An address is found anywhere, also right after a letter.
  EXPECT_EQ(Add_a_href("xhttp://a"), "x<A HREF=\"http://a\">http://a</A>");
  // The bare prefix is an address too.
  EXPECT_EQ(Add_a_href("http://"), "<A HREF=\"http://\">http://</A>");
}

TEST(HtmlTextTest, AddAHrefStopsAtACommaAndKeepsTheRestPlain) {
  EXPECT_EQ(Add_a_href("http://a.jp/x,y z"), "<A HREF=\"http://a.jp/x\">http://a.jp/x</A>,y z");
}

TEST(HtmlTextTest, AddAHrefMailAddresses) {
  EXPECT_EQ(Add_a_href("mailto:taro@example.jp"),
            "<A HREF=\"mailto:taro@example.jp\">taro@example.jp</A>");
  EXPECT_EQ(Add_a_href("MAILTO:A@B.JP x"), "<A HREF=\"MAILTO:A@B.JP\">A@B.JP</A> x");
  // Mixed case is not linked.
  EXPECT_EQ(Add_a_href("Mailto:a@b mailTO:c@d"), "Mailto:a@b mailTO:c@d");
  EXPECT_EQ(Add_a_href("mailto:"), "<A HREF=\"mailto:\"></A>");
}

TEST(HtmlTextTest, AddAHrefEndsAddressesWhereGetUrlSays) {
  EXPECT_EQ(Add_a_href("http://a/b<br>"), "<A HREF=\"http://a/b\">http://a/b</A><br>");
  EXPECT_EQ(Add_a_href("http://a/b>"), "<A HREF=\"http://a/b\">http://a/b</A>>");
  EXPECT_EQ(Add_a_href("http://a/b\rx"), "<A HREF=\"http://a/b\">http://a/b</A>\rx");
  EXPECT_EQ(Add_a_href("http://a/b\nx"), "<A HREF=\"http://a/b\">http://a/b</A>\nx");
  EXPECT_EQ(Add_a_href("http://a/" + kA), "<A HREF=\"http://a/\">http://a/</A>" + kA);
  EXPECT_EQ(Add_a_href("http://a/\x7F"), "<A HREF=\"http://a/\">http://a/</A>\x7F");
  // Tabs, ")" and half-width katakana belong to the address.
  EXPECT_EQ(Add_a_href("(http://a/b)"), "(<A HREF=\"http://a/b)\">http://a/b)</A>");
  EXPECT_EQ(Add_a_href("http://a/\tb"), "<A HREF=\"http://a/\tb\">http://a/\tb</A>");
  EXPECT_EQ(Add_a_href("http://a/" + kKana),
            "<A HREF=\"http://a/" + kKana + "\">http://a/" + kKana + "</A>");
}

TEST(HtmlTextTest, AddAHrefEscapesTheAddressInsideHrefOnly) {
  EXPECT_EQ(Add_a_href("http://a/\"onmouseover=\"x"),
            "<A HREF=\"http://a/&quot;onmouseover=&quot;x\">http://a/\"onmouseover=\"x</A>");
  EXPECT_EQ(Add_a_href("http://a/?b=1&c='2'"),
            "<A HREF=\"http://a/?b=1&amp;c=&#39;2&#39;\">http://a/?b=1&c='2'</A>");
}

TEST(HtmlTextTest, AddAHrefCopiesExistingAnchors) {
  EXPECT_EQ(Add_a_href("<A HREF=\"http://x\">http://x</A> http://y"),
            "<A HREF=\"http://x\">http://x</A> <A HREF=\"http://y\">http://y</A>");
  // The small-letter closing tag is written in capitals.
  EXPECT_EQ(Add_a_href("<a href=\"http://x\">http://x</a>!"), "<a href=\"http://x\">http://x</A>!");
  // Mixed spellings are not anchors.
  EXPECT_EQ(Add_a_href("<A href=http://x>"), "<A href=<A HREF=\"http://x\">http://x</A>>");
  // Without a closing tag the rest is copied as it stands.
  EXPECT_EQ(Add_a_href("<a href=\"http://x\">http://x and http://y"),
            "<a href=\"http://x\">http://x and http://y");
}

TEST(HtmlTextTest, AddAHrefCopiesImageTags) {
  EXPECT_EQ(Add_a_href("<IMG SRC=\"http://x/a.gif\"> http://y"),
            "<IMG SRC=\"http://x/a.gif\"> <A HREF=\"http://y\">http://y</A>");
  EXPECT_EQ(Add_a_href("<img src=http://x/a.gif>"), "<img src=http://x/a.gif>");
  EXPECT_EQ(Add_a_href("<img src=http://x/a.gif"), "<img src=http://x/a.gif");
}

TEST(HtmlTextTest, AddAHrefFollowsTheTwoByteRule) {
  // The "h" is the second byte of a character: no address starts there.
  EXPECT_EQ(Add_a_href("\x82http://x"), "\x82http://x");
  EXPECT_EQ(Add_a_href(kA + "http://x"), kA + "<A HREF=\"http://x\">http://x</A>");
  // "\x82<" is one character, so the anchor runs on to the small-letter
  // closing tag and the address inside it is not linked.
  EXPECT_EQ(Add_a_href("<A HREF=x>\x82</A>http://y</a>z"), "<A HREF=x>\x82</A>http://y</A>z");
  // Likewise "\x82>" does not end an image tag.
  EXPECT_EQ(Add_a_href("<IMG ALT=\x82>http://y>z"), "<IMG ALT=\x82>http://y>z");
}

TEST(HtmlTextTest, GetUrlCopiesUpToTheFirstEndingByte) {
  EXPECT_EQ(get_url("go http://a/b c", 3), "http://a/b");
  EXPECT_EQ(get_url("http://a/b,c", 0), "http://a/b");
  EXPECT_EQ(get_url("http://a/b<", 0), "http://a/b");
  EXPECT_EQ(get_url("http://a/b\xE0\x40", 0), "http://a/b");
  EXPECT_EQ(get_url("http://a/b\xA0", 0), "http://a/b");
  EXPECT_EQ(get_url("http://a/\"'`)(\t|", 0), "http://a/\"'`)(\t|");
  EXPECT_EQ(get_url("http://a/b\0c"s, 0), "http://a/b");
  EXPECT_EQ(get_url("abc", 3), "");
  EXPECT_EQ(get_url("abc", 10), "");
}

// --- CrLf_to_BR ---

TEST(HtmlTextTest, CrLfToBrTurnsCrIntoBreaksAndDropsLf) {
  EXPECT_EQ(CrLf_to_BR("a\r\nb\rc\n"), "a<BR>\nb<BR>\nc");
  EXPECT_EQ(CrLf_to_BR("\n\n"), "");
  EXPECT_EQ(CrLf_to_BR("\r\r"), "<BR>\n<BR>\n");
  EXPECT_EQ(CrLf_to_BR(""), "");
  // Second bytes are never line ends.
  EXPECT_EQ(CrLf_to_BR("\x82\r\x82\n"), "\x82\r\x82\n");
  EXPECT_EQ(CrLf_to_BR(kHyo + "\r"), kHyo + "<BR>\n");
}

TEST(HtmlTextTest, CrLfToBrStopsOncePast99999Bytes) {
  const std::string a99999(99999, 'a');
  // 100000 bytes of output is past the limit: the rest is dropped.
  EXPECT_EQ(CrLf_to_BR(a99999 + "bc"), a99999 + "b");
  EXPECT_EQ(CrLf_to_BR(a99999 + "b"), a99999 + "b");
  // A break that starts at 99999 bytes is written whole.
  EXPECT_EQ(CrLf_to_BR(a99999 + "\rb"), a99999 + "<BR>\n");
  EXPECT_EQ(CrLf_to_BR(a99999.substr(1) + "\rb"), a99999.substr(1) + "<BR>\n");
  // A two-byte character is never split.
  EXPECT_EQ(CrLf_to_BR(a99999.substr(1) + kA + "b"), a99999.substr(1) + kA);
  EXPECT_EQ(CrLf_to_BR(a99999.substr(2) + kA + "bc"), a99999.substr(2) + kA + "b");
  // Dropped LFs do not count.
  EXPECT_EQ(CrLf_to_BR(std::string(200000, '\n') + "x"), "x");
}

// --- CrLf_to_Cr ---

TEST(HtmlTextTest, CrLfToCrRemovesEveryLf) {
  EXPECT_EQ(CrLf_to_Cr("a\r\nb\nc\r"), "a\rbc\r");
  EXPECT_EQ(CrLf_to_Cr("\n\n\r\n"), "\r");
  EXPECT_EQ(CrLf_to_Cr(""), "");
  EXPECT_EQ(CrLf_to_Cr("\x82\n" + kA + "\n"), "\x82\n" + kA);
}

TEST(HtmlTextTest, CrLfToCrHasNoLengthBound) {
  std::string body;
  for (int i = 0; i < 60000; ++i) body += "ab\r\n";
  std::string expected;
  for (int i = 0; i < 60000; ++i) expected += "ab\r";
  EXPECT_EQ(CrLf_to_Cr(body), expected);
}

// --- Add_Res ---

TEST(HtmlTextTest, AddResQuotesEveryLine) {
  EXPECT_EQ(Add_Res(""), "");
  EXPECT_EQ(Add_Res("a\r\nb"), ">a\r>b");
  EXPECT_EQ(Add_Res("a\rb"), ">a\r>b");
  EXPECT_EQ(Add_Res("a\r\n\r\nb"), ">a\r>\r>b");
  EXPECT_EQ(Add_Res("a\r\n"), ">a\r");
  EXPECT_EQ(Add_Res("\r\n"), ">\r");
  EXPECT_EQ(Add_Res(">x"), ">>x");
  EXPECT_EQ(Add_Res(" x"), "> x");
}

TEST(HtmlTextTest, AddResDropsLfButStartsALineAfterIt) {
  EXPECT_EQ(Add_Res("a\nb"), ">a>b");
  EXPECT_EQ(Add_Res("a\n"), ">a");
  EXPECT_EQ(Add_Res("\n\nb"), ">b");
}

TEST(HtmlTextTest, AddResTwoByteCharacters) {
  EXPECT_EQ(Add_Res(kA + "\r\n" + kSo), ">" + kA + "\r>" + kSo);
  // A second byte LF or CR is kept and starts no line.
  EXPECT_EQ(Add_Res("\x82\nx\r\x82\ry"), ">\x82\nx\r>\x82\ry");
}

// --- ketadori ---

TEST(HtmlTextTest, KetadoriGroupsByThousands) {
  EXPECT_EQ(ketadori("0"), "0");
  EXPECT_EQ(ketadori("7"), "7");
  EXPECT_EQ(ketadori("999"), "999");
  EXPECT_EQ(ketadori("1000"), "1,000");
  EXPECT_EQ(ketadori("1001"), "1,001");
  EXPECT_EQ(ketadori("12345"), "12,345");
  EXPECT_EQ(ketadori("999999"), "999,999");
  EXPECT_EQ(ketadori("1000000"), "1,000,000");
  EXPECT_EQ(ketadori("1000050"), "1,000,050");
  EXPECT_EQ(ketadori("2147483647"), "2,147,483,647");
  EXPECT_EQ(ketadori("1000000000"), "1,000,000,000");
  // Everything above the millions is one group.
  EXPECT_EQ(ketadori("1234567890123"), "1234,567,890,123");
}

TEST(HtmlTextTest, KetadoriReadsTheNumberLikeTheStandardConversion) {
  EXPECT_EQ(ketadori("  +1234567"), "1,234,567");
  EXPECT_EQ(ketadori("\t\n42"), "42");
  EXPECT_EQ(ketadori("1000 bytes"), "1,000");
  EXPECT_EQ(ketadori("0001000"), "1,000");
  EXPECT_EQ(ketadori(""), "0");
  EXPECT_EQ(ketadori("abc"), "0");
  EXPECT_EQ(ketadori("99999999999999999999"), "9223372036,854,775,807");
  EXPECT_EQ(ketadori("-1500"), "-1,500");
  EXPECT_EQ(ketadori("-0"), "0");
}

// --- TrimRight ---

TEST(HtmlTextTest, TrimRightRemovesTrailingBlanksOnly) {
  EXPECT_EQ(TrimRight("abc   "), "abc");
  EXPECT_EQ(TrimRight(" a b "), " a b");
  EXPECT_EQ(TrimRight("a \t"), "a \t");
  EXPECT_EQ(TrimRight("a\r "), "a\r");
  EXPECT_EQ(TrimRight("   "), "");
  EXPECT_EQ(TrimRight(""), "");
  EXPECT_EQ(TrimRight(kA + "  "), kA);
  // A blank that is the second byte of a character stays.
  EXPECT_EQ(TrimRight("\x82 "), "\x82 ");
  EXPECT_EQ(TrimRight("\x82  "), "\x82 ");
}

// --- HtmlConvert ---

TEST(HtmlTextTest, HtmlConvertDisarmsPageStructureTags) {
  EXPECT_EQ(HtmlConvert("<TABLE><TR><TD>x</TD></TR></TABLE>"),
            "&lt;TABLE>&lt;TR>&lt;TD>x&lt;/TD>&lt;/TR>&lt;/TABLE>");
  EXPECT_EQ(HtmlConvert("<META HTTP-EQUIV=\"refresh\"><HTML></HTML>"),
            "&lt;META HTTP-EQUIV=\"refresh\">&lt;HTML>&lt;/HTML>");
  EXPECT_EQ(HtmlConvert("<table border=1><Td>"), "&lt;table border=1>&lt;Td>");
  // Other tags and a lone "<" stay; the names are matched as prefixes.
  EXPECT_EQ(HtmlConvert("<B>x</B> a < b <TH>"), "<B>x</B> a < b <TH>");
  EXPECT_EQ(HtmlConvert("<TRACK>"), "&lt;TRACK>");
  // A lead byte does not hide the "<" behind it.
  EXPECT_EQ(HtmlConvert("\x82<TABLE>" + kA), "\x82&lt;TABLE>" + kA);
}

// --- render_body ---

TEST(HtmlTextTest, RenderBodyTextModeColoursLinksAndBreaks) {
  EXPECT_EQ(render_body(">re\rsee http://x/\r", "", 0),
            kOpen + ">re<BR>\n</FONT>see <A HREF=\"http://x/\">http://x/</A><BR>\n");
  EXPECT_EQ(render_body(">q\ra", "00FF00", 0), "<FONT COLOR=\"#00FF00\">>q<BR>\n</FONT>a");
}

TEST(HtmlTextTest, RenderBodyPreAndHtmlModes) {
  EXPECT_EQ(render_body(">q\ra http://x", "00FF00", 1),
            "<PRE><FONT COLOR=\"#00FF00\">>q\r</FONT>a http://x</PRE>");
  EXPECT_EQ(render_body("<b>ok</b>\rhttp://x", "", 2), "<b>ok</b>\rhttp://x");
  EXPECT_EQ(render_body("a\rb", "", 7), "a\rb");
}

TEST(HtmlTextTest, RenderBodyFiltersTheResult) {
  EXPECT_EQ(render_body("<script>x</script><b onclick=y>ok</b>", "", 2),
            "&lt;script>x&lt;/script><b>ok</b>");
  EXPECT_EQ(render_body("<a href=\"javascript:x\">http://y</a>", "", 0), "<a>http://y</A>");
  // A tag cut open by a line break is no tag any more.
  EXPECT_EQ(render_body("<img\rsrc=x onerror=y>", "", 0), "&lt;img<BR>\nsrc=x onerror=y>");
}

}  // namespace
}  // namespace plazet
