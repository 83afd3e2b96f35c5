#pragma once
// The little PDU knowledge a phone needs: check that a PDU typed after the "> "
// prompt (or found in a messages file) is a well-formed SMS-SUBMIT or SMS-DELIVER,
// measure its TPDU, and turn a SUBMIT to the phone's own number into the DELIVER the
// network hands back. Texts are never decoded: the phone passes user data through.

#include <cstddef>
#include <ctime>
#include <string>
#include <vector>

namespace vphone {

using Octets = std::vector<unsigned char>;

// Alphabet of the user data, as the data coding scheme says (23.038 section 4).
enum class EUdAlphabet { eGsm7, eEightBit, eUcs2 };

class CSmsPdu {
 public:
  enum EType { eDeliver, eSubmit };

  // Parses a PDU: the service-centre address field, then a TPDU of the given type.
  // Returns false, with a short reason in *pError, when anything is out of place or
  // the octet count does not match the fields.
  bool Parse(const Octets& octets, EType eType, std::string* pError = nullptr);

  // Octets of the TPDU, i.e. the whole PDU without the service-centre part: the
  // <length> that AT+CMGS, AT+CMGW, +CMGL and +CMGR give.
  std::size_t TpduLength() const { return m_nTotalLength - m_nTpduOffset; }

  EType m_eType = eDeliver;
  std::size_t m_nTotalLength = 0;
  std::size_t m_nTpduOffset = 0;  // where the TPDU starts
  unsigned char m_nFirstOctet = 0;
  int m_nMessageReference = 0;       // SUBMIT only
  std::size_t m_nAddressOffset = 0;  // TP-DA (SUBMIT) or TP-OA (DELIVER) field
  std::size_t m_nAddressSize = 0;    // octets of that field, with length and type
  int m_nAddressType = 0;            // type-of-address octet
  std::string m_strAddress;          // "+4477..." or digits; empty when alphanumeric
  bool m_bAlphanumericAddress = false;
  unsigned char m_nPid = 0;
  unsigned char m_nDcs = 0;
  std::size_t m_nUdlOffset = 0;  // TP-UDL; TP-UD follows it
  int m_nUdl = 0;
  bool m_bUdhi = false;

  static bool FromHex(const std::string& strHex, Octets& octets);
  static std::string ToHex(const Octets& octets);
  static EUdAlphabet AlphabetOf(unsigned char nDcs);

  // Address field of a TPDU: digit count, type of address, swapped digits. A number
  // starting with '+' is international (145); otherwise nToa, or 129 when it is -1.
  static bool EncodeAddress(const std::string& strNumber, int nToa, Octets& field);
  // Service-centre address field: octet count, type of address, swapped digits;
  // an empty number gives the single octet 00 (use the phone's default).
  static bool EncodeSmscAddress(const std::string& strNumber, int nToa, Octets& field);
  // Service-centre time stamp (7 octets) for a moment, in local time with its zone.
  static Octets MakeTimeStamp(std::time_t tWhen);

  // The SMS-DELIVER that arrives when this SUBMIT (parsed from `submit`) reaches its
  // recipient: originator = the destination, same PID, DCS, UDHI, reply path and user
  // data, the given service centre and time stamp.
  Octets MakeDeliver(const Octets& submit, const std::string& strSmsc, const Octets& timeStamp) const;
  // This SUBMIT with another destination address field.
  Octets WithDestination(const Octets& submit, const Octets& addressField) const;
};

// True when two numbers name the same subscriber: same digits, '+' aside.
bool SameNumber(const std::string& a, const std::string& b);

}  // namespace vphone
