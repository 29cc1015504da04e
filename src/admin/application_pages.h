// ID applications: any logged-in user applies for a new personal ID and
// sees the list of applications; administrators accept or refuse them.
#pragma once

#include "frame/request.h"
#include "store/data_lock.h"

namespace plazet {

// Results of storing an application.
inline constexpr int kApplied = 0;
inline constexpr int kApplyIdEmpty = -1;
inline constexpr int kApplyNameEmpty = -2;
inline constexpr int kApplyIdTaken = -3;
inline constexpr int kApplyIdApplied = -4;
inline constexpr int kApplyIdBadChar = -5;
inline constexpr int kApplyNameBadChar = -6;
inline constexpr int kApplyPassBadChar = -7;
inline constexpr int kApplyMailBadChar = -8;
inline constexpr int kApplyNotStored = -9;

inline constexpr int kDecisionsStored = 0;
inline constexpr int kDecisionsNotAllowed = -1;

// The application form. Fields: SKEY.
void j_IDSINSEI(Request& req);
// Fields: USER_ID, USER_PASS, USER_NAME, E_MAIL_ADDR.
int j_IDSINSEIWR(Request& req, const WriteToken& w);
// Every application and its state; decided ones older than 14 days are
// removed first. Fields: SKEY.
void j_IDSINSEIlist(Request& req, const WriteToken& w);
// The pending applications with the decision form. Fields: SKEY.
void j_IDSINSEIlist2(Request& req);
// Its refusal: the heading, text 3 and the back button.
void refuse_IDSINSEIlist2(Request& req);
// Fields: USER_ID (repeated), OK_NG (1 accept, 2 refuse), MES (1 to 3: a
// fixed answer, 4: MESSAGE), MESSAGE.
int j_IDSINSEIsysopWR(Request& req, const WriteToken& w);

}  // namespace plazet
