#include "client/sessions/socket_error_text.h"

namespace sessions {

const char* ConnectErrorText(int error) {
  switch (error) {
    case 10014:
      return "The lpSockAddrLen argument is incorrect.";
    case 10022:
      return "The socket is already bound to an address.";
    case 10024:
      return "No more file descriptors are available.";
    case 10038:
      return "The descriptor is a file, not a socket.";
    case 10039:
      return "A destination address is required.";
    case 10047:
      return "Addresses in the specified family cannot be used with this socket.";
    case 10048:
      return "The specified address is already in use.";
    case 10049:
      return "The specified address is not available from the local machine.";
    case 10051:
      return "The network cannot be reached from this host at this time.";
    case 10055:
      return "No buffer space is available. The socket cannot be connected.";
    case 10056:
      return "The socket is already connected.";
    case 10057:
      return "The socket is not connected.";
    case 10060:
      return "The attempt to connect timed out without establishing a connection.";
    case 10061:
      return "The attempt to connect was forcefully rejected.";
    default:
      return nullptr;
  }
}

const char* CloseErrorText(int error) {
  switch (error) {
    case 10050:
      return "The Windows Sockets implementation detected that the network subsystem failed.";
    case 10053:
      return "The connection was aborted due to timeout or other failure.";
    case 10054:
      return "The connection was reset by the remote side.";
    default:
      return nullptr;
  }
}

}  // namespace sessions
