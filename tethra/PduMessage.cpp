#include "tethra/PduMessage.h"

#include "tethra/Gsm7NationalTables.h"

const char* CPduMessage::TypeName(PduType type) {
  switch (type) {
    case PduType::DELIVER:
      return "SMS-DELIVER";
    case PduType::SUBMIT:
      return "SMS-SUBMIT";
    case PduType::STATUS_REPORT:
      return "SMS-STATUS-REPORT";
  }
  return "?";
}

std::string CPduMessage::StatusText(uint8_t n) {
  switch (n) {
    case 0x00:
      return "received by the recipient";
    case 0x01:
      return "forwarded, delivery not confirmed";
    case 0x02:
      return "replaced by the service centre";
    case 0x20:
    case 0x60:
      return std::string("congestion") + (n == 0x20 ? ", still trying" : ", no longer trying");
    case 0x21:
    case 0x61:
      return std::string("recipient busy") + (n == 0x21 ? ", still trying" : ", no longer trying");
    case 0x22:
    case 0x62:
      return std::string("no response from recipient") +
             (n == 0x22 ? ", still trying" : ", no longer trying");
    case 0x23:
    case 0x63:
      return std::string("service rejected") + (n == 0x23 ? ", still trying" : ", no longer trying");
    case 0x24:
    case 0x64:
      return std::string("quality of service not available") +
             (n == 0x24 ? ", still trying" : ", no longer trying");
    case 0x25:
    case 0x65:
      return std::string("error in recipient") + (n == 0x25 ? ", still trying" : ", no longer trying");
    case 0x40:
      return "remote procedure error";
    case 0x41:
      return "incompatible destination";
    case 0x42:
      return "connection rejected by recipient";
    case 0x43:
      return "not obtainable";
    case 0x44:
      return "quality of service not available";
    case 0x45:
      return "no interworking available";
    case 0x46:
      return "validity period expired";
    case 0x47:
      return "deleted by the sender";
    case 0x48:
      return "deleted by the service centre";
    case 0x49:
      return "message does not exist";
    default:
      break;
  }
  if (n < 0x20)
    return "completed (reserved value)";
  if (n < 0x40)
    return "temporary error, still trying";
  if (n < 0x60)
    return "permanent error";
  if (n < 0x80)
    return "temporary error, no longer trying";
  return "reserved value";
}

CGsm7Tables CPduMessage::GetNationalTables() const {
  CGsm7Tables tables;
  if (!m_bHasHeader)
    return tables;
  for (const auto& e : m_header.GetElements()) {
    if (e.m_data.size() != 1)
      continue;
    if (e.m_nIei == CGsm7NationalTables::IEI_LOCKING_SHIFT && CGsm7NationalTables::LockingTable(e.m_data[0]))
      tables.nLocking = e.m_data[0];
    else if (e.m_nIei == CGsm7NationalTables::IEI_SINGLE_SHIFT &&
             CGsm7NationalTables::SingleTable(e.m_data[0]))
      tables.nSingle = e.m_data[0];
  }
  return tables;
}
