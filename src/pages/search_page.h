// Search: the form and the result page. Neither writes anything, and a
// message shown in the results is not marked read.
#pragma once

#include "frame/request.h"

namespace plazet {

// The search form: words, the writer's name, any or all of them, and the
// folder to search among those the user may read. Fields: SKEY.
void j_SEARCH(Request& req);

// Every folder searched gets its heading; every hit on its boards is shown
// in full with the embedded message view. Fields: SKEY, CONDITION, WRITER,
// STAT (1 any, 2 all), FOLDER_NO (0: every folder the user may read).
void j_SEARCHDISP(Request& req);

}  // namespace plazet
