// Socket error numbers as the rest of the system names them (Winsock's
// numbering), mapped from the kernel's errno values.
#pragma once

namespace platform {

// A blocking call given up because its owner asked it to stop.
inline constexpr int kWsaInterrupted = 10004;
inline constexpr int kWsaAccess = 10013;
inline constexpr int kWsaFault = 10014;
inline constexpr int kWsaInvalid = 10022;
inline constexpr int kWsaTooManyFiles = 10024;
inline constexpr int kWsaWouldBlock = 10035;
inline constexpr int kWsaInProgress = 10036;
inline constexpr int kWsaNotSocket = 10038;
inline constexpr int kWsaDestAddrRequired = 10039;
inline constexpr int kWsaAfNoSupport = 10047;
inline constexpr int kWsaAddrInUse = 10048;
inline constexpr int kWsaAddrNotAvail = 10049;
inline constexpr int kWsaNetDown = 10050;
inline constexpr int kWsaNetUnreach = 10051;
inline constexpr int kWsaConnAborted = 10053;
inline constexpr int kWsaConnReset = 10054;
inline constexpr int kWsaNoBufs = 10055;
inline constexpr int kWsaIsConn = 10056;
inline constexpr int kWsaNotConn = 10057;
inline constexpr int kWsaShutdown = 10058;
inline constexpr int kWsaTimedOut = 10060;
inline constexpr int kWsaConnRefused = 10061;
inline constexpr int kWsaHostUnreach = 10065;

// The Winsock number for an errno value; 0 stays 0, unknown values pass through.
int WsaErrorFromErrno(int error);

}  // namespace platform
