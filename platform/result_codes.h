// Result codes: 0 for success, E_FAIL for failure; callers test for a
// negative result, as the automation interfaces do.
#pragma once

#include <cstdint>

inline constexpr int32_t S_OK = 0;
inline constexpr int32_t E_FAIL = static_cast<int32_t>(0x80004005u);
