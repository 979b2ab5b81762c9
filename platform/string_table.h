// The numbered string table: the texts that message boxes, the event log and
// window titles take by number.
#pragma once

#include <string>

namespace platform {

// The text of string `id`, or an empty text when the table has no such entry.
const char* LoadString(int id);

// The text of string `id` filled like printf with the arguments given.
std::string FormatString(int id, ...);

}  // namespace platform
