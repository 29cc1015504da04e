#include "pages/session_page.h"

#include "frame/frame_pages.h"
#include "store/be_codec.h"
#include "store/line_reader.h"
#include "text/escape.h"
#include "users/session_file.h"

namespace plazet {

void j_TOP(Request& req) {
  header_printf(req);
  req.out.printf("<FRAMESET COLS=\"%d%%,*\" >\n", req.sys.FRAME_DIVIDE);
  req.out.printf("\t<FRAME SRC = \"%s?SKEY=%s&JOB=FRM21\" NAME=\"FRM21\">\n",
                 html_attr(req.JOB_EXE), url_query(req.SKEY));
  const Html pictures = html_attr(req.sys.CG_FILE_WEB_PATH);
  if (req.user && req.user->MODE == 1) {
    req.out.printf("\t<FRAME SRC = \"%sinfo.html\" NAME=\"FRM22\">\n", pictures);
  } else {
    req.out.printf("\t<FRAME SRC = \"%sginfo.html\" NAME=\"FRM22\">\n", pictures);
  }
  req.out.printf("</FRAMESET>\n");
  req.out.printf("</HTML>\n");
}

void LOGOFF(Request& req, const WriteToken& w) {
  if (std::optional<std::string> id =
          ReadMST_SKEY(req.store, atol_prefix(req.SKEY), req.client())) {
    (void)DeleteMST_SKEY(req.store, w, *id);
  }
  if (req.sys.LOGOFF_URL.empty()) {
    j_login(req);
  } else {
    j_LOGOFF(req);
  }
}

void j_LOGOFF(Request& req) {
  header_printf(req);
  req.out.printf("<META HTTP-EQUIV=\"Refresh\" CONTENT=\"0;URL=%s\">",
                 html_attr(req.sys.LOGOFF_URL));
  req.out.printf("</HTML>\n");
}

}  // namespace plazet
