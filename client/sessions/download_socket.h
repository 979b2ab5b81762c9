// CDownloadSocket: the file download session's connection to the DVR's file
// download port. It is the command socket's download variant (see
// command_socket.h for threads, sends and ownership): no ping, a blocking
// connect, OnConnect(0) once connected, OnReceive for every readable event,
// OnClose when the DVR goes, and a stop bounded at 1,000 ms.
#pragma once

#include "client/sessions/command_socket.h"

namespace sessions {

class CDownloadSocket : public CCommandSocket {
 public:
  CDownloadSocket() : CCommandSocket(CommandSocketVariant::kDownload) {}
};

}  // namespace sessions
