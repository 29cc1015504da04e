// The administration menu and the settings page.
#pragma once

#include "frame/request.h"
#include "store/data_lock.h"

namespace plazet {

// Results of saving the settings.
inline constexpr int kSettingsSaved = 0;
inline constexpr int kSettingsNotAllowed = -1;
// A value holds a comma, CR or LF, which would break the settings file.
inline constexpr int kSettingsBadValue = -2;

// The administration menu: one button for each administration page.
// Fields: SKEY.
void j_ADMIN(Request& req);
// The menu's title and the refusal, for a user who is no administrator.
void refuse_ADMIN(Request& req);

// The form of every setting. Fields: SKEY.
void j_SYSTEM(Request& req);

// Stores the settings form and its two pictures.
int j_SYSTEMUPDATE(Request& req, const WriteToken& w);

}  // namespace plazet
