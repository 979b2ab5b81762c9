#include "platform/winsock_errors.h"

#include <cerrno>

namespace platform {

int WsaErrorFromErrno(int error) {
  switch (error) {
    case 0:
      return 0;
    case EACCES:
      return kWsaAccess;
    case EFAULT:
      return kWsaFault;
    case EINVAL:
      return kWsaInvalid;
    case EMFILE:
    case ENFILE:
      return kWsaTooManyFiles;
    case EAGAIN:
      return kWsaWouldBlock;
    case EINPROGRESS:
    case EALREADY:
      return kWsaInProgress;
    case ENOTSOCK:
    case EBADF:
      return kWsaNotSocket;
    case EDESTADDRREQ:
      return kWsaDestAddrRequired;
    case EAFNOSUPPORT:
      return kWsaAfNoSupport;
    case EADDRINUSE:
      return kWsaAddrInUse;
    case EADDRNOTAVAIL:
      return kWsaAddrNotAvail;
    case ENETDOWN:
      return kWsaNetDown;
    case ENETUNREACH:
      return kWsaNetUnreach;
    case ECONNABORTED:
      return kWsaConnAborted;
    // Writing to a connection the peer has reset reports EPIPE here, where
    // Winsock reports the reset itself.
    case ECONNRESET:
    case EPIPE:
      return kWsaConnReset;
    case ENOBUFS:
    case ENOMEM:
      return kWsaNoBufs;
    case EISCONN:
      return kWsaIsConn;
    case ENOTCONN:
      return kWsaNotConn;
    case ESHUTDOWN:
      return kWsaShutdown;
    case ETIMEDOUT:
      return kWsaTimedOut;
    case ECONNREFUSED:
      return kWsaConnRefused;
    case EHOSTUNREACH:
      return kWsaHostUnreach;
    default:
      return error;
  }
}

}  // namespace platform
