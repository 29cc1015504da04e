// The chat log keeps its newest lines only.
#include <gtest/gtest.h>

#include <string>

#include "chat/chat_store.h"
#include "data_dir_test.h"

namespace plazet {
namespace {

CHAT_IDX seen(const std::string& when) {
  CHAT_IDX record;
  record.USER_ID = "Taro";
  record.LAST_TIME = when;
  return record;
}

class ChatLogTest : public testing::DataDirTest {};

TEST_F(ChatLogTest, SeventyLinesLeaveTheNewestSixtyOne) {
  open_chat_room(store(), 3);
  for (int i = 1; i <= 70; ++i) {
    CHAT_DATA line;
    line.MTALK = std::to_string(i);
    ASSERT_TRUE(WriteCHAT_DATA(fresh(), w(), 3, line));
  }
  EXPECT_EQ(dir_.read("3/chat.dat").size(), 61u * 884u);
  EXPECT_FALSE(dir_.exists("3/chat.dat.tmp"));
  Store& s = fresh();
  EXPECT_EQ(ReadCHAT_DATA(s, 3, 0)->MTALK, "70");
  EXPECT_EQ(ReadCHAT_DATA(s, 3, 60)->MTALK, "10");
  EXPECT_FALSE(ReadCHAT_DATA(s, 3, 61));
}

// The settings are rewritten in place, and the request sees its own.
TEST_F(ChatLogTest, ARequestSeesItsOwnSettings) {
  Store& s = fresh();
  open_chat_room(s, 3);
  EXPECT_FALSE(ReadCHAT_IDX(s, 3, "Taro"));
  ASSERT_TRUE(WriteCHAT_IDX(s, w(), 3, seen("2024/05/01 09:30")));
  ASSERT_TRUE(WriteCHAT_IDX(s, w(), 3, seen(kChatAbsent)));
  EXPECT_EQ(ReadCHAT_IDX(s, 3, "Taro")->LAST_TIME, kChatAbsent);
  EXPECT_EQ(dir_.read("3/chat.idx").size(), 72u);
}

}  // namespace
}  // namespace plazet
