#include "users/group_files.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data_dir_test.h"
#include "store/data_lock.h"

namespace plazet {
namespace {

using plazet::testing::TempDir;

// Each test has its own data directory; requests are made one at a time, as
// the server runs them, so a new one never waits for the old one's lock.
class GroupFilesTest : public testing::DataDirTest {
 protected:
};

std::vector<long> numbers_of(const std::vector<MST_GROUP>& groups) {
  std::vector<long> numbers;
  for (const MST_GROUP& g : groups) numbers.push_back(g.T02_GROUP_ID);
  return numbers;
}

// The membership sort as the file algorithm states it: every pass reads the
// whole file and writes it anew, and the file is the only state between
// passes.
std::string file_pass_sort(std::string file) {
  auto split = [](const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t lf = text.find('\n', start);
      std::size_t end = lf == std::string::npos ? text.size() : lf + 1;
      lines.push_back(text.substr(start, end - start));
      start = end;
    }
    return lines;
  };
  auto valid = [](const std::string& line) {
    std::size_t first = line.find(',');
    return first != std::string::npos && line.find(',', first + 1) != std::string::npos;
  };
  auto number = [](const std::string& line) { return std::atol(line.c_str()); };
  auto format = [&](const std::string& line) {
    std::size_t first = line.find(',');
    std::size_t second = line.find(',', first + 1);
    char out[64];
    std::snprintf(out, sizeof out, "%d,%s,\n", static_cast<int>(number(line)),
                  line.substr(first + 1, second - first - 1).c_str());
    return std::string(out);
  };

  std::size_t n = 0;
  for (const std::string& line : split(file)) n += valid(line) ? 1 : 0;
  if (n < 2) return file;
  for (; n >= 2; --n) {
    std::vector<std::string> lines = split(file);
    std::string out;
    std::size_t i = 0;
    while (!valid(lines[i])) ++i;
    std::string carried = lines[i++];
    for (std::size_t k = 0; k < n - 1; ++k) {
      while (!valid(lines[i])) ++i;
      const std::string& read = lines[i++];
      if (number(carried) < number(read)) {
        out += format(carried);
        carried = read;
      } else {
        out += format(read);
      }
    }
    out += format(carried);
    for (; i < lines.size(); ++i) {
      if (valid(lines[i])) out += format(lines[i]);
    }
    file = out;
  }
  return file;
}

// --- group.mst: reading ---

TEST_F(GroupFilesTest, ReadsTheFirstLineWithTheNumber) {
  dir_.write("group.mst", "3,Sales,\n7,Dev,\n7,Other,\n");
  std::optional<MST_GROUP> dev = ReadGROUP_MST(req(), 7);
  ASSERT_TRUE(dev);
  EXPECT_EQ(dev->T02_GROUP_ID, 7);
  EXPECT_EQ(dev->T02_GROUP_NAME, "Dev");
  EXPECT_FALSE(ReadGROUP_MST(req(), 4));
  EXPECT_FALSE(ReadGROUP_MST(req(), 0));
}

TEST_F(GroupFilesTest, LineWithOnlyANumberHasAnEmptyName) {
  dir_.write("group.mst", "9\n4,\n");
  std::optional<MST_GROUP> nine = ReadGROUP_MST(req(), 9);
  ASSERT_TRUE(nine);
  EXPECT_EQ(nine->T02_GROUP_NAME, "");
  std::optional<MST_GROUP> four = ReadGROUP_MST(req(), 4);
  ASSERT_TRUE(four);
  EXPECT_EQ(four->T02_GROUP_NAME, "");
}

TEST_F(GroupFilesTest, SeparatorRunsCountAsOneAndLinesWithoutTokenAreNoGroup) {
  // Empty lines and lines of separators only hold no token; a number read
  // by its leading digits.
  dir_.write("group.mst", "\n,,,\n,,5,,Five,\n 6x,Six\n");
  EXPECT_EQ(numbers_of(ReadGROUP_MSTall(req())), (std::vector<long>{5, 6}));
  std::optional<MST_GROUP> five = ReadGROUP_MST(req(), 5);
  ASSERT_TRUE(five);
  EXPECT_EQ(five->T02_GROUP_NAME, "Five");
  std::optional<MST_GROUP> six = ReadGROUP_MST(req(), 6);
  ASSERT_TRUE(six);
  EXPECT_EQ(six->T02_GROUP_NAME, "Six");
}

TEST_F(GroupFilesTest, ListsGroupsInFileOrderAllOrCommaTerminatedOnly) {
  dir_.write("group.mst", "7,a,\n3\n5,b\n1,c,\n");
  std::vector<MST_GROUP> all = ReadGROUP_MSTall(req());
  EXPECT_EQ(numbers_of(all), (std::vector<long>{7, 3, 5, 1}));
  ASSERT_EQ(all.size(), 4u);
  EXPECT_EQ(all[2].T02_GROUP_NAME, "b");
  EXPECT_EQ(numbers_of(ReadGROUP_MSTall(req(), GroupListing::kCommaTerminated)),
            (std::vector<long>{7, 1}));
}

TEST_F(GroupFilesTest, MissingGroupFileReadsEmptyAndIsNotCreated) {
  EXPECT_FALSE(ReadGROUP_MST(req(), 1));
  EXPECT_TRUE(ReadGROUP_MSTall(req()).empty());
  EXPECT_FALSE(group_mst_readable(req()));
  EXPECT_FALSE(dir_.exists("group.mst"));

  dir_.write("group.mst", "");
  EXPECT_TRUE(group_mst_readable(fresh()));
}

TEST_F(GroupFilesTest, StoredNameLongerThanItsFieldIsCutOnReading) {
  dir_.write("group.mst", "2," + std::string(100, 'n') + ",\n");
  std::optional<MST_GROUP> two = ReadGROUP_MST(req(), 2);
  ASSERT_TRUE(two);
  EXPECT_EQ(two->T02_GROUP_NAME, std::string(83, 'n'));
}

// --- group.mst: inserting and replacing ---

TEST_F(GroupFilesTest, NewGroupGoesBetweenSmallerAndGreaterNumbers) {
  dir_.write("group.mst", "3,Sales,\n7,Dev,\n");
  EXPECT_TRUE(ReWriteMST_GROUP(req(), {5, "Admin"}));
  EXPECT_EQ(dir_.read("group.mst"), "3,Sales,\n5,Admin,\n7,Dev,\n");
}

TEST_F(GroupFilesTest, SameNumberReplacesTheLine) {
  dir_.write("group.mst", "3,Sales,\n7,Dev,\n");
  EXPECT_TRUE(ReWriteMST_GROUP(req(), {3, "Marketing"}));
  EXPECT_EQ(dir_.read("group.mst"), "3,Marketing,\n7,Dev,\n");
}

TEST_F(GroupFilesTest, NumbersAboveAndBelowAllGoToTheEnds) {
  dir_.write("group.mst", "3,Sales,\n7,Dev,\n");
  EXPECT_TRUE(ReWriteMST_GROUP(req(), {12, "Last"}));
  EXPECT_TRUE(ReWriteMST_GROUP(req(), {1, "First"}));
  EXPECT_EQ(dir_.read("group.mst"), "1,First,\n3,Sales,\n7,Dev,\n12,Last,\n");
}

TEST_F(GroupFilesTest, AddingToEmptyOrMissingFileWritesOneLine) {
  EXPECT_TRUE(ReWriteMST_GROUP(req(), {4, "Only"}));
  EXPECT_EQ(dir_.read("group.mst"), "4,Only,\n");

  dir_.write("group.mst", "");
  EXPECT_TRUE(ReWriteMST_GROUP(fresh(), {8, "Again"}));
  EXPECT_EQ(dir_.read("group.mst"), "8,Again,\n");
}

TEST_F(GroupFilesTest, OtherLinesAreCopiedUnchangedAndTokenlessLinesDropped) {
  dir_.write("group.mst", " 3 , Sales ,extra\n,,\n\n7,Dev\n");
  EXPECT_TRUE(ReWriteMST_GROUP(req(), {5, "X"}));
  EXPECT_EQ(dir_.read("group.mst"), " 3 , Sales ,extra\n5,X,\n7,Dev\n");
}

TEST_F(GroupFilesTest, OnlyTheFirstLineOfTheNumberIsReplaced) {
  // Two lines of one number come only from editing by hand; the later one
  // stays, and readers keep finding the first.
  dir_.write("group.mst", "3,a,\n3,b,\n");
  EXPECT_TRUE(ReWriteMST_GROUP(req(), {3, "c"}));
  EXPECT_EQ(dir_.read("group.mst"), "3,c,\n3,b,\n");
  std::optional<MST_GROUP> three = ReadGROUP_MST(req(), 3);
  ASSERT_TRUE(three);
  EXPECT_EQ(three->T02_GROUP_NAME, "c");
}

TEST_F(GroupFilesTest, NewLineAfterALastLineWithoutLineFeedStartsItsOwnLine) {
  dir_.write("group.mst", "3,a,");
  EXPECT_TRUE(ReWriteMST_GROUP(req(), {5, "b"}));
  EXPECT_EQ(dir_.read("group.mst"), "3,a,\n5,b,\n");
}

TEST_F(GroupFilesTest, NameWithACommaIsReadBackAsThePartBeforeIt) {
  EXPECT_TRUE(ReWriteMST_GROUP(req(), {5, "Sales,East"}));
  EXPECT_EQ(dir_.read("group.mst"), "5,Sales,East,\n");
  std::optional<MST_GROUP> five = ReadGROUP_MST(req(), 5);
  ASSERT_TRUE(five);
  EXPECT_EQ(five->T02_GROUP_NAME, "Sales");
}

TEST_F(GroupFilesTest, LongNameIsCutTo83Bytes) {
  EXPECT_TRUE(ReWriteMST_GROUP(req(), {2, std::string(83, 'a') + "bcdef"}));
  EXPECT_EQ(dir_.read("group.mst"), "2," + std::string(83, 'a') + ",\n");
  std::optional<MST_GROUP> two = ReadGROUP_MST(req(), 2);
  ASSERT_TRUE(two);
  EXPECT_EQ(two->T02_GROUP_NAME, std::string(83, 'a'));
}

TEST_F(GroupFilesTest, NameIsCutAtALineFeedSoItCannotAddALine) {
  EXPECT_TRUE(ReWriteMST_GROUP(req(), {2, "Two\n9,Forged"}));
  EXPECT_EQ(dir_.read("group.mst"), "2,Two,\n");
  EXPECT_FALSE(ReadGROUP_MST(req(), 9));
}

TEST_F(GroupFilesTest, CreatedGroupFileTakesTheDefaultTextFileMode) {
  mode_t old = ::umask(022);
  bool ok = ReWriteMST_GROUP(req(), {1, "a"});
  ::umask(old);
  ASSERT_TRUE(ok);
  struct stat st {};
  ASSERT_EQ(::stat(dir_.file("group.mst").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
}

// --- group.mst: deleting ---

TEST_F(GroupFilesTest, DeleteRemovesEveryLineOfTheNumberAndTokenlessLines) {
  dir_.write("group.mst", "3,a,\n5,b,\n,\n5,c,\n7,d\n");
  DeleteMST_GROUP(req(), 5);
  EXPECT_EQ(dir_.read("group.mst"), "3,a,\n7,d\n");
}

TEST_F(GroupFilesTest, DeleteOfAnAbsentNumberOnlyDropsTokenlessLines) {
  dir_.write("group.mst", "3,a,\n\n7,d,");
  DeleteMST_GROUP(req(), 4);
  EXPECT_EQ(dir_.read("group.mst"), "3,a,\n7,d,");
}

TEST_F(GroupFilesTest, DeleteOnAMissingGroupFileLeavesItEmpty) {
  DeleteMST_GROUP(req(), 4);
  ASSERT_TRUE(dir_.exists("group.mst"));
  EXPECT_EQ(dir_.read("group.mst"), "");
}

// --- group.mst: work files ---

TEST_F(GroupFilesTest, GroupWritesGoThroughTheirWorkFilesAndLeaveNoneBehind) {
  dir_.write("group.mst", "3,a,\n");
  EXPECT_TRUE(ReWriteMST_GROUP(req(), {4, "b"}));
  DeleteMST_GROUP(req(), 3);
  EXPECT_EQ(dir_.read("group.mst"), "4,b,\n");
  EXPECT_FALSE(dir_.exists("F_GROUP_MST.tmp"));
  EXPECT_FALSE(dir_.exists("TEMP"));
}

TEST_F(GroupFilesTest, UnwritableWorkFileLeavesGroupFileUntouched) {
  dir_.write("group.mst", "3,a,\n");
  block("F_GROUP_MST.tmp");
  EXPECT_FALSE(ReWriteMST_GROUP(req(), {4, "b"}));
  EXPECT_EQ(dir_.read("group.mst"), "3,a,\n");

  block("TEMP");
  DeleteMST_GROUP(req(), 3);
  EXPECT_EQ(dir_.read("group.mst"), "3,a,\n");
}

// --- g_user.mst: reading ---

TEST_F(GroupFilesTest, MembershipsOfAUserInFileOrderWithExactCase) {
  dir_.write("g_user.mst", "5,taro,\n2,hana,\n1,taro,\n9,Taro,\n3,taro,\n");
  EXPECT_EQ(ReadGROUP_USER1(req(), "taro"), (std::vector<long>{5, 1, 3}));
  EXPECT_EQ(ReadGROUP_USER1(req(), "Taro"), (std::vector<long>{9}));
  EXPECT_EQ(ReadGROUP_USER1(req(), "TARO"), (std::vector<long>{}));
  EXPECT_EQ(ReadGROUP_USER1(req(), "nobody"), (std::vector<long>{}));
}

TEST_F(GroupFilesTest, OnlyLinesWithTwoCommaTerminatedFieldsCount) {
  dir_.write("g_user.mst", "5,taro\nnocomma\n,hana,\n 7x,taro,extra,\n8,,\n");
  std::vector<GROUP_USER> all = ReadGROUP_USERall(req());
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0].T02_GROUP_ID, 0);  // empty first field
  EXPECT_EQ(all[0].USER_ID, "hana");
  EXPECT_EQ(all[1].T02_GROUP_ID, 7);
  EXPECT_EQ(all[1].USER_ID, "taro");
  EXPECT_EQ(all[2].T02_GROUP_ID, 8);
  EXPECT_EQ(all[2].USER_ID, "");
  EXPECT_EQ(ReadGROUP_USER1(req(), "taro"), (std::vector<long>{7}));
}

TEST_F(GroupFilesTest, MembershipOfGroupZeroEndsTheList) {
  // The callers' array reads a 0 as its end, so the list stops there.
  dir_.write("g_user.mst", "4,taro,\n,taro,\n7,taro,\n");
  EXPECT_EQ(ReadGROUP_USER1(req(), "taro"), (std::vector<long>{4}));
}

TEST_F(GroupFilesTest, MembershipListHoldsAtMost9999Groups) {
  std::string file;
  for (int g = 1; g <= 10005; ++g) file += std::to_string(g) + ",taro,\n";
  dir_.write("g_user.mst", file);
  std::vector<long> groups = ReadGROUP_USER1(req(), "taro");
  ASSERT_EQ(groups.size(), 9999u);
  EXPECT_EQ(groups.front(), 1);
  EXPECT_EQ(groups.back(), 9999);
}

TEST_F(GroupFilesTest, MissingMembershipFileReadsEmptyAndIsNotCreated) {
  EXPECT_TRUE(ReadGROUP_USER1(req(), "taro").empty());
  EXPECT_TRUE(ReadGROUP_USERall(req()).empty());
  EXPECT_FALSE(dir_.exists("g_user.mst"));
}

TEST_F(GroupFilesTest, IdsAreComparedAsTheirFieldHoldsThem) {
  const std::string id(30, 'u');
  dir_.write("g_user.mst", "6," + id + ",\n");
  EXPECT_EQ(ReadGROUP_USERall(req())[0].USER_ID, std::string(23, 'u'));
  EXPECT_EQ(ReadGROUP_USER1(req(), id), (std::vector<long>{6}));
  EXPECT_EQ(ReadGROUP_USER1(req(), std::string(23, 'u')), (std::vector<long>{6}));
  EXPECT_EQ(ReadGROUP_USER1(req(), std::string(22, 'u')), (std::vector<long>{}));
}

// --- g_user.mst: adding ---

TEST_F(GroupFilesTest, AddingAMembershipAppendsItsLine) {
  dir_.write("g_user.mst", "5,taro,\n");
  WriteGROUP_USER(req(), {2, "hana"});
  EXPECT_EQ(dir_.read("g_user.mst"), "5,taro,\n2,hana,\n");
}

TEST_F(GroupFilesTest, AddingAnExistingPairChangesNothingButOtherCaseIsAnotherId) {
  dir_.write("g_user.mst", "5,taro,\n");
  WriteGROUP_USER(req(), {5, "taro"});
  EXPECT_EQ(dir_.read("g_user.mst"), "5,taro,\n");
  WriteGROUP_USER(req(), {5, "Taro"});
  WriteGROUP_USER(req(), {6, "taro"});
  EXPECT_EQ(dir_.read("g_user.mst"), "5,taro,\n5,Taro,\n6,taro,\n");
}

TEST_F(GroupFilesTest, AddingCreatesAMissingMembershipFile) {
  WriteGROUP_USER(req(), {3, "taro"});
  EXPECT_EQ(dir_.read("g_user.mst"), "3,taro,\n");
}

TEST_F(GroupFilesTest, AddedLineStartsItsOwnLineAfterALastLineWithoutLineFeed) {
  dir_.write("g_user.mst", "5,taro,");
  WriteGROUP_USER(req(), {6, "hana"});
  EXPECT_EQ(dir_.read("g_user.mst"), "5,taro,\n6,hana,\n");
}

TEST_F(GroupFilesTest, AddedIdIsCutToItsFieldAndFoundAgainAsSuch) {
  const std::string id = std::string(23, 'u') + "vwxyz";
  WriteGROUP_USER(req(), {4, id});
  WriteGROUP_USER(req(), {4, id});  // the same pair once cut
  EXPECT_EQ(dir_.read("g_user.mst"), "4," + std::string(23, 'u') + ",\n");
}

// --- g_user.mst: removing ---

TEST_F(GroupFilesTest, RemovingOneMembershipKeepsTheOthersWrittenAnew) {
  dir_.write("g_user.mst",
             "5,taro,\n5,hana,\nbad\n6,taro,\n5,Taro,\n 5x,taro,extra,\n 7x,hana,extra,\n");
  DeleteGROUP_USER(req(), GroupUserDelete::kMember, {5, "taro"});
  EXPECT_EQ(dir_.read("g_user.mst"), "5,hana,\n6,taro,\n5,Taro,\n7,hana,\n");
}

TEST_F(GroupFilesTest, RemovingAWholeGroupTakesEveryMember) {
  dir_.write("g_user.mst", "5,taro,\n6,hana,\n5,hana,\n7,taro,\n");
  DeleteGROUP_USER(req(), GroupUserDelete::kWholeGroup, {5, "ignored"});
  EXPECT_EQ(dir_.read("g_user.mst"), "6,hana,\n7,taro,\n");
}

TEST_F(GroupFilesTest, RemovingFromAMissingMembershipFileCreatesItEmpty) {
  DeleteGROUP_USER(req(), GroupUserDelete::kMember, {5, "taro"});
  ASSERT_TRUE(dir_.exists("g_user.mst"));
  EXPECT_EQ(dir_.read("g_user.mst"), "");
}

TEST_F(GroupFilesTest, RemovingAUserTakesAllTheirGroupsInExactCase) {
  dir_.write("g_user.mst", "5,taro,\n6,hana,\nx\n7,taro,\n8,Taro,\n");
  DeleteGROUP_USER2(req(), "taro");
  EXPECT_EQ(dir_.read("g_user.mst"), "6,hana,\n8,Taro,\n");
}

TEST_F(GroupFilesTest, RemovingAUserFromAMissingMembershipFileDoesNothing) {
  DeleteGROUP_USER2(req(), "taro");
  EXPECT_FALSE(dir_.exists("g_user.mst"));
}

// --- g_user.mst: sorting ---

TEST_F(GroupFilesTest, SortOrdersByGroupNumber) {
  dir_.write("g_user.mst", "3,c,\n1,a,\n2,b,\n");
  SortGROUP_USER(req());
  EXPECT_EQ(dir_.read("g_user.mst"), "1,a,\n2,b,\n3,c,\n");
}

TEST_F(GroupFilesTest, SortDropsLinesThatDoNotCountAndWritesTheRestAnew) {
  dir_.write("g_user.mst", "junk\n 3x,c,extra\n10,a,\n-2,b,\n,z,");
  SortGROUP_USER(req());
  EXPECT_EQ(dir_.read("g_user.mst"), "-2,b,\n0,z,\n3,c,\n10,a,\n");
}

TEST_F(GroupFilesTest, SortGivesEqualNumbersTheOrderOfTheCarryingPasses) {
  // Worked by hand: a line read that is not greater than the carried one is
  // written before it, so equal lines pass each other.
  //   1a 1b       -> 1b 1a
  //   1a 1b 1c    -> 1b 1c 1a -> 1c 1b 1a
  //   2a 2b 1c    -> 2b 1c 2a -> 1c 2b 2a
  //   3p 1q 3r 2s 1t -> 1q 3r 2s 1t 3p -> 1q 2s 1t 3r 3p
  //                  -> 1q 1t 2s 3r 3p -> 1t 1q 2s 3r 3p
  struct Case {
    const char* in;
    const char* out;
  };
  for (const Case& c : {
           Case{"1,a,\n1,b,\n", "1,b,\n1,a,\n"},
           Case{"1,a,\n1,b,\n1,c,\n", "1,c,\n1,b,\n1,a,\n"},
           Case{"2,a,\n2,b,\n1,c,\n", "1,c,\n2,b,\n2,a,\n"},
           Case{"3,p,\n1,q,\n3,r,\n2,s,\n1,t,\n", "1,t,\n1,q,\n2,s,\n3,r,\n3,p,\n"},
       }) {
    dir_.write("g_user.mst", c.in);
    SortGROUP_USER(fresh());
    EXPECT_EQ(dir_.read("g_user.mst"), c.out) << "from " << c.in;
    EXPECT_EQ(file_pass_sort(c.in), c.out) << "reference from " << c.in;
  }
}

TEST_F(GroupFilesTest, SortMatchesThePassByPassFileRewrite) {
  std::mt19937 rng(20240601);
  for (int round = 0; round < 300; ++round) {
    std::string file;
    int lines = static_cast<int>(rng() % 14);
    for (int i = 0; i < lines; ++i) {
      switch (rng() % 8) {
        case 0:
          file += "junk\n";
          break;
        case 1:
          file += std::to_string(rng() % 4) + ",only\n";
          break;
        case 2:
          file += ",u" + std::to_string(rng() % 5) + ",\n";
          break;
        default:
          file += std::to_string(rng() % 4) + ",u" + std::to_string(rng() % 10) + ",\n";
      }
    }
    dir_.write("g_user.mst", file);
    SortGROUP_USER(fresh());
    ASSERT_EQ(dir_.read("g_user.mst"), file_pass_sort(file)) << "from\n" << file;
  }
}

TEST_F(GroupFilesTest, SortLeavesAFileWithFewerThanTwoCountingLinesUntouched) {
  const std::string one = "junk\n 5x,taro,extra\nno comma";
  dir_.write("g_user.mst", one);
  SortGROUP_USER(req());
  EXPECT_EQ(dir_.read("g_user.mst"), one);

  dir_.write("g_user.mst", "");
  SortGROUP_USER(fresh());
  EXPECT_EQ(dir_.read("g_user.mst"), "");

  std::filesystem::remove(dir_.file("g_user.mst"));
  SortGROUP_USER(fresh());
  EXPECT_FALSE(dir_.exists("g_user.mst"));
}

// --- g_user.mst: work files ---

TEST_F(GroupFilesTest, MembershipRewritesGoThroughTheirWorkFiles) {
  const std::string file = "3,c,\n1,a,\n2,b,\n";
  dir_.write("g_user.mst", file);
  block("g_user.mst.tmp");
  DeleteGROUP_USER(req(), GroupUserDelete::kMember, {3, "c"});
  SortGROUP_USER(req());
  EXPECT_EQ(dir_.read("g_user.mst"), file);

  block("g_user.mst.TMP");
  DeleteGROUP_USER2(req(), "a");
  EXPECT_EQ(dir_.read("g_user.mst"), file);

  std::filesystem::remove(dir_.file("g_user.mst.tmp"));
  std::filesystem::remove(dir_.file("g_user.mst.TMP"));
  DeleteGROUP_USER2(fresh(), "a");
  DeleteGROUP_USER(req(), GroupUserDelete::kMember, {3, "c"});
  EXPECT_EQ(dir_.read("g_user.mst"), "2,b,\n");
  EXPECT_FALSE(dir_.exists("g_user.mst.tmp"));
  EXPECT_FALSE(dir_.exists("g_user.mst.TMP"));
}

// --- locking ---

TEST_F(GroupFilesTest, WritesUnderASharedLockThrowAndChangeNothing) {
  dir_.write("group.mst", "3,a,\n");
  dir_.write("g_user.mst", "3,taro,\n");
  Request& r = fresh(LockMode::kShared);
  EXPECT_THROW((void)ReWriteMST_GROUP(r, {4, "b"}), LockViolation);
  EXPECT_THROW(DeleteMST_GROUP(r, 3), LockViolation);
  EXPECT_THROW(WriteGROUP_USER(r, {4, "hana"}), LockViolation);
  EXPECT_THROW(WriteGROUP_USER(r, {3, "taro"}), LockViolation);  // even a no-op
  EXPECT_THROW(DeleteGROUP_USER(r, GroupUserDelete::kWholeGroup, {3, ""}), LockViolation);
  EXPECT_THROW(DeleteGROUP_USER2(r, "taro"), LockViolation);
  EXPECT_THROW(SortGROUP_USER(r), LockViolation);  // one line: nothing to sort
  EXPECT_EQ(dir_.read("group.mst"), "3,a,\n");
  EXPECT_EQ(dir_.read("g_user.mst"), "3,taro,\n");

  std::filesystem::remove(dir_.file("g_user.mst"));
  EXPECT_THROW(DeleteGROUP_USER2(r, "taro"), LockViolation);
  EXPECT_FALSE(dir_.exists("g_user.mst"));
}

TEST_F(GroupFilesTest, ReadsWorkUnderASharedLock) {
  dir_.write("group.mst", "3,a,\n");
  dir_.write("g_user.mst", "3,taro,\n");
  Request& r = fresh(LockMode::kShared);
  EXPECT_TRUE(ReadGROUP_MST(r, 3));
  EXPECT_EQ(ReadGROUP_USER1(r, "taro"), (std::vector<long>{3}));
}

// --- reading once per request ---

TEST_F(GroupFilesTest, EachFileIsReadOncePerRequest) {
  dir_.write("group.mst", "3,a,\n");
  dir_.write("g_user.mst", "3,taro,\n");
  Request& first = fresh();
  ASSERT_TRUE(ReadGROUP_MST(first, 3));
  ASSERT_EQ(ReadGROUP_USER1(first, "taro"), (std::vector<long>{3}));

  // Changed behind the request's back: the request keeps what it read.
  dir_.write("group.mst", "4,b,\n");
  dir_.write("g_user.mst", "4,taro,\n");
  EXPECT_TRUE(ReadGROUP_MST(first, 3));
  EXPECT_FALSE(ReadGROUP_MST(first, 4));
  EXPECT_EQ(ReadGROUP_USER1(first, "taro"), (std::vector<long>{3}));
  EXPECT_EQ(ReadGROUP_USERall(first).size(), 1u);

  Request& next = fresh();
  EXPECT_TRUE(ReadGROUP_MST(next, 4));
  EXPECT_EQ(ReadGROUP_USER1(next, "taro"), (std::vector<long>{4}));
}

TEST_F(GroupFilesTest, ReadsAfterAWriteInTheSameRequestSeeTheChange) {
  Request& r = fresh();
  EXPECT_FALSE(ReadGROUP_MST(r, 5));
  EXPECT_TRUE(ReWriteMST_GROUP(r, {5, "Five"}));
  std::optional<MST_GROUP> five = ReadGROUP_MST(r, 5);
  ASSERT_TRUE(five);
  EXPECT_EQ(five->T02_GROUP_NAME, "Five");
  DeleteMST_GROUP(r, 5);
  EXPECT_FALSE(ReadGROUP_MST(r, 5));

  EXPECT_EQ(ReadGROUP_USER1(r, "taro"), (std::vector<long>{}));
  WriteGROUP_USER(r, {3, "taro"});
  WriteGROUP_USER(r, {1, "taro"});
  EXPECT_EQ(ReadGROUP_USER1(r, "taro"), (std::vector<long>{3, 1}));
  SortGROUP_USER(r);
  EXPECT_EQ(ReadGROUP_USER1(r, "taro"), (std::vector<long>{1, 3}));
  DeleteGROUP_USER(r, GroupUserDelete::kMember, {1, "taro"});
  EXPECT_EQ(ReadGROUP_USER1(r, "taro"), (std::vector<long>{3}));
  WriteGROUP_USER(r, {4, "hana"});
  DeleteGROUP_USER(r, GroupUserDelete::kWholeGroup, {3, ""});
  EXPECT_EQ(ReadGROUP_USER1(r, "taro"), (std::vector<long>{}));
  DeleteGROUP_USER2(r, "hana");
  EXPECT_TRUE(ReadGROUP_USERall(r).empty());
  EXPECT_EQ(dir_.read("g_user.mst"), "");
}

}  // namespace
}  // namespace plazet
