// Batch upload: one text file of message blocks (boards/batch_file.h) posts
// many messages at once, new threads and replies, without attachments.
#pragma once

#include "frame/request.h"

namespace plazet {

// The upload form: one file field, FILE1. Fields: SKEY.
void j_BATCH_UPLOAD(Request& req);

// Posts every block of the uploaded file through the posting service, as
// far as the first block for board 0, and reports each on a line of its
// own: posted (board, new number, title), refused (no right to write, or
// not a board) or not stored. The upload is removed afterwards.
// Fields: SKEY, FILE1 (an upload of this request).
void j_BATCH_UPLOAD_WR(Request& req, const WriteToken& w);

}  // namespace plazet
