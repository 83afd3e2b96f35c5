// Reads PDUs as a phone gives them in PDU mode (AT+CMGL, AT+CMGR, +CMT): hexadecimal
// text of the service-centre part followed by an SMS-DELIVER, SMS-SUBMIT or
// SMS-STATUS-REPORT (3GPP TS 23.040; alphabets of TS 23.038).
//
// Every length is checked against the octets present: a PDU that is cut short before
// its user data, has an odd number of digits or a non-hex character, an address
// longer than 20 digits, a user-data length above 160 septets / 140 octets, a header
// longer than the user data, a reserved message type, or compressed text is rejected
// with an error that says which. Octets after the user data are ignored.
//
// PDUs as phones really hold them are read, not refused: user data shorter than its
// length says is decoded as far as it goes and the message is marked truncated; the
// header indicator with a user-data length of 0 is an empty message; a status
// report whose parameter indicator is FF (the padding of a SIM record) or whose
// indicator extensions run off the end has no optional parameters.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "tethra/PduMessage.h"
#include "tethra/PduResult.h"

class CPduDecoder {
 public:
  static constexpr size_t MAX_SEPTETS = 160;
  static constexpr size_t MAX_OCTETS = 140;

  static CPduResult<CPduMessage> Decode(std::string_view strHex);
  static CPduResult<CPduMessage> Decode(const std::vector<uint8_t>& octets);
};
