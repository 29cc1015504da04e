// The user record, one line of user.mst.
#pragma once

#include <string>

namespace plazet {

struct MST_USER {
  // Field widths; a text field holds at most width - 1 bytes.
  static constexpr std::size_t kIdWidth = 22;
  static constexpr std::size_t kNameWidth = 82;
  static constexpr std::size_t kMailWidth = 252;
  static constexpr std::size_t kPassWidth = 22;
  static constexpr std::size_t kLanguageWidth = 256;
  static constexpr std::size_t kPicfileWidth = 256;

  std::string USER_ID;
  std::string USER_NAME;
  long USER_LEVEL = 0;  // above 99: administrator
  std::string E_MAIL_ADDR;
  std::string USER_PASS;
  long P_GROUP = 0;
  long USER_DISP_DEF = 0;
  long MODE = 0;        // 1 personal account, 2 shared account
  long WRITE_MODE = 0;  // 2: message forms open in the window "WBORDWRITE"
  std::string LANGUAGE;
  std::string PICFILE;
  long NO_READ_MODE = 0;

  [[nodiscard]] bool is_admin() const { return USER_LEVEL > 99; }
  [[nodiscard]] bool is_shared() const { return MODE == 2; }
};

}  // namespace plazet
