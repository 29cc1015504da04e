// Built twice by ctest: as it stands it must compile; with one of the
// PLAZET_BREAK_* macros it must not. Only the holder of the exclusive lock
// has a WriteToken, and no writer runs without one.
#include "boards/message_store.h"
#include "store/data_lock.h"
#include "users/user_file.h"

void work(plazet::Store& store, const plazet::DataLock& lock, const plazet::MST_USER& user) {
  (void)plazet::ReWriteMST_USER(store, lock.write_token(), user);
#if defined(PLAZET_BREAK_NO_TOKEN)
  (void)plazet::ReWriteMST_USER(store, user);
#elif defined(PLAZET_BREAK_MADE_TOKEN)
  plazet::WriteToken token;
  (void)plazet::ReWriteMST_USER(store, token, user);
#elif defined(PLAZET_BREAK_COPIED_TOKEN)
  plazet::WriteToken copy = lock.write_token();
  (void)copy;
#endif
}
