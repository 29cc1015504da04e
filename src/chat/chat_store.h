// A chat room's files, in its own directory <DATA_FILE_PATH><room>/. Integers
// are 32-bit big-endian, texts NUL-padded.
//
// chat.idx: the chat settings of each personal-account user who has entered
// the room, 72-byte records in no order, at most one per user.
//   OFFSET SIZE FIELD
//        0   22 USER_ID      the key (exact comparison)
//       22   22 COLOR        colour of the name; empty means "4161E1"
//       44    4 LOG_LINE     log lines shown; 0 means 30
//       48    4 RELOAD_TIME  seconds between log reloads, 999 none; 0 means 30
//       52   20 LAST_TIME    "YYYY/MM/DD hh:mm" of entering or of the latest
//                            log reload; "1990/01/01 00:00" once the user left
//
// chat.dat: the room's log, 884-byte records, newest first; the newest line
// and at most 60 older ones are kept.
//   OFFSET SIZE FIELD
//        0    4 KIND             0 a notice of the room, else the writer's MODE
//        4   82 USER_NAME        the name shown; "System" for notices
//       86   22 COLOR            colour of the name
//      108  252 MTALK            the line; a notice holds a ready HTML fragment
//      360   20 DATE             "YYYY/MM/DD hh:mm.ss" of writing
//      380  252 REMOTE_ADDR      of the request that wrote the line
//      632  252 HTTP_USER_AGENT  of the request that wrote the line
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "store/data_lock.h"
#include "store/store.h"

namespace plazet {

struct CHAT_IDX {
  static constexpr std::size_t kIdWidth = 22;
  static constexpr std::size_t kColorWidth = 22;
  static constexpr std::size_t kTimeWidth = 20;

  std::string USER_ID;
  std::string COLOR;
  std::int32_t LOG_LINE = 0;
  std::int32_t RELOAD_TIME = 0;
  std::string LAST_TIME;
};

struct CHAT_DATA {
  static constexpr std::size_t kNameWidth = 82;
  static constexpr std::size_t kColorWidth = 22;
  static constexpr std::size_t kTalkWidth = 252;
  static constexpr std::size_t kDateWidth = 20;
  static constexpr std::size_t kClientWidth = 252;

  std::int32_t KIND = 0;
  std::string USER_NAME;
  std::string COLOR;
  std::string MTALK;
  std::string DATE;
  std::string REMOTE_ADDR;
  std::string HTTP_USER_AGENT;
};

struct ChatIdxCodec {
  using Record = CHAT_IDX;
  static constexpr std::size_t kSize = 72;
  static CHAT_IDX decode(const unsigned char* p);
  static void encode(const CHAT_IDX& r, unsigned char* p);
};

struct ChatDataCodec {
  using Record = CHAT_DATA;
  static constexpr std::size_t kSize = 884;
  static CHAT_DATA decode(const unsigned char* p);
  static void encode(const CHAT_DATA& r, unsigned char* p);
};

// LAST_TIME of a user who has left the room (or never entered it).
inline constexpr char kChatAbsent[] = "1990/01/01 00:00";
// Lines a room's log keeps.
inline constexpr std::size_t kChatLogLines = 61;

// A colour as it may go into a FONT COLOR attribute: six (or three) hex
// digits, with or without "#", or a colour word of letters only; anything
// else, the empty text included, gives `fallback`.
[[nodiscard]] std::string chat_color(std::string_view color, std::string_view fallback);

// "<DATA_FILE_PATH><room>"
[[nodiscard]] std::string chat_room_dir(const Store& store, long room);

// Makes the room's directory on its first use. Reading a room's files
// creates them empty when they are missing, like every record file.
void open_chat_room(const Store& store, long room);

// The record of user `user_id` in the room's chat.idx. The file is read once
// per request.
[[nodiscard]] std::optional<CHAT_IDX> ReadCHAT_IDX(Store& store, long room,
                                                   std::string_view user_id);

// Stores `record` in place of the first record of its USER_ID, or adds it
// at the end. Texts are cut at their fields, never inside a character.
[[nodiscard]] bool WriteCHAT_IDX(Store& store, const WriteToken& w, long room, CHAT_IDX record);

// Line `n` of the room's log (0 the newest); nullopt past the last whole
// line. The log is read once per request, and only as far as it is kept.
[[nodiscard]] std::optional<CHAT_DATA> ReadCHAT_DATA(Store& store, long room, std::size_t n);

// Puts `line` at the top of the log and keeps at most 60 older lines; the
// log is replaced in one step, so a reader never sees it half written. Texts
// are cut at their fields, never inside a character.
[[nodiscard]] bool WriteCHAT_DATA(Store& store, const WriteToken& w, long room, CHAT_DATA line);

}  // namespace plazet
