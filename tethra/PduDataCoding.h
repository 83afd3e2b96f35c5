// The data coding scheme octet (3GPP TS 23.038, clause 4): which alphabet the user
// data is in, the message class, compression and message-waiting indications.
//
// Groups read: general data coding (00xx) and automatic deletion (01xx), message
// waiting discard/store (1100, 1101: 7-bit; 1110: UCS2), data coding/message class
// (1111). Reserved groups and the reserved alphabet value are read as the 7-bit
// default alphabet, as the standard asks of a receiver.
#pragma once

#include <cstdint>
#include <string>

class CPduDataCoding {
 public:
  enum Alphabet { GSM7 = 0, DATA8 = 1, UCS2 = 2 };
  enum Indication { VOICEMAIL = 0, FAX = 1, EMAIL = 2, OTHER = 3 };

  CPduDataCoding() = default;
  static CPduDataCoding Decode(uint8_t nDcs);
  // The octet for an alphabet and an optional class (-1: none).
  static uint8_t Make(Alphabet alphabet, int nClass = -1);

  uint8_t GetValue() const { return m_nValue; }
  Alphabet GetAlphabet() const { return m_alphabet; }
  int GetMessageClass() const { return m_nClass; }  // 0-3, or -1 when none is given
  bool IsCompressed() const { return m_bCompressed; }
  bool IsAutoDelete() const { return m_bAutoDelete; }
  bool IsReserved() const { return m_bReserved; }
  bool IsMessageWaiting() const { return m_bMessageWaiting; }
  bool IsDiscard() const { return m_bDiscard; }  // message-waiting: the text may be discarded
  bool IsIndicationActive() const { return m_bIndicationActive; }
  Indication GetIndicationType() const { return m_indication; }

  static const char* AlphabetName(Alphabet alphabet);
  // A short English description, e.g. "GSM 7-bit, class 0".
  std::string Describe() const;

 private:
  uint8_t m_nValue = 0;
  Alphabet m_alphabet = GSM7;
  int m_nClass = -1;
  bool m_bCompressed = false;
  bool m_bAutoDelete = false;
  bool m_bReserved = false;
  bool m_bMessageWaiting = false;
  bool m_bDiscard = false;
  bool m_bIndicationActive = false;
  Indication m_indication = VOICEMAIL;
};
