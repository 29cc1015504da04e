// The administrator's list of all users, in one of four orders.
#pragma once

#include "frame/request.h"
#include "store/data_lock.h"

namespace plazet {

// Buttons for a new user, the four orders and the menu; with SJOB the list in
// that order. Listing in an order rebuilds the sorted user files, so the page
// writes. Fields: SKEY, SJOB (NON_ORDER, ORDER_ID, ORDER_LEVEL, ORDER_PGROUP).
void j_USERLIST(Request& req, const WriteToken& w);

}  // namespace plazet
