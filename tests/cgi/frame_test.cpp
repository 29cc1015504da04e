#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "cgi_site.h"
#include "frame/strdef.h"

namespace plazet {
namespace {

using testing::CgiSite;
using testing::head;
using testing::japanese;

std::string login_page(const STRDEF& t) {
  return head(t) +
         "\t\t<TITLE>Welcome to Plazet Ver2.13 for UNIX</TITLE>\n"
         "<BODY BACKGROUND=\"/plazetpic/back.gif\" BGPROPERTIES=FIXED >\n"
         "Plazet Ver2.13 for UNIX<BR>\n"
         "\t\t<CENTER>\n"
         "\t\t<IMG SRC=\"/plazetpic/title.jpg\" >\n"
         "\t\t<FORM ACTION=\"plazet.cgi\" METHOD=POST >\n" +
         t.text(100) +
         "<P>\n"
         "\t\t<TABLE>\n"
         "\t\t<TR><TD>" +
         t.text(130) +
         "</TD><TD><INPUT TYPE=\"text\" NAME=\"uid\" SIZE=\"20\" MAXLENGTH=\"20\"></TD></TR>\n"
         "\t\t<TR><TD>" +
         t.text(131) +
         "</TD><TD><INPUT TYPE=\"password\" NAME=\"upw\" SIZE=\"20\" MAXLENGTH=\"20\"></TD></TR>\n"
         "\t\t</TABLE>\n"
         "\t\t<INPUT TYPE=\"hidden\" NAME=\"JOB\" VALUE=\"TOP\"><P>\n"
         "\t\t<INPUT TYPE=\"submit\" NAME=\"sub\" VALUE=\"" +
         t.text(101) +
         "\">\n"
         "\t\t</FORM>\n"
         "\t\t</CENTER>\n"
         "</BODY>\n"
         "</HTML>\n";
}

TEST(FrameTest, NoInputGivesTheLoginPage) {
  CgiSite site;
  const STRDEF t = japanese();
  EXPECT_EQ(site.run({}), login_page(t));
  EXPECT_EQ(site.get(""), login_page(t));
  EXPECT_EQ(site.get("JOB=ROOM"), login_page(t));
}

TEST(FrameTest, MissingSettingsFileIsCreatedOnTheFirstRequest) {
  CgiSite site;
  ::unlink(site.ini_file().c_str());
  std::string page = site.get("");
  EXPECT_NE(page.find("Welcome to Plazet"), std::string::npos);
  EXPECT_EQ(site.read_file(site.ini_file()).substr(0, 20), "LANGUAGE,japan.lng,\n");
}

TEST(FrameTest, UnknownJobsPrintNothingAtAll) {
  CgiSite site;
  site.add_user("taro", "pw", 1, 1);
  std::optional<std::string> key = site.log_in("taro", "pw");
  ASSERT_TRUE(key);
  EXPECT_EQ(site.get("SKEY=" + *key + "&JOB=NOSUCHJOB"), "");
  EXPECT_EQ(site.get("SKEY=" + *key + "&JOB=top"), "");  // jobs are case-sensitive
}

TEST(FrameTest, MydataIsSilentWhenTheSettingSwitchesItOff) {
  CgiSite site;
  site.write_file(site.ini_file(), site.read_file(site.ini_file()) + "MYDATA,1,\n");
  site.add_user("taro", "pw", 1, 1);
  std::optional<std::string> key = site.log_in("taro", "pw");
  ASSERT_TRUE(key);
  EXPECT_EQ(site.get("SKEY=" + *key + "&JOB=MYDATA"), "");
}

TEST(FrameTest, ClosingPageNeedsNoLogin) {
  CgiSite site;
  const STRDEF t = japanese();
  EXPECT_EQ(site.get("JOB=BORDWRITEFIN"),
            head(t) +
                "<SCRIPT Language=\"JavaScript\">\n<!--\nself.close()\n// -->\n</SCRIPT>\n"
                "\t\t<BODY BACKGROUND=\"/plazetpic/back.gif\" BGPROPERTIES=FIXED >\n"
                "<FONT SIZE=\"5\"><B>" +
                t.text(294) + "</B></FONT>\n<P>\n</BODY>\n</HTML>\n");
}

TEST(FrameTest, ForgedKeyGetsTheInvalidKeyPage) {
  CgiSite site;
  const STRDEF t = japanese();
  const std::string expected =
      head(t) +
      "<BODY BACKGROUND=\"/plazetpic/back.gif\" BGPROPERTIES=FIXED >\n"
      "<CENTER>\n<BR>\n<FONT SIZE=\"5\"><B>" +
      t.text(6) +
      "</B></FONT>\n"
      "<P><BR><HR><P><BR>\n"
      "<FORM ENCTYPE=\"multipart/form-data\" ACTION=\"plazet.cgi\" METHOD=POST "
      "TARGET=\"_parent\"><INPUT TYPE=\"submit\" VALUE=\"" +
      t.text(4) + "\"></FORM>\n</CENTER>\n</BODY>\n</HTML>\n";
  EXPECT_EQ(site.get("SKEY=12345&JOB=TOP"), expected);
  EXPECT_EQ(site.get("SKEY=12345&uid=x&upw=y"), expected);  // the key alone authenticates
}

TEST(FrameTest, ProgramNameAndSettingsFollowTheInstalledPath) {
  CgiSite site;
  // A data directory path with a quote must not break out of the attribute.
  site.write_file(site.ini_file(), site.read_file(site.ini_file()) +
                                       "CG_FILE_WEB_PATH,/p\"ic/,\nLOGIN_GIF,<x>.jpg,\n");
  std::string page = site.get("");
  EXPECT_NE(page.find("<IMG SRC=\"/p&quot;ic/&lt;x&gt;.jpg\" >"), std::string::npos);
}

TEST(FrameTest, OldUploadFilesAreSweptAtTheEndOfARequest) {
  CgiSite site;
  const std::string stale = site.cgi_dir() + "/CGI5";
  site.write_file(stale, "left behind");
  struct timespec times[2] = {{std::time(nullptr) - 7200, 0}, {std::time(nullptr) - 7200, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, stale.c_str(), times, 0), 0);
  (void)site.get("");
  struct stat st {};
  EXPECT_NE(::stat(stale.c_str(), &st), 0);
  EXPECT_EQ(::stat((site.cgi_dir() + "/plazet.cgi").c_str(), &st), 0);
}

TEST(FrameTest, MultipartUploadWithoutAJobLeavesTheFileForTheSweep) {
  CgiSite site;
  std::string body =
      "--b\r\nContent-Disposition: form-data; name=\"F\"; filename=\"a.txt\"\r\n"
      "Content-Type: text/plain\r\n\r\nhello\r\n--b--\r\n";
  std::string page = site.run({{"REQUEST_METHOD", "POST"},
                               {"CONTENT_TYPE", "multipart/form-data; boundary=b"},
                               {"CONTENT_LENGTH", std::to_string(body.size())}},
                              body);
  EXPECT_NE(page.find("NAME=\"uid\""), std::string::npos);
  EXPECT_EQ(site.read_file(site.cgi_dir() + "/CGI0"), "hello");
}

}  // namespace
}  // namespace plazet
