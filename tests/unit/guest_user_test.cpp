// g_user.dat, the ID applications: records against bytes written from the
// record layout.
#include "users/guest_user.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "cases.h"
#include "data_dir_test.h"

namespace plazet {
namespace {

// An application given as ID|name|mail|password|date|address|browser|answer|state.
GUEST_USER application(const std::string& text) {
  std::vector<std::string> f;
  for (std::size_t at = 0, end = 0; end != std::string::npos; at = end + 1) {
    end = text.find('|', at);
    f.push_back(text.substr(at, end - at));
  }
  return GUEST_USER{f.at(0), f.at(1), f.at(2), f.at(3),           f.at(4),
                    f.at(5), f.at(6), f.at(7), std::stoi(f.at(8))};
}

class GuestUserTest : public testing::DataDirTest {};

// Writing appends unless the ID is there; reading gives every whole record
// in file order.
TEST_F(GuestUserTest, ApplicationsAreWrittenAndReadAsTheCaseTableSays) {
  const auto cases = testing::load_cases("guest_user.cases");
  ASSERT_GE(cases.size(), 9u);
  for (const testing::Case& c : cases) {
    SCOPED_TRACE("guest_user.cases:" + std::to_string(c.line));
    const bool write = c.section == "write";
    ASSERT_EQ(c.fields.size(), write ? 4u : 2u);
    std::filesystem::remove(dir_.file("g_user.dat"));
    if (c.fields[write] != "-") dir_.write("g_user.dat", c.fields[write]);
    if (write) {
      EXPECT_EQ(WriteGUEST_USER(fresh(), w(), application(c.fields[0])) ? "true" : "false",
                c.fields[2]);
      EXPECT_EQ(dir_.read("g_user.dat"), c.fields[3]);
      continue;
    }
    std::string shown;
    for (const GUEST_USER& r : ReadGUEST_USERall(fresh())) {
      shown +=
          (shown.empty() ? "" : " ") + r.USER_ID + "/" + std::to_string(r.OK_NG) + "/" + r.MESSAGE;
    }
    EXPECT_EQ(shown, c.fields[1]);
  }
}

}  // namespace
}  // namespace plazet
