#pragma once

// The line parameters of the Win32 backend as a pure function. It is a
// template over the device control block so that it needs no <windows.h>:
// the backend instantiates it with the platform's DCB, and a test can check
// every member on any system with a structure that has the same member names.

#include <cstdint>

#include "serial/comm_settings.h"

namespace tablica::win32 {

// Handed to BuildCommDCBA before every member is set by hand. It decides
// only the reserved members, which are left as they come.
inline constexpr const char* kDcbDefinition = "9600,N,8,1";

// The platform's values (the backend checks them against <windows.h>).
inline constexpr unsigned kDtrControlDisable = 0;
inline constexpr unsigned kRtsControlDisable = 0;
inline constexpr unsigned kRtsControlHandshake = 2;

inline constexpr std::uint16_t kXonLimit = 200;
inline constexpr std::uint16_t kXoffLimit = 800;
inline constexpr char kXonChar = 0x11;
inline constexpr char kXoffChar = 0x13;

// Returns `dcb` with every documented member set from the settings: the
// settings' baud rate, byte size, parity and stop bits unchanged, binary
// mode, flow control only where a flag asks for it, DTR and RTS held off.
// The reserved members (fDummy2, wReserved, wReserved1) are not touched.
template <class Dcb>
Dcb LineParameters(const CommSettings& settings, Dcb dcb) {
  const bool xonXoff = settings.xonXoff != 0;
  const bool rtsCts = settings.rtsCts != 0;
  dcb.BaudRate = settings.baudRate;
  dcb.fBinary = 1;
  dcb.fParity = settings.parity != 0 ? 1 : 0;
  dcb.fOutxCtsFlow = rtsCts ? 1 : 0;
  dcb.fOutxDsrFlow = 0;
  dcb.fDtrControl = kDtrControlDisable;
  dcb.fDsrSensitivity = 0;
  dcb.fTXContinueOnXoff = xonXoff ? 0 : 1;
  dcb.fOutX = xonXoff ? 1 : 0;
  dcb.fInX = xonXoff ? 1 : 0;
  dcb.fErrorChar = 0;
  dcb.fNull = 0;
  dcb.fRtsControl = rtsCts ? kRtsControlHandshake : kRtsControlDisable;
  dcb.fAbortOnError = 0;
  dcb.XonLim = kXonLimit;
  dcb.XoffLim = kXoffLimit;
  dcb.ByteSize = settings.byteSize;
  dcb.Parity = settings.parity;
  dcb.StopBits = settings.stopBits;
  dcb.XonChar = kXonChar;
  dcb.XoffChar = kXoffChar;
  dcb.ErrorChar = 0;
  dcb.EofChar = 0;
  dcb.EvtChar = 0;
  return dcb;
}

}  // namespace tablica::win32
