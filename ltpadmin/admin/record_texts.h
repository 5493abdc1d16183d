// The text fields of each record that a request sends. Each must end inside its array, or the
// request would carry whatever memory follows it.
#pragma once

#include <cstring>

#include "ltpadmin/protocol/records.h"

namespace ltp::form {

template <class T> bool EndsInside(const T&) {
    return true;
}
template <size_t N> bool EndsInside(const char (&field)[N]) {
    return std::memchr(field, 0, N) != nullptr;
}
template <class... Fields> bool AllEndInside(const Fields&... fields) {
    return (EndsInside(fields) && ...);
}

inline bool TextsEndInside(const tagUser& r) {
    return AllEndInside(r.UserID, r.Text2, r.Text3, r.Text4, r.Text5, r.Text6);
}
inline bool TextsEndInside(const tagGroup& r) {
    return AllEndInside(r.GroupID, r.Text2);
}
inline bool TextsEndInside(const tagProgram& r) {
    return AllEndInside(r.Text2, r.Text3, r.Text4, r.Text8, r.Text9, r.Text10, r.Text11, r.Text12,
                        r.Text13);
}
inline bool TextsEndInside(const tagChannel& r) {
    return AllEndInside(r.ChannelID, r.Text2, r.Text3);
}
inline bool TextsEndInside(const tagSchedule& r) {
    return AllEndInside(r.Text2);
}
inline bool TextsEndInside(const tagGlobal& r) {
    return AllEndInside(r.Key, r.Text3, r.Text4);
}
inline bool TextsEndInside(const MTPSVR& r) {
    return AllEndInside(r.MTPSvrName, r.Text2, r.Text3);
}
inline bool TextsEndInside(const PROGRAMPATH& r) {
    return AllEndInside(r.ProgramPath);
}

} // namespace ltp::form
