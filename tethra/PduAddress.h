// An SMS address: the service-centre address before a PDU, and the originating,
// destination or recipient address inside it (3GPP TS 23.040, 9.1.2.5).
//
// Numbers are kept as their digits ('0'-'9', and '*', '#', 'a', 'b', 'c' for the
// semi-octets 1010-1110) without the '+'; GetText() puts the '+' back in front of an
// international number. Alphanumeric addresses (type of number 101) hold their text in
// UTF-8, read from the GSM 7-bit packing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tethra/PduResult.h"

class CPduAddress {
 public:
  // Type of number (bits 6-4 of the type-of-address octet).
  enum TypeOfNumber {
    TON_UNKNOWN = 0,
    TON_INTERNATIONAL = 1,
    TON_NATIONAL = 2,
    TON_NETWORK = 3,
    TON_SUBSCRIBER = 4,
    TON_ALPHANUMERIC = 5,
    TON_ABBREVIATED = 6,
  };
  static constexpr uint8_t TOA_UNKNOWN = 0x81;        // unknown type, ISDN numbering plan
  static constexpr uint8_t TOA_INTERNATIONAL = 0x91;  // international, ISDN numbering plan
  static constexpr uint8_t TOA_ALPHANUMERIC = 0xD0;
  static constexpr size_t MAX_DIGITS = 20;        // address value of at most 10 octets
  static constexpr size_t MAX_ALPHANUMERIC = 11;  // 11 septets fill 20 semi-octets

  CPduAddress() = default;

  // A number as a user types it: a leading '+' makes it international (type 0x91),
  // otherwise the type is unknown (0x81). Blanks, '-', '.', '(' and ')' are dropped;
  // the digits may hold '*', '#' and a, b, c. An empty text gives an empty address.
  static CPduResult<CPduAddress> FromNumber(std::string_view strText);
  // An alphanumeric address (a sender name), at most 11 characters of the GSM 7-bit
  // default alphabet (extension characters count twice).
  static CPduResult<CPduAddress> FromAlphanumeric(std::string_view strText);

  // Reads an address field of a transfer unit from p (nAvailable octets there):
  // length in semi-octets, type of address, value. nUsed gets the octets consumed.
  static CPduResult<CPduAddress> DecodeField(const uint8_t* p, size_t nAvailable, size_t& nUsed);
  // Reads the service-centre part in front of a PDU: length in octets (type of
  // address included), type of address, digits. Length 0 means none.
  static CPduResult<CPduAddress> DecodeServiceCenter(const uint8_t* p, size_t nAvailable, size_t& nUsed);

  // Appends the address field (an empty address is length 0 and its type octet).
  void EncodeField(std::vector<uint8_t>& out) const;
  // Appends the service-centre part; an empty address is the single octet 00, which
  // tells the phone to use its own service centre.
  void EncodeServiceCenter(std::vector<uint8_t>& out) const;

  bool IsEmpty() const { return m_strValue.empty(); }
  uint8_t GetTypeOfAddress() const { return m_nToa; }
  void SetTypeOfAddress(uint8_t nToa) { m_nToa = nToa; }
  int GetTypeOfNumber() const { return (m_nToa >> 4) & 0x07; }
  int GetNumberingPlan() const { return m_nToa & 0x0F; }
  bool IsInternational() const { return GetTypeOfNumber() == TON_INTERNATIONAL; }
  bool IsAlphanumeric() const { return GetTypeOfNumber() == TON_ALPHANUMERIC; }

  // Digits (or the alphanumeric text) without the '+'.
  const std::string& GetValue() const { return m_strValue; }
  // The address as shown and stored: "+" and the digits for an international
  // number, the digits or the text otherwise.
  std::string GetText() const;

 private:
  std::string m_strValue;
  uint8_t m_nToa = TOA_UNKNOWN;
};
