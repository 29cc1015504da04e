#include "demo_seed.h"

#include <fcntl.h>
#include <iconv.h>

#include <algorithm>
#include <ctime>
#include <iterator>
#include <optional>
#include <vector>

#include "boards/message_service.h"
#include "boards/message_store.h"
#include "boards/read_marks.h"
#include "chat/chat_store.h"
#include "folders/acl_files.h"
#include "folders/folder_admin.h"
#include "folders/folder_settings.h"
#include "folders/folder_tree.h"
#include "store/dirs.h"
#include "store/file_io.h"
#include "store/paths.h"
#include "store/record_file.h"
#include "text/date.h"
#include "users/group_files.h"
#include "users/guest_user.h"
#include "users/user_file.h"

namespace plazet {
namespace {

bool write_plain(const std::string& path, std::string_view data) {
  UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
  return fd && write_all(fd.get(), data);
}

std::string fill_board(Store& store, const WriteToken& w, long board, const BulkSeed& seed) {
  const std::string dir = board_dir(store, board);
  if (!ensure_directory(dir)) return "cannot create " + dir;
  const std::string date = set_date();
  std::vector<INDEX_DATA> records;
  records.reserve(static_cast<std::size_t>(seed.messages));
  for (int m = 1; m <= seed.messages; ++m) {
    INDEX_DATA r;
    r.FOLDER_NO = static_cast<std::int32_t>(board);
    r.SEL_NO = m;
    // Every fourth message answers the one before it, right below it.
    bool reply = m % 4 == 0;
    r.THREAD_NO = reply ? records.back().THREAD_NO : m;
    r.RES_LEVEL = reply ? records.back().RES_LEVEL + 1 : 0;
    r.WRITE_DATE = date;
    r.WRITER = seed.writer;
    r.WRITE_TITLE = "Message " + std::to_string(m) + " of board " + std::to_string(board);
    r.READ_CHK = 1;
    records.push_back(r);
    std::string body = "Body of message " + std::to_string(m) + "\r";
    if (!write_plain(dir + "x" + std::to_string(m) + ".dat", body)) return "cannot write bodies";
    READ_POINT mark;
    mark.SEL_NO = m;
    mark.USER_ID = seed.writer;
    if (!write_plain(dir + "r" + std::to_string(m) + ".dat",
                     RecordFile<ReadPointCodec>::encode(mark))) {
      return "cannot write read marks";
    }
  }
  RecordFile<IndexDataCodec> index(dir + "index.dat");
  if (!index.replace_all(w, index.path() + ".tmp", records)) {
    return "cannot write " + index.path();
  }
  store.cache().invalidate(index.path());
  return "";
}

// The demo's texts are written here in UTF-8; the site stores Shift-JIS
// (Microsoft's variant, which browsers send for Shift_JIS pages).
std::optional<std::string> sjis(std::string_view utf8) {
  iconv_t cd = ::iconv_open("CP932", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string in(utf8);
  std::string out(in.size() * 2 + 4, '\0');
  char* from = in.data();
  char* to = out.data();
  std::size_t from_left = in.size();
  std::size_t to_left = out.size();
  const bool ok = ::iconv(cd, &from, &from_left, &to, &to_left) != static_cast<std::size_t>(-1);
  ::iconv_close(cd);
  if (!ok) return std::nullopt;
  out.resize(out.size() - to_left);
  return out;
}

enum class DemoBoard { kNews, kGeneral, kPlans, kClub };

struct DemoPost {
  DemoBoard board;
  int reply_to;  // row of the parent in kDemoPosts (from 1); 0 starts a thread
  bool by_admin;
  int priority;  // 0 none, 1, 2
  int hours_ago;
  bool delete_later;  // deleted once its replies are there: kept, marked deleted
  const char* title;
  const char* body;
  const char* attachment = nullptr;  // file name of an attachment in slot 1
  const char* attachment_text = nullptr;
};

// In the order they are posted (oldest first).
constexpr DemoPost kDemoPosts[] = {
    {DemoBoard::kGeneral, 0, true, 0, 75, false, "ようこそ Plazet へ",
     "社内の連絡はこの掲示板でどうぞ。\n"
     "左のメニューからフォルダを開くと掲示板とチャットが並んでいます。\n"
     "使い方は添付のメモを見てください。",
     "guide.txt",
     "Plazet の使い方\n"
     "1. 左のメニューで掲示板を選びます。\n"
     "2. 「新規投稿」で新しい話題を書きます。\n"
     "3. 記事を開いて「返信」で答えます。\n"},
    {DemoBoard::kPlans, 0, false, 0, 60, true, "来期の計画(案)",
     "来期は新しい商品を二つ出したいと考えています。\n詳しくは会議で。"},
    {DemoBoard::kPlans, 2, true, 0, 58, false, "案の修正について",
     ">来期は新しい商品を二つ出したいと考えています。\n"
     "一つに絞ったほうがよいと思います。予算の表を作ってください。"},
    {DemoBoard::kPlans, 3, false, 0, 50, false, "予算表を作りました",
     "予算表を作りました。来週の会議で見てください。"},
    {DemoBoard::kNews, 0, true, 2, 30, false, "年末年始の休業のお知らせ",
     "12月29日から1月3日までお休みです。\n"
     "急ぎの連絡は掲示板に書いてください。"},
    {DemoBoard::kNews, 5, false, 0, 26, false, "了解しました",
     ">12月29日から1月3日までお休みです。\n承知しました。良いお年を。"},
    {DemoBoard::kGeneral, 0, false, 1, 20, false, "質問: 添付ファイルの大きさ",
     "添付ファイルはどのくらいの大きさまで送れますか。"},
    {DemoBoard::kGeneral, 7, true, 0, 18, false, "大きさの目安",
     "ウェブサーバーの設定しだいです。大きな資料は分けて送ってください。"},
    {DemoBoard::kClub, 0, false, 0, 6, false, "週末の釣行",
     "土曜日の朝6時に港に集合です。\n竿は貸し出せます。"},
};

std::optional<long> board_named(Store& store, const std::string& name) {
  for (const B_TITLE& f : *folder_tree(store)) {
    if (f.MODE == B_TITLE::kBoard && f.NAME == name) return f.FOLDER_NO;
  }
  return std::nullopt;
}

// The club: a Dir at the end of the tree with one board inside, which only
// the members of a group (and administrators) may read.
std::string make_club(Store& store, const WriteToken& w, const std::string& user, long* board) {
  const auto dir_name = sjis("サークル");
  const auto board_name = sjis("釣り部");
  const auto info = sjis("部員だけが読み書きできる掲示板です。");
  if (!dir_name || !board_name || !info) return "cannot convert the demo texts to Shift-JIS";
  if (create_folder(store, w, 0, Placement::kAfter, B_TITLE::kDir, *dir_name) != kFolderCreated) {
    return "cannot create the club folder";
  }
  const int dir_line = static_cast<int>(folder_tree(store)->size());
  if (create_folder(store, w, dir_line, Placement::kInside, B_TITLE::kBoard, *board_name, board) !=
      kFolderCreated) {
    return "cannot create the club board";
  }
  B_TITLE2 settings = ReadB_TITLE2(store, *board).value_or(B_TITLE2{});
  settings.ADD_MAX = 3;
  settings.READ_LEVEL = 50;
  settings.WRITE_LEVEL = 50;
  settings.INFO = *info;
  if (!ReWriteB_TITLE2(store, w, settings)) return "cannot configure the club board";

  long group = 1;
  for (const MST_GROUP& g : ReadGROUP_MSTall(store)) group = std::max(group, g.T02_GROUP_ID + 1);
  if (!ReWriteMST_GROUP(store, w, {group, *board_name}) ||
      !WriteGROUP_USER(store, w, {group, user})) {
    return "cannot write the club group";
  }
  (void)WriteB_G_ACL(store, w,
                     {static_cast<std::int32_t>(*board), static_cast<std::int32_t>(group), 2});
  return "";
}

std::string post_demo(Store& store, const WriteToken& w, const DemoContent& content,
                      const std::vector<long>& boards, std::vector<long>& numbers,
                      const DemoPost& post) {
  const auto title = sjis(post.title);
  auto body = sjis(post.body);
  if (!title || !body) return "cannot convert the demo texts to Shift-JIS";
  for (char& c : *body) {
    if (c == '\n') c = '\r';  // bodies keep CR alone
  }
  Posting posting;
  INDEX_DATA& r = posting.record;
  r.FOLDER_NO = static_cast<std::int32_t>(boards[static_cast<std::size_t>(post.board)]);
  r.SEL_NO = post.reply_to ? static_cast<std::int32_t>(numbers[post.reply_to - 1]) : 0;
  r.WRITE_PRIORITY = post.priority;
  r.WRITE_DATE = set_date(std::time(nullptr) - post.hours_ago * 3600L);
  r.WRITER = post.by_admin ? content.admin : content.user;
  r.WRITE_TITLE = *title;
  r.READ_CHK = 1;
  posting.body = *body;
  if (post.attachment) {
    // Staged in the upload directory under a parser-like name, then moved
    // into its slot by the posting service as a browser's upload is.
    const std::string temp = "CGIdemo";
    const auto text = sjis(post.attachment_text);
    UniqueFd fd(::open(editpath(temp, content.upload_dir).c_str(),
                       O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!text || !fd || !write_all(fd.get(), *text)) return "cannot stage the demo attachment";
    posting.slots.push_back({1, UploadName{post.attachment, temp}, false});
    r.ADD_COUNT = 1;
  }
  long number = 0;
  if (post_message(store, w, posting, {content.ADD_FILE_PATH, content.upload_dir}, content.log,
                   &number) != PostResult::kStored) {
    return std::string("cannot post ") + post.title;
  }
  numbers.push_back(number);
  return "";
}

// A few lines in the chat room Lobby, oldest first, as the room writes them.
std::string chat_in_lobby(Store& store, const WriteToken& w, const DemoContent& content) {
  struct Line {
    bool by_admin;
    int minutes_ago;
    const char* text;
  };
  constexpr Line kLines[] = {
      {true, 40, "おはようございます。"},
      {false, 38, "おはようございます。今日の会議は何時からですか。"},
      {true, 35, "10時からです。資料は掲示板に置きました。"},
  };
  long lobby = 0;
  for (const B_TITLE& f : *folder_tree(store)) {
    if (f.MODE == B_TITLE::kChat && f.NAME == "Lobby") lobby = f.FOLDER_NO;
  }
  if (lobby == 0) return "the demo tree has no chat room Lobby";
  open_chat_room(store, lobby);
  for (const Line& line : kLines) {
    std::string id = line.by_admin ? content.admin : content.user;
    const std::optional<MST_USER> user = ReadMST_USER(store, id);
    const auto text = sjis(line.text);
    if (!text) return "cannot convert the demo texts to Shift-JIS";
    CHAT_DATA data;
    data.KIND = user ? static_cast<std::int32_t>(user->MODE) : 1;
    data.USER_NAME = user ? user->USER_NAME : id;
    data.MTALK = *text;
    data.DATE = set_datetime(std::time(nullptr) - line.minutes_ago * 60L);
    data.REMOTE_ADDR = "127.0.0.1";
    data.HTTP_USER_AGENT = "Mozilla/5.0 (X11; Linux x86_64)";
    if (!WriteCHAT_DATA(store, w, lobby, data)) return "cannot write the Lobby's log";
  }
  return "";
}

}  // namespace

std::string seed_bulk(Store& store, const WriteToken& w, const BulkSeed& seed) {
  for (int b = 0; b < seed.boards; ++b) {
    if (b % 10 == 0) {
      std::string name = "Dir " + std::to_string(b / 10 + 1);
      if (create_folder(store, w, 0, Placement::kAfter, B_TITLE::kDir, name) != kFolderCreated) {
        return "cannot create " + name;
      }
    }
    const int dir_line = static_cast<int>(folder_tree(store)->size()) - b % 10;
    long number = 0;
    std::string name = "Board " + std::to_string(b + 1);
    if (create_folder(store, w, dir_line, Placement::kInside, B_TITLE::kBoard, name, &number) !=
        kFolderCreated) {
      return "cannot create " + name;
    }
    std::string error = fill_board(store, w, number, seed);
    if (!error.empty()) return error;
  }
  return "";
}

std::string seed_demo_tree(Store& store, const WriteToken& w) {
  struct Step {
    int dispno;
    Placement placement;
    int mode;
    const char* name;
  };
  // Display numbers as the tree grows: Office 1, News 2, Projects 3, Plans 4.
  constexpr Step kSteps[] = {
      {0, Placement::kAfter, B_TITLE::kDir, "Office"},
      {1, Placement::kInside, B_TITLE::kBoard, "News"},
      {2, Placement::kAfter, B_TITLE::kDir, "Projects"},
      {3, Placement::kInside, B_TITLE::kBoard, "Plans"},
      {0, Placement::kAfter, B_TITLE::kBoard, "General"},
      {0, Placement::kAfter, B_TITLE::kChat, "Lobby"},
  };
  for (const Step& step : kSteps) {
    long number = 0;
    if (create_folder(store, w, step.dispno, step.placement, step.mode, step.name, &number) !=
        kFolderCreated) {
      return std::string("cannot create ") + step.name;
    }
    // Demo boards take three attachments a message.
    if (step.mode == B_TITLE::kBoard) {
      B_TITLE2 settings = ReadB_TITLE2(store, number).value_or(B_TITLE2{});
      settings.ADD_MAX = 3;
      if (!ReWriteB_TITLE2(store, w, settings)) return std::string("cannot configure ") + step.name;
    }
  }
  return "";
}

std::string seed_demo_content(Store& store, const WriteToken& w, const DemoContent& content) {
  std::vector<long> boards;
  for (const char* name : {"News", "General", "Plans"}) {
    std::optional<long> board = board_named(store, name);
    if (!board) return std::string("the demo tree has no board ") + name;
    if (CountINDEX_DATA(store, *board) > 0) return "the demo boards hold messages already";
    boards.push_back(*board);
  }
  long club = 0;
  std::string error = make_club(store, w, content.user, &club);
  if (!error.empty()) return error;
  boards.push_back(club);

  std::vector<long> numbers;
  for (const DemoPost& post : kDemoPosts) {
    error = post_demo(store, w, content, boards, numbers, post);
    if (!error.empty()) return error;
  }
  for (std::size_t i = 0; i < std::size(kDemoPosts); ++i) {
    const long board = boards[static_cast<std::size_t>(kDemoPosts[i].board)];
    if (kDemoPosts[i].delete_later && delete_message(store, w, content.ADD_FILE_PATH, board,
                                                     numbers[i]) != DeleteResult::kMarkedDeleted) {
      return "cannot delete the demo message " + std::to_string(numbers[i]);
    }
  }

  error = chat_in_lobby(store, w, content);
  if (!error.empty()) return error;

  // An applicant waiting for an administrator's decision.
  GUEST_USER application;
  const auto name = sjis("山田花子");
  if (!name) return "cannot convert the demo texts to Shift-JIS";
  application.USER_ID = "hanako";
  application.USER_NAME = *name;
  application.E_MAIL_ADDR = "hanako@example.jp";
  application.USER_PASS = "hanako";
  application.APPLY_DATE = set_date(std::time(nullptr) - 3 * 3600L);
  application.REMOTE_ADDR = "192.0.2.10";
  application.HTTP_USER_AGENT = "Mozilla/5.0 (X11; Linux x86_64)";
  if (!WriteGUEST_USER(store, w, application)) return "cannot write the ID application";
  return "";
}

}  // namespace plazet
