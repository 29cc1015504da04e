// The text functions against the case tables in tests/unit/data: each section
// names the function, the fields are its arguments and then its result.
#include <cstdlib>
#include <ctime>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "boards/uploads.h"
#include "cases.h"
#include "chat/chat_store.h"
#include "frame/settings.h"
#include "store/be_codec.h"
#include "store/file_find.h"
#include "store/line_reader.h"
#include "store/paths.h"
#include "text/date.h"
#include "text/escape.h"
#include "text/html_text.h"
#include "text/kanji_code.h"
#include "text/sanitize.h"
#include "text/sjis.h"
#include "users/user_file.h"

namespace plazet {
namespace {

using Args = std::vector<std::string>;

// A function that changes its argument in place, as a function of its result.
std::string in_place(void (*f)(std::string&), std::string text) {
  f(text);
  return text;
}

// Pieces joined with "|".
template <typename Pieces>
std::string joined(const Pieces& pieces) {
  std::string out;
  for (std::string_view p : pieces) out += (out.empty() ? "" : "|") + std::string(p);
  return out;
}

// Upload values name the parser's temporary file: only CGI0 and CGI4 are its own.
struct OwnUploads {
  bool is_own_upload(std::string_view name) const { return name == "CGI0" || name == "CGI4"; }
};

// Dates follow the process's time zone: the first argument names it.
std::time_t in_zone(const std::string& zone, const std::string& time) {
  setenv("TZ", zone.c_str(), 1);
  tzset();
  return static_cast<std::time_t>(std::stoll(time));
}

const std::map<std::string, std::function<std::string(const Args&)>> kFunctions = {
    {"sanitize_html", [](const Args& a) { return sanitize_html(a.at(0)).str(); }},
    {"html_attr", [](const Args& a) { return html_attr(a.at(0)).str(); }},
    {"html_textarea", [](const Args& a) { return html_textarea(a.at(0)).str(); }},
    {"url_query", [](const Args& a) { return url_query(a.at(0)).str(); }},
    {"Add_Blue", [](const Args& a) { return Add_Blue(a.at(0), a.at(1)); }},
    {"Add_a_href", [](const Args& a) { return Add_a_href(a.at(0)); }},
    {"get_url", [](const Args& a) { return get_url(a.at(0), std::stoul(a.at(1))); }},
    {"CrLf_to_BR", [](const Args& a) { return CrLf_to_BR(a.at(0)); }},
    {"CrLf_to_Cr", [](const Args& a) { return CrLf_to_Cr(a.at(0)); }},
    {"Add_Res", [](const Args& a) { return Add_Res(a.at(0)); }},
    {"ketadori", [](const Args& a) { return ketadori(a.at(0)); }},
    {"TrimRight", [](const Args& a) { return TrimRight(a.at(0)); }},
    {"HtmlConvert", [](const Args& a) { return HtmlConvert(a.at(0)); }},
    {"render_body",
     [](const Args& a) { return render_body(a.at(0), a.at(1), std::stoi(a.at(2))).str(); }},
    {"StrFind",
     [](const Args& a) {
       std::optional<std::size_t> at = StrFind(a.at(0), a.at(1));
       return at ? std::to_string(*at) : "none";
     }},
    {"cut_name", [](const Args& a) { return cut_name(a.at(0), a.at(1).at(0)); }},
    {"check_name",
     [](const Args& a) {
       return std::string(check_name(a.at(0), a.at(1)) ? "match" : "no match");
     }},
    {"ToUppers", [](const Args& a) { return in_place(ToUppers, a.at(0)); }},
    {"editpath", [](const Args& a) { return editpath(a.at(0), a.at(1)); }},
    {"atol_prefix", [](const Args& a) { return std::to_string(atol_prefix(a.at(0))); }},
    {"split_tokens",
     [](const Args& a) {
       return joined(split_tokens(a.at(0), a.at(1), a.size() > 2 ? std::stoul(a[2]) : SIZE_MAX));
     }},
    {"LineReader",
     [](const Args& a) {
       LineReader lines(a.at(0), std::stoul(a.at(1)));
       std::vector<std::string_view> pieces;
       while (auto piece = lines.next()) pieces.push_back(*piece);
       return joined(pieces);
     }},
    {"chat_color", [](const Args& a) { return chat_color(a.at(0), "4161E1"); }},
    {"fit_field", [](const Args& a) { return fit_field(a.at(0), std::stoul(a.at(1))); }},
    {"fit_text_field", [](const Args& a) { return fit_text_field(a.at(0), std::stoul(a.at(1))); }},
    {"cut_filename",
     [](const Args& a) {
       std::optional<UploadName> u = cut_filename(OwnUploads{}, a.at(0));
       return u ? u->file_name + " in " + u->temp_name : "refused";
     }},
    {"parse_user_line",
     [](const Args& a) {
       const std::optional<MST_USER> u = parse_user_line(a.at(0));
       if (!u) return std::string("none");
       return u->USER_ID + "|" + u->USER_NAME + "|" + std::to_string(u->USER_LEVEL) + "|" +
              u->E_MAIL_ADDR + "|" + u->USER_PASS + "|" + std::to_string(u->P_GROUP) + "|" +
              std::to_string(u->USER_DISP_DEF) + "|" + std::to_string(u->MODE) + "|" +
              std::to_string(u->WRITE_MODE) + "|" + u->LANGUAGE + "|" + u->PICFILE + "|" +
              std::to_string(u->NO_READ_MODE);
     }},
    {"make_ini_path", [](const Args& a) { return make_ini_path(a.at(0)); }},
    {"jis2sjis",
     [](const Args& a) {
       auto c1 = static_cast<unsigned char>(a.at(0).at(0));
       auto c2 = static_cast<unsigned char>(a.at(0).at(1));
       jis2sjis(c1, c2);
       return std::string{static_cast<char>(c1), static_cast<char>(c2)};
     }},
    {"whatKanjiCode",
     [](const Args& a) {
       // In the order of KanjiCode: kNone, kShiftJis, kJis, kEuc.
       static const char* const kNames[] = {"none", "sjis", "jis", "euc"};
       return std::string(kNames[static_cast<int>(whatKanjiCode(a.at(0)))]);
     }},
    {"JisToShiftJis", [](const Args& a) { return in_place(JisToShiftJisWithLen, a.at(0)); }},
    {"EucToShiftJis", [](const Args& a) { return in_place(EucToShiftJisWithLen, a.at(0)); }},
    {"AutoConvert", [](const Args& a) { return in_place(AutoConvertToShiftJis, a.at(0)); }},
    {"set_date", [](const Args& a) { return set_date(in_zone(a.at(0), a.at(1))); }},
    {"set_datetime", [](const Args& a) { return set_datetime(in_zone(a.at(0), a.at(1))); }},
    {"cutoff_date",
     [](const Args& a) { return cutoff_date(in_zone(a.at(0), a.at(1)), std::stoi(a.at(2))); }},
    {"back_date",
     [](const Args& a) {
       std::string text = a.at(0);
       for (int n = std::stoi(a.at(1)); n > 0; --n) back_date(text);
       return text;
     }},
};

class TextCases : public ::testing::TestWithParam<const char*> {
 protected:
  void TearDown() override {
    setenv("TZ", "UTC", 1);
    tzset();
  }
};

TEST_P(TextCases, EveryCaseGivesItsResult) {
  const std::vector<testing::Case> cases = testing::load_cases(GetParam());
  ASSERT_GE(cases.size(), 10u) << GetParam();
  for (const testing::Case& c : cases) {
    const std::string where = std::string(GetParam()) + ":" + std::to_string(c.line);
    const auto f = kFunctions.find(c.section);
    ASSERT_NE(f, kFunctions.end()) << where << " [" << c.section << "]";
    ASSERT_GE(c.fields.size(), 2u) << where;
    const Args args(c.fields.begin(), c.fields.end() - 1);
    EXPECT_EQ(f->second(args), c.fields.back()) << where;
  }
}

INSTANTIATE_TEST_SUITE_P(Tables, TextCases,
                         ::testing::Values("sanitize.cases", "html_text.cases", "kanji.cases",
                                           "date.cases", "strings.cases"),
                         [](const auto& info) {
                           std::string name = info.param;
                           return name.substr(0, name.find('.'));
                         });

// Counting back a day at a time and cutting off at once agree over years.
TEST(TextDatesTest, CutoffAgreesWithRepeatedBackDate) {
  for (const std::time_t start : {1000000000L, 952257600L, 4107542400L}) {
    std::string text = set_date(in_zone("UTC", std::to_string(start)));
    for (int days = 0; days <= 1600; ++days) {
      ASSERT_EQ(cutoff_date(start, days), text) << start << " " << days;
      back_date(text);
    }
  }
  EXPECT_LT(cutoff_date(1000000000L, 2147483647), "0000/01/01");
}

}  // namespace
}  // namespace plazet
