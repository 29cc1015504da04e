#include "admin/user_list_page.h"

#include <optional>
#include <string>

#include "admin/admin_kit.h"
#include "frame/page_kit.h"
#include "text/escape.h"
#include "text/sanitize.h"
#include "users/group_files.h"
#include "users/sorted_users.h"

namespace plazet {
namespace {

struct Order {
  const char* sjob;
  UserOrder order;
  int caption;
};

constexpr Order kOrders[] = {
    {"NON_ORDER", UserOrder::kFile, 163},
    {"ORDER_ID", UserOrder::kId, 133},
    {"ORDER_LEVEL", UserOrder::kLevel, 134},
    {"ORDER_PGROUP", UserOrder::kGroup, 164},
};

const Order* order_of(std::string_view sjob) {
  for (const Order& o : kOrders) {
    if (sjob == o.sjob) return &o;
  }
  return nullptr;
}

void print_header_cell(Request& req, int text) {
  req.out.printf("<TD BGCOLOR=\"#E0FFFF\" ALIGN=\"CENTER\">%s</TD>", req.text(text));
}

// j_USERLIST_sub1: one row a user.
void print_row(Request& req, const UserListRow& row) {
  const std::optional<MST_GROUP> group = ReadGROUP_MST(req.store, row.P_GROUP);
  req.out.printf("<TR>\n");
  req.out.printf(
      "<TD BGCOLOR=\"#FFFFFF\"><A HREF=\"%s?SKEY=%s&JOB=USERMENT&USER_ID=%s\">%s</A></TD>\n",
      html_attr(req.JOB_EXE), url_query(req.SKEY), url_query(row.USER_ID),
      sanitize_html(row.USER_ID));
  req.out.printf("<TD BGCOLOR=\"#FFFFFF\">%s</TD>\n", sanitize_html(row.USER_NAME));
  req.out.printf("<TD BGCOLOR=\"#FFFFFF\" ALIGN=\"CENTER\">%ld</TD>\n", row.USER_LEVEL);
  req.out.printf("<TD BGCOLOR=\"#FFFFFF\">%s<BR></TD>\n",
                 sanitize_html(group ? group->T02_GROUP_NAME : std::string()));
  req.out.printf("<TD BGCOLOR=\"#FFFFFF\">%s<BR></TD>\n", row.MODE == 2 ? req.text(168) : Html());
  req.out.printf("</TR>\n");
}

}  // namespace

void j_USERLIST(Request& req, const WriteToken& w) {
  header_printf(req);
  print_body(req);
  print_title(req, req.text(109));
  req.out.printf("<TABLE>\n");
  req.out.printf("<TR>\n");
  req.out.printf("<TD>");
  print_job_button(req, "USERMENT", req.text(132));
  req.out.printf("</TD>\n");
  for (const Order& o : kOrders) {
    req.out.printf("<TD>");
    print_job_button(req, "USERLIST", req.text(o.caption), "SJOB", o.sjob);
    req.out.printf("</TD>\n");
  }
  req.out.printf("</TR>\n");
  req.out.printf("<TR>\n");
  req.out.printf("<TD COLSPAN=5 >");
  print_job_button(req, "ADMIN", req.text(4));
  req.out.printf("</TD>\n");
  req.out.printf("</TR>\n");
  req.out.printf("</TABLE>\n");

  const std::string sjob = req.form.cgi_getvalue("SJOB");
  if (!sjob.empty()) {
    const Order* order = order_of(sjob);
    if (order) req.out.printf("<B>%s</B><BR>\n", req.text(order->caption));
    req.out.printf("<TABLE BORDER>\n");
    req.out.printf("<TR>");
    for (int text : {136, 137, 138, 162, 139}) print_header_cell(req, text);
    req.out.printf("</TR>\n");
    if (order) {
      for (const UserListRow& row : user_list(req.store, w, order->order)) print_row(req, row);
    }
    req.out.printf("</TABLE>\n");
  }
  print_page_end(req);
}

}  // namespace plazet
