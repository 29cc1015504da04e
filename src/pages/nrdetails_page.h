// Unread notices: the page that gathers every message the user has not read
// yet, board by board, with a tick box each, and the page on which he takes
// boards out of (and back into) those notices.
#pragma once

#include "frame/request.h"

namespace plazet {

// Every unread message of every board the user may read and has not taken
// out of his notices, in his own listing order, each as the embedded
// message view with a tick box "FOLSEL"; a button marks the ticked ones
// read, another reloads the page with every box ticked. Personal accounts
// only. Fields: SKEY, CHK_ALL (1: every box starts ticked).
void j_NRDETAILS(Request& req);
// What a shared account gets instead.
void refuse_NRDETAILS(Request& req);

// Marks the ticked messages read: only messages that exist, on boards the
// user may read. The unread page follows. Fields: SKEY, FOLSEL (repeated,
// "<board>,<message number>").
int j_NRDETAILSWR(Request& req, const WriteToken& w);

// Two lists of the boards the user may read: those left out of his notices
// (with a button that takes them back in) and all of them (with a button
// that leaves the selected ones out). Fields: SKEY.
void j_SETNOREAD(Request& req);

// BOARD_OUT: the boards selected in NOWNOREAD come back into the notices;
// BOARD_IN: those selected in BOARDLIST (boards the user may read) leave
// them. With both, the removal runs first. The settings page follows.
// Fields: SKEY, BOARD_OUT, BOARD_IN, NOWNOREAD and BOARDLIST (repeated).
int j_SETNOREAD_WR(Request& req, const WriteToken& w);

}  // namespace plazet
