// The pieces every page repeats, so that a page prints its own content and
// nothing else by hand: the HTTP header and HEAD, the BODY line, the page
// end, the refusal body, forms that post back to the program with their
// hidden fields and buttons, titles and label/value rows.
#pragma once

#include <initializer_list>
#include <string_view>
#include <utility>

#include "frame/request.h"
#include "text/html.h"

namespace plazet {

// "Content-type", the HEAD (text 1) and the comment with text 2; no BODY.
void header_printf(Request& req);
// The BODY line with the installation's background picture.
void print_body(Request& req);
// The same BODY line as the board pages indent it (two tabs).
void print_indented_body(Request& req);
// "</BODY>" and "</HTML>".
void print_page_end(Request& req);

// The refusal body every page prints to a user who may not see it: text 3
// and a button (text 4) back in the browser's history; closes the page.
void print_refusal(Request& req);
// The same body for a page that has printed its BODY line already.
void print_refusal_text(Request& req);
// The HTTP header and HEAD, then the refusal body.
void refusal_page(Request& req);

// A page title: text in large bold type.
void print_title(Request& req, const Html& text);

// A hidden form field; the value is escaped for the attribute.
// "<SCRIPT ...>" and the comment that hides a script from old browsers;
// close_script ends both.
void open_script(Request& req);
// A script with "title_chk()", which alerts the text of the first empty field
// of the form INPUT and then refuses to send it (pairs of field and text);
// the page's own functions may follow before close_script.
void open_title_check_script(Request& req, std::initializer_list<std::pair<Html, int>> checks);
void close_script(Request& req);
// Both at once.
void print_title_check_script(Request& req, std::initializer_list<std::pair<Html, int>> checks);

void print_hidden(Request& req, const Html& name, std::string_view value);
void print_hidden(Request& req, const Html& name, long value);

// "<FORM ENCTYPE="multipart/form-data" ACTION="<program>" METHOD=POST >",
// or with TARGET="<target>" before the ">" when a target is given.
void open_post_form(Request& req, const Html& target = Html());
// open_post_form, then the hidden SKEY and JOB every form carries.
void open_job_form(Request& req, std::string_view job, const Html& target = Html());
// The multipart form "INPUT" (the one a page's title_chk() looks at), with
// the hidden SKEY and JOB when `job` is given.
void open_input_form(Request& req, std::string_view job = {});
void close_form(Request& req);

// The submit button "SUB" labelled `caption`; with a `question` the browser
// asks it before sending.
void print_submit(Request& req, const Html& caption);
void print_confirm_submit(Request& req, const Html& caption, const Html& question);

// One row of a two-column form table: the label cell (light cyan), then the
// value cell (white) holding `value`.
void print_label_row(Request& req, const Html& label, const Html& value);
// The label cell and the opening of the value cell, for values printed by
// the caller; the caller closes the cell ("</TD>") and the row.
void open_label_row(Request& req, const Html& label);
void close_label_row(Request& req);

}  // namespace plazet
