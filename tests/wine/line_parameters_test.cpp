// The device control block that the Win32 backend hands to SetCommState,
// checked member by member. On Linux it runs on a structure with the DCB's
// member names and bit widths; in the Windows build also on the real DCB.

#include <gtest/gtest.h>

#include <cstdint>

#include "serial/comm_settings.h"
#include "serial/win32_dcb.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace tablica {
namespace {

// Same members, same order, same bit widths as the platform's DCB.
struct MirrorDcb {
  std::uint32_t DCBlength;
  std::uint32_t BaudRate;
  std::uint32_t fBinary : 1;
  std::uint32_t fParity : 1;
  std::uint32_t fOutxCtsFlow : 1;
  std::uint32_t fOutxDsrFlow : 1;
  std::uint32_t fDtrControl : 2;
  std::uint32_t fDsrSensitivity : 1;
  std::uint32_t fTXContinueOnXoff : 1;
  std::uint32_t fOutX : 1;
  std::uint32_t fInX : 1;
  std::uint32_t fErrorChar : 1;
  std::uint32_t fNull : 1;
  std::uint32_t fRtsControl : 2;
  std::uint32_t fAbortOnError : 1;
  std::uint32_t fDummy2 : 17;
  std::uint16_t wReserved;
  std::uint16_t XonLim;
  std::uint16_t XoffLim;
  std::uint8_t ByteSize;
  std::uint8_t Parity;
  std::uint8_t StopBits;
  char XonChar;
  char XoffChar;
  char ErrorChar;
  char EofChar;
  char EvtChar;
  std::uint16_t wReserved1;
};

// A block as GetCommState and BuildCommDCBA might leave it: 9600 baud and
// every flag and character the program does not want switched on.
template <class Dcb>
Dcb BusyPortState() {
  Dcb dcb{};
  dcb.DCBlength = sizeof(Dcb);
  dcb.BaudRate = 9600;
  dcb.fBinary = 0;
  dcb.fParity = 1;
  dcb.fOutxCtsFlow = 1;
  dcb.fOutxDsrFlow = 1;
  dcb.fDtrControl = 1;
  dcb.fDsrSensitivity = 1;
  dcb.fTXContinueOnXoff = 0;
  dcb.fOutX = 1;
  dcb.fInX = 1;
  dcb.fErrorChar = 1;
  dcb.fNull = 1;
  dcb.fRtsControl = 3;
  dcb.fAbortOnError = 1;
  dcb.fDummy2 = 0x1A5A5;
  dcb.wReserved = 0x1234;
  dcb.XonLim = 2048;
  dcb.XoffLim = 512;
  dcb.ByteSize = 7;
  dcb.Parity = 2;
  dcb.StopBits = 2;
  dcb.XonChar = 'q';
  dcb.XoffChar = 's';
  dcb.ErrorChar = '?';
  dcb.EofChar = 0x1A;
  dcb.EvtChar = '\n';
  dcb.wReserved1 = 0x5678;
  return dcb;
}

template <class Dcb>
class LineParametersTest : public ::testing::Test {};

#ifdef _WIN32
using DcbTypes = ::testing::Types<MirrorDcb, DCB>;
#else
using DcbTypes = ::testing::Types<MirrorDcb>;
#endif
TYPED_TEST_SUITE(LineParametersTest, DcbTypes);

TYPED_TEST(LineParametersTest, DefaultSettingsGiveTheBoardLineWithDtrAndRtsOff) {
  const CommSettings settings;
  const TypeParam dcb = win32::LineParameters(settings, BusyPortState<TypeParam>());
  EXPECT_EQ(dcb.BaudRate, 38400u);  // not the 9600 of the definition string
  EXPECT_EQ(dcb.fBinary, 1u);
  EXPECT_EQ(dcb.fParity, 0u);
  EXPECT_EQ(dcb.fOutxCtsFlow, 0u);
  EXPECT_EQ(dcb.fOutxDsrFlow, 0u);
  EXPECT_EQ(dcb.fDtrControl, 0u);
  EXPECT_EQ(dcb.fDsrSensitivity, 0u);
  EXPECT_EQ(dcb.fTXContinueOnXoff, 1u);
  EXPECT_EQ(dcb.fOutX, 0u);
  EXPECT_EQ(dcb.fInX, 0u);
  EXPECT_EQ(dcb.fErrorChar, 0u);
  EXPECT_EQ(dcb.fNull, 0u);
  EXPECT_EQ(dcb.fRtsControl, 0u);
  EXPECT_EQ(dcb.fAbortOnError, 0u);
  EXPECT_EQ(dcb.XonLim, 200u);
  EXPECT_EQ(dcb.XoffLim, 800u);
  EXPECT_EQ(dcb.ByteSize, 8u);
  EXPECT_EQ(dcb.Parity, 0u);
  EXPECT_EQ(dcb.StopBits, 0u);
  EXPECT_EQ(dcb.XonChar, 0x11);
  EXPECT_EQ(dcb.XoffChar, 0x13);
  EXPECT_EQ(dcb.ErrorChar, 0);
  EXPECT_EQ(dcb.EofChar, 0);
  EXPECT_EQ(dcb.EvtChar, 0);
}

TYPED_TEST(LineParametersTest, ReservedMembersAndLengthAreLeftAsTheyCame) {
  const TypeParam before = BusyPortState<TypeParam>();
  const TypeParam dcb = win32::LineParameters(CommSettings{}, before);
  EXPECT_EQ(dcb.DCBlength, sizeof(TypeParam));
  EXPECT_EQ(dcb.fDummy2, 0x1A5A5u);
  EXPECT_EQ(dcb.wReserved, 0x1234u);
  EXPECT_EQ(dcb.wReserved1, 0x5678u);
}

TYPED_TEST(LineParametersTest, LineBytesArePassedThroughUnchanged) {
  CommSettings settings;
  settings.baudRate = 115200;
  settings.byteSize = 7;
  settings.parity = 2;    // even
  settings.stopBits = 2;  // two stop bits
  const TypeParam dcb = win32::LineParameters(settings, TypeParam{});
  EXPECT_EQ(dcb.BaudRate, 115200u);
  EXPECT_EQ(dcb.ByteSize, 7u);
  EXPECT_EQ(dcb.Parity, 2u);
  EXPECT_EQ(dcb.fParity, 1u);  // any parity byte but 0 switches checking on
  EXPECT_EQ(dcb.StopBits, 2u);
}

TYPED_TEST(LineParametersTest, AnyNonZeroXonXoffFlagSwitchesSoftwareFlowControlOn) {
  CommSettings settings;
  settings.xonXoff = 7;
  const TypeParam dcb = win32::LineParameters(settings, TypeParam{});
  EXPECT_EQ(dcb.fOutX, 1u);
  EXPECT_EQ(dcb.fInX, 1u);
  EXPECT_EQ(dcb.fTXContinueOnXoff, 0u);
  EXPECT_EQ(dcb.fOutxCtsFlow, 0u);
  EXPECT_EQ(dcb.fRtsControl, 0u);
}

TYPED_TEST(LineParametersTest, AnyNonZeroRtsCtsFlagSwitchesHardwareHandshakeOn) {
  CommSettings settings;
  settings.rtsCts = 0x80;
  const TypeParam dcb = win32::LineParameters(settings, TypeParam{});
  EXPECT_EQ(dcb.fOutxCtsFlow, 1u);
  EXPECT_EQ(dcb.fRtsControl, 2u);  // RTS_CONTROL_HANDSHAKE
  EXPECT_EQ(dcb.fDtrControl, 0u);  // DTR stays off either way
  EXPECT_EQ(dcb.fOutX, 0u);
  EXPECT_EQ(dcb.fTXContinueOnXoff, 1u);
}

}  // namespace
}  // namespace tablica
