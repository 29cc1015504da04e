#include "pages/board_frame.h"

#include "text/escape.h"

namespace plazet {

void print_folder_body(Request& req, long folder_no, const B_TITLE2& settings) {
  const std::string pictures = html_attr(req.sys.CG_FILE_WEB_PATH);
  if (!settings.BACKPIC.empty()) {
    req.out.printf("\t\t<BODY BACKGROUND=\"%s%ld/%s\" BGPROPERTIES=FIXED >\n", pictures.c_str(),
                   folder_no, html_attr(settings.BACKPIC).c_str());
  } else if (!req.sys.BACK_GIF.empty()) {
    req.out.printf("\t\t<BODY BACKGROUND=\"%s%s\" BGPROPERTIES=FIXED >\n", pictures.c_str(),
                   html_attr(req.sys.BACK_GIF).c_str());
  }
}

int text_columns(const Request& req) {
  return req.env.HTTP_USER_AGENT.find("MSIE") != std::string::npos ? req.sys.IECOLS
                                                                   : req.sys.NSCOLS;
}

}  // namespace plazet
