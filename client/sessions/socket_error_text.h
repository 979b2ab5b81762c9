// What the command sessions trace for a failed connect or an abnormal close.
#pragma once

namespace sessions {

// The text for a connect error code, or nullptr when it has none (the caller
// then traces "OnConnect error: %d").
const char* ConnectErrorText(int error);
// The text for a close error code, or nullptr when it has none.
const char* CloseErrorText(int error);

}  // namespace sessions
