#include "pages/board_frame.h"

#include "text/escape.h"

namespace plazet {

void print_folder_body(Request& req, long folder_no, const B_TITLE2& settings) {
  if (!settings.BACKPIC.empty()) {
    req.out.printf("\t\t<BODY BACKGROUND=\"%s%ld/%s\" BGPROPERTIES=FIXED >\n",
                   html_attr(req.sys.CG_FILE_WEB_PATH), folder_no, url_segment(settings.BACKPIC));
  } else if (!req.sys.BACK_GIF.empty()) {
    print_indented_body(req);
  }
}

Html folder_icon(const B_TITLE& folder, const std::optional<B_TITLE2>& settings) {
  if (settings && !settings->DIRPIC.empty()) {
    return url_query(std::to_string(folder.FOLDER_NO)) + "/" + url_segment(settings->DIRPIC);
  }
  switch (folder.MODE) {
    case B_TITLE::kDir:
      return "folderclose.gif";
    case B_TITLE::kBoard:
      return "folderbook.gif";
    default:
      return "folderchat.gif";
  }
}

Html posting_target(const Request& req) {
  return req.user && req.user->WRITE_MODE == 2 ? Html("WBORDWRITE") : Html();
}

int text_columns(const Request& req) {
  return req.env.HTTP_USER_AGENT.find("MSIE") != std::string::npos ? req.sys.IECOLS
                                                                   : req.sys.NSCOLS;
}

}  // namespace plazet
