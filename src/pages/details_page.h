// The message page, message deletion and marking a whole board read.
#pragma once

#include <string>

#include "boards/message_store.h"
#include "frame/request.h"

namespace plazet {

// One message with its header, body, attachments, readers and thread,
// previous/next navigation and, for writers, the post, reply, edit and
// delete buttons. Showing a message marks it read for the viewer.
// Fields: SKEY, FOLDER_NO, SEL_NO, USER_DISP_DEF (0 or missing: the user's).
void j_DETAILS(Request& req, const WriteToken& w);

// The same message view without page frame, heading, read mark, navigation
// or buttons, for pages that list many messages (search, unread notices).
// With `checkbox` 1 a selection box "FOLSEL" comes first. Checks no right:
// callers show it only for boards the user may read.
// Fields: SKEY, CHK_ALL (1: the selection box is checked).
void j_DETAILS_sub1(Request& req, long board, long sel_no, int checkbox);
// The same view of `message`, a record of `board` the caller has read;
// `body`, when given, is its body as already read, so it is not read again.
void print_message_view(Request& req, long board, const INDEX_DATA& message, int checkbox,
                        const std::string* body = nullptr);

// Deletes a message (kept as deleted while replies follow it) for its
// author or a board manager; the board listing follows whatever the result.
// Fields: SKEY, FOLDER_NO, SEL_NO, USER_DISP_DEF.
int j_DELMSG(Request& req, const WriteToken& w);

// Marks every message of a board read for the user; the listing follows.
// Fields: SKEY, FOLDER_NO.
int j_BORDALLFLG(Request& req, const WriteToken& w);

}  // namespace plazet
