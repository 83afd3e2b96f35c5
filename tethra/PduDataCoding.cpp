#include "tethra/PduDataCoding.h"

CPduDataCoding CPduDataCoding::Decode(uint8_t nDcs) {
  CPduDataCoding dc;
  dc.m_nValue = nDcs;
  const int group = nDcs >> 4;
  if (group <= 0x7) {
    // 00xx xxxx general data coding, 01xx xxxx the same marked for automatic deletion.
    dc.m_bAutoDelete = (nDcs & 0x40) != 0;
    dc.m_bCompressed = (nDcs & 0x20) != 0;
    if (nDcs & 0x10)
      dc.m_nClass = nDcs & 0x03;
    switch ((nDcs >> 2) & 0x03) {
      case 0:
        dc.m_alphabet = GSM7;
        break;
      case 1:
        dc.m_alphabet = DATA8;
        break;
      case 2:
        dc.m_alphabet = UCS2;
        break;
      default:
        dc.m_alphabet = GSM7;
        dc.m_bReserved = true;
        break;
    }
  } else if (group <= 0xB) {
    dc.m_bReserved = true;  // reserved coding groups
  } else if (group <= 0xE) {
    dc.m_bMessageWaiting = true;
    dc.m_bDiscard = group == 0xC;
    dc.m_alphabet = group == 0xE ? UCS2 : GSM7;
    dc.m_bIndicationActive = (nDcs & 0x08) != 0;
    dc.m_indication = static_cast<Indication>(nDcs & 0x03);
  } else {
    // 1111: data coding / message class.
    dc.m_alphabet = (nDcs & 0x04) ? DATA8 : GSM7;
    dc.m_nClass = nDcs & 0x03;
  }
  return dc;
}

uint8_t CPduDataCoding::Make(Alphabet alphabet, int nClass) {
  uint8_t n = static_cast<uint8_t>(alphabet << 2);
  if (nClass >= 0 && nClass <= 3)
    n = static_cast<uint8_t>(n | 0x10 | nClass);
  return n;
}

const char* CPduDataCoding::AlphabetName(Alphabet alphabet) {
  switch (alphabet) {
    case GSM7:
      return "GSM 7-bit";
    case DATA8:
      return "8-bit data";
    case UCS2:
      return "UCS2";
  }
  return "?";
}

std::string CPduDataCoding::Describe() const {
  std::string s = AlphabetName(m_alphabet);
  if (m_nClass >= 0)
    s += ", class " + std::to_string(m_nClass);
  if (m_bCompressed)
    s += ", compressed";
  if (m_bAutoDelete)
    s += ", automatic deletion";
  if (m_bMessageWaiting) {
    static const char* const kTypes[] = {"voicemail", "fax", "e-mail", "other"};
    s += std::string(", message waiting (") + kTypes[m_indication] + (m_bIndicationActive ? " on" : " off") +
         (m_bDiscard ? ", discard)" : ", store)");
  }
  if (m_bReserved)
    s += ", reserved coding";
  return s;
}
