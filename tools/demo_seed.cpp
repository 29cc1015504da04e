#include "demo_seed.h"

#include <fcntl.h>

#include <vector>

#include "boards/message_store.h"
#include "boards/read_marks.h"
#include "folders/folder_admin.h"
#include "folders/folder_settings.h"
#include "folders/folder_tree.h"
#include "store/dirs.h"
#include "store/file_io.h"
#include "store/record_file.h"
#include "text/date.h"

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

}  // namespace plazet
