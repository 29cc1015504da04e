#include "chat/chat_store.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "store/be_codec.h"
#include "store/dirs.h"
#include "store/record_file.h"
#include "text/sjis.h"

namespace plazet {
namespace {

using IdxFile = RecordFile<ChatIdxCodec>;
using LogFile = RecordFile<ChatDataCodec>;

IdxFile idx_file(const Store& store, long room) {
  return IdxFile(chat_room_dir(store, room) + "/chat.idx");
}

LogFile log_file(const Store& store, long room) {
  return LogFile(chat_room_dir(store, room) + "/chat.dat");
}

// The files' whole records, read once per request; only the records a page
// uses are decoded.
std::shared_ptr<const std::string> load_idx(Store& store, long room) {
  const IdxFile file = idx_file(store, room);
  return store.cache().get<std::string>(file.path(), [&] { return file.record_bytes(); });
}

std::shared_ptr<const std::string> load_log(Store& store, long room) {
  const LogFile file = log_file(store, room);
  return store.cache().get<std::string>(file.path(),
                                        [&] { return file.record_bytes(kChatLogLines); });
}

// The position of the first chat.idx record of `user_id`.
std::optional<std::size_t> seat_of(const std::string& records, std::string_view user_id) {
  const std::size_t width = CHAT_IDX::kIdWidth;
  if (user_id.size() >= width) return std::nullopt;
  for (std::size_t at = 0; at + ChatIdxCodec::kSize <= records.size(); at += ChatIdxCodec::kSize) {
    if (records.compare(at, user_id.size(), user_id) == 0 && records[at + user_id.size()] == '\0') {
      return at / ChatIdxCodec::kSize;
    }
  }
  return std::nullopt;
}

}  // namespace

CHAT_IDX ChatIdxCodec::decode(const unsigned char* p) {
  CHAT_IDX r;
  r.USER_ID = load_text(p, CHAT_IDX::kIdWidth);
  r.COLOR = load_text(p + 22, CHAT_IDX::kColorWidth);
  r.LOG_LINE = load_i32(p + 44);
  r.RELOAD_TIME = load_i32(p + 48);
  r.LAST_TIME = load_text(p + 52, CHAT_IDX::kTimeWidth);
  return r;
}

void ChatIdxCodec::encode(const CHAT_IDX& r, unsigned char* p) {
  store_text(p, CHAT_IDX::kIdWidth, r.USER_ID);
  store_text(p + 22, CHAT_IDX::kColorWidth, r.COLOR);
  store_i32(p + 44, r.LOG_LINE);
  store_i32(p + 48, r.RELOAD_TIME);
  store_text(p + 52, CHAT_IDX::kTimeWidth, r.LAST_TIME);
}

CHAT_DATA ChatDataCodec::decode(const unsigned char* p) {
  CHAT_DATA r;
  r.KIND = load_i32(p);
  r.USER_NAME = load_text(p + 4, CHAT_DATA::kNameWidth);
  r.COLOR = load_text(p + 86, CHAT_DATA::kColorWidth);
  r.MTALK = load_text(p + 108, CHAT_DATA::kTalkWidth);
  r.DATE = load_text(p + 360, CHAT_DATA::kDateWidth);
  r.REMOTE_ADDR = load_text(p + 380, CHAT_DATA::kClientWidth);
  r.HTTP_USER_AGENT = load_text(p + 632, CHAT_DATA::kClientWidth);
  return r;
}

void ChatDataCodec::encode(const CHAT_DATA& r, unsigned char* p) {
  store_i32(p, r.KIND);
  store_text(p + 4, CHAT_DATA::kNameWidth, r.USER_NAME);
  store_text(p + 86, CHAT_DATA::kColorWidth, r.COLOR);
  store_text(p + 108, CHAT_DATA::kTalkWidth, r.MTALK);
  store_text(p + 360, CHAT_DATA::kDateWidth, r.DATE);
  store_text(p + 380, CHAT_DATA::kClientWidth, r.REMOTE_ADDR);
  store_text(p + 632, CHAT_DATA::kClientWidth, r.HTTP_USER_AGENT);
}

std::string chat_color(std::string_view color, std::string_view fallback) {
  auto is_hex = [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
  };
  auto is_letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  std::string_view digits = color.starts_with('#') ? color.substr(1) : color;
  if ((digits.size() == 6 || digits.size() == 3) && std::ranges::all_of(digits, is_hex)) {
    return std::string(color);
  }
  if (!color.empty() && std::ranges::all_of(color, is_letter)) return std::string(color);
  return std::string(fallback);
}

std::string chat_room_dir(const Store& store, long room) {
  return store.dir() + std::to_string(room);
}

void open_chat_room(const Store& store, long room) {
  ensure_directory(chat_room_dir(store, room));
}

std::optional<CHAT_IDX> ReadCHAT_IDX(Store& store, long room, std::string_view user_id) {
  const auto records = load_idx(store, room);
  const std::optional<std::size_t> at = seat_of(*records, user_id);
  if (!at) return std::nullopt;
  return ChatIdxCodec::decode(reinterpret_cast<const unsigned char*>(records->data()) +
                              *at * ChatIdxCodec::kSize);
}

bool WriteCHAT_IDX(Store& store, const WriteToken& w, long room, CHAT_IDX record) {
  record.USER_ID = fit_text_field(record.USER_ID, CHAT_IDX::kIdWidth);
  record.COLOR = fit_text_field(record.COLOR, CHAT_IDX::kColorWidth);
  record.LAST_TIME = fit_text_field(record.LAST_TIME, CHAT_IDX::kTimeWidth);
  const std::optional<std::size_t> at = seat_of(*load_idx(store, room), record.USER_ID);
  IdxFile file = idx_file(store, room);
  const bool ok = at ? file.overwrite(w, *at, record) : file.append(w, record);
  store.cache().invalidate(file.path());
  return ok;
}

std::optional<CHAT_DATA> ReadCHAT_DATA(Store& store, long room, std::size_t n) {
  const auto lines = load_log(store, room);
  if (n >= lines->size() / ChatDataCodec::kSize) return std::nullopt;
  return ChatDataCodec::decode(reinterpret_cast<const unsigned char*>(lines->data()) +
                               n * ChatDataCodec::kSize);
}

bool WriteCHAT_DATA(Store& store, const WriteToken& w, long room, CHAT_DATA line) {
  line.USER_NAME = fit_text_field(line.USER_NAME, CHAT_DATA::kNameWidth);
  line.COLOR = fit_text_field(line.COLOR, CHAT_DATA::kColorWidth);
  line.MTALK = fit_text_field(line.MTALK, CHAT_DATA::kTalkWidth);
  line.DATE = fit_text_field(line.DATE, CHAT_DATA::kDateWidth);
  line.REMOTE_ADDR = fit_text_field(line.REMOTE_ADDR, CHAT_DATA::kClientWidth);
  line.HTTP_USER_AGENT = fit_text_field(line.HTTP_USER_AGENT, CHAT_DATA::kClientWidth);
  const auto old = load_log(store, room);
  const std::size_t kept = std::min(old->size(), (kChatLogLines - 1) * ChatDataCodec::kSize);
  LogFile file = log_file(store, room);
  const bool ok =
      file.replace_bytes(w, file.path() + ".tmp", LogFile::encode(line) + old->substr(0, kept));
  store.cache().invalidate(file.path());
  return ok;
}

}  // namespace plazet
