#include "folders/folder_tree.h"

#include "store/atomic_file.h"
#include "store/be_codec.h"
#include "store/file_io.h"
#include "store/line_reader.h"
#include "text/sjis.h"

namespace plazet {
namespace {

constexpr std::size_t kLineBytes = 999;

struct TreeFile {
  LinedText lines;                 // every physical line
  std::vector<B_TITLE> folders;    // the valid ones, in order
  std::vector<int> physical_line;  // of each valid one, 1-based
};

int kind_of(std::string_view word) {
  if (word.empty()) return 0;
  switch (word[0]) {
    case 'D':
    case 'd':
      return B_TITLE::kDir;
    case 'B':
    case 'b':
      return B_TITLE::kBoard;
    case 'C':
    case 'c':
      return B_TITLE::kChat;
    default:
      return 0;
  }
}

const char* kind_word(int mode) {
  switch (mode) {
    case B_TITLE::kDir:
      return "Dir";
    case B_TITLE::kBoard:
      return "Board";
    case B_TITLE::kChat:
      return "Chat";
    default:
      return "";
  }
}

}  // namespace

// A line's three comma-ended columns; the first comma is found by the
// two-byte rule (a name may hold Shift-JIS text), the others follow numbers.
std::optional<B_TITLE> parse_title_line(std::string_view line) {
  std::optional<std::size_t> first = StrFind(line, ",");
  if (!first) return std::nullopt;
  std::string_view rest = line.substr(*first + 1);
  std::size_t second = rest.find(',');
  if (second == std::string_view::npos) return std::nullopt;
  std::size_t third = rest.find(',', second + 1);
  if (third == std::string_view::npos) return std::nullopt;
  B_TITLE t;
  std::string_view name = line.substr(0, *first);
  std::size_t blanks = name.find_first_not_of(' ');
  if (blanks == std::string_view::npos) blanks = name.size();
  t.DEPTH = static_cast<int>(blanks);
  t.NAME = fit_field(name.substr(blanks), B_TITLE::kNameWidth);
  t.FOLDER_NO = atol_prefix(rest.substr(0, second));
  t.MODE = kind_of(rest.substr(second + 1, third - second - 1));
  return t;
}

namespace {

std::shared_ptr<const TreeFile> load(Store& store) {
  const std::string path = store.path(kTreeFile);
  return store.cache().get<TreeFile>(path, [&] {
    TreeFile tree;
    tree.lines = LinedText(read_file(path).value_or(std::string()), kLineBytes);
    for (std::size_t i = 0; i < tree.lines.size(); ++i) {
      if (std::optional<B_TITLE> t = parse_title_line(tree.lines[i])) {
        tree.folders.push_back(std::move(*t));
        tree.physical_line.push_back(static_cast<int>(i + 1));
      }
    }
    return tree;
  });
}

// Replaces the tree file with `text` through its temporary file.
bool commit_tree(Store& store, const WriteToken& w, const char* temp_suffix,
                 const std::string& text) {
  const std::string path = store.path(kTreeFile);
  bool ok = replace_file(w, path, path + temp_suffix, text, 0666);
  store.cache().invalidate(path);
  return ok;
}

}  // namespace

std::string format_title_line(const B_TITLE& t) {
  std::string name = single_line(fit_field(t.NAME, B_TITLE::kNameWidth));
  return std::string(static_cast<std::size_t>(std::max(t.DEPTH, 0)), ' ') + name + "," +
         std::to_string(t.FOLDER_NO) + "," + kind_word(t.MODE) + ",\n";
}

std::shared_ptr<const std::vector<B_TITLE>> folder_tree(Store& store) {
  std::shared_ptr<const TreeFile> file = load(store);
  return std::shared_ptr<const std::vector<B_TITLE>>(file, &file->folders);
}

std::optional<B_TITLE> ReadB_TITLE(Store& store, long key, TitleKey mode) {
  const auto tree = folder_tree(store);
  const std::vector<B_TITLE>& folders = *tree;
  if (mode == TitleKey::kDisplayNo) {
    if (key < 1 || static_cast<std::size_t>(key) > folders.size()) return std::nullopt;
    return folders[static_cast<std::size_t>(key - 1)];
  }
  for (const B_TITLE& t : folders) {
    if (t.FOLDER_NO == key) return t;
  }
  return std::nullopt;
}

int physical_line_of(Store& store, int p) {
  const auto file = load(store);
  const TreeFile& tree = *file;
  if (p >= 1 && static_cast<std::size_t>(p) <= tree.physical_line.size()) {
    return tree.physical_line[static_cast<std::size_t>(p - 1)];
  }
  return static_cast<int>(tree.lines.size());
}

std::optional<int> display_number(Store& store, long folder_no) {
  const auto tree = folder_tree(store);
  const std::vector<B_TITLE>& folders = *tree;
  for (std::size_t i = 0; i < folders.size(); ++i) {
    if (folders[i].FOLDER_NO == folder_no) return static_cast<int>(i + 1);
  }
  return std::nullopt;
}

bool InsertB_TITLE(Store& store, const WriteToken& w, int p, const B_TITLE& title) {
  if (p < 1) return false;
  const auto file = load(store);
  const LinedText& lines = file->lines;
  std::string text;
  int i = 0;
  for (std::size_t n = 0; n < lines.size(); ++n) {
    text += lines[n];
    if (++i == p || (i < p && n + 1 == lines.size())) {
      // A last line without its line feed must not run into the new one.
      if (text.back() != '\n') text += '\n';
      text += format_title_line(title);
    }
  }
  if (lines.size() == 0) text = format_title_line(title);
  return commit_tree(store, w, ".TMP", text);
}

bool DeleteB_TITLE(Store& store, const WriteToken& w, int p) {
  const auto file = load(store);
  const LinedText& lines = file->lines;
  if (p < 1 || static_cast<std::size_t>(p) > lines.size()) {
    // A missing tree file is created empty, as by every writer.
    if (!file_exists(store.path(kTreeFile))) (void)commit_tree(store, w, ".tmp", "");
    return false;
  }
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i + 1 != static_cast<std::size_t>(p)) text += lines[i];
  }
  return commit_tree(store, w, ".tmp", text);
}

bool ReWriteB_TITLE(Store& store, const WriteToken& w, const B_TITLE& title) {
  bool replaced = false;
  std::string text;
  const auto file = load(store);
  const LinedText& lines = file->lines;
  for (std::size_t n = 0; n < lines.size(); ++n) {
    std::string_view line = lines[n];
    std::size_t first = line.find(',');
    std::size_t second = first == std::string_view::npos ? first : line.find(',', first + 1);
    std::size_t third = second == std::string_view::npos ? second : line.find(',', second + 1);
    if (third == std::string_view::npos) continue;
    if (atol_prefix(line.substr(first + 1, second - first - 1)) == title.FOLDER_NO) {
      text += format_title_line(title);
      replaced = true;
    } else {
      text += line;
    }
  }
  return commit_tree(store, w, ".tmp", text) && replaced;
}

std::optional<int> get_upper_folder(Store& store, int p) {
  std::optional<B_TITLE> line = ReadB_TITLE(store, p, TitleKey::kDisplayNo);
  if (!line || line->DEPTH == 0) return std::nullopt;
  const auto tree = folder_tree(store);
  const std::vector<B_TITLE>& folders = *tree;
  for (int q = p - 1; q >= 1; --q) {
    if (folders[static_cast<std::size_t>(q - 1)].DEPTH < line->DEPTH) return q;
  }
  return p;
}

}  // namespace plazet
