#include "boards/bordwrite_page.h"

#include "frame/frame_pages.h"
#include "text/escape.h"

namespace plazet {

void j_BORDWRITEFIN(Request& req) {
  header_printf(req);
  req.out.printf("<SCRIPT Language=\"JavaScript\">\n");
  req.out.printf("<!--\n");
  req.out.printf("self.close()\n");
  req.out.printf("// -->\n");
  req.out.printf("</SCRIPT>\n");
  req.out.printf("\t\t<BODY BACKGROUND=\"%s%s\" BGPROPERTIES=FIXED >\n",
                 html_attr(req.sys.CG_FILE_WEB_PATH).c_str(), html_attr(req.sys.BACK_GIF).c_str());
  req.out.printf("<FONT SIZE=\"5\"><B>%s</B></FONT>\n", req.text(294));
  req.out.printf("<P>\n");
  req.out.printf("</BODY>\n");
  req.out.printf("</HTML>\n");
}

}  // namespace plazet
