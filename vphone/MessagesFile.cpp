#include "vphone/MessagesFile.h"

#include <cctype>
#include <fstream>
#include <sstream>

#include "vphone/SmsPdu.h"

namespace vphone {

bool CMessagesFile::Load(const std::string& strPath, CMessageStore& store, std::string& strError) {
  std::ifstream in(strPath, std::ios::binary);
  if (!in) {
    strError = strPath + ": cannot be read";
    return false;
  }
  return Read(in, strPath, store, strError);
}

bool CMessagesFile::MakeStored(int nStatus, const std::string& strHex, CStoredMessage& message,
                               std::string& strError) {
  Octets octets;
  if (!CSmsPdu::FromHex(strHex, octets)) {
    strError = "the PDU is not an even number of hexadecimal digits";
    return false;
  }
  CSmsPdu pdu;
  CSmsPdu::EType eType = nStatus <= eRecRead ? CSmsPdu::eDeliver : CSmsPdu::eSubmit;
  std::string strWhy;
  if (!pdu.Parse(octets, eType, &strWhy)) {
    strError = "bad PDU: " + strWhy;
    return false;
  }
  message.m_nStatus = nStatus;
  message.m_strPdu = CSmsPdu::ToHex(octets);
  message.m_nTpduLength = static_cast<int>(pdu.TpduLength());
  return true;
}

bool CMessagesFile::Read(std::istream& in, const std::string& strName, CMessageStore& store,
                         std::string& strError) {
  std::string strLine;
  int nLine = 0;
  auto fail = [&](const std::string& strWhy) {
    strError = strName + ":" + std::to_string(nLine) + ": " + strWhy;
    return false;
  };
  while (std::getline(in, strLine)) {
    ++nLine;
    std::size_t nHash = strLine.find('#');
    if (nHash != std::string::npos)
      strLine.erase(nHash);
    std::istringstream fields(strLine);
    std::string strStorage, strStatus, strPdu, strExtra;
    if (!(fields >> strStorage))
      continue;  // blank or comment only
    if (!(fields >> strStatus >> strPdu))
      return fail("expected STORAGE STATUS PDU, e.g. SM 1 0791...");
    if (fields >> strExtra)
      return fail("unexpected text after the PDU: " + strExtra);
    for (char& c : strStorage)
      c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (!store.HasStorage(strStorage))
      return fail("unknown storage \"" + strStorage + "\" (the phone has " + [&] {
        std::string strNames;
        for (const std::string& s : store.GetStorageNames())
          strNames += (strNames.empty() ? "" : ", ") + s;
        return strNames;
      }() + ")");
    if (strStatus.size() != 1 || strStatus[0] < '0' || strStatus[0] > '3')
      return fail("status must be 0 (REC UNREAD), 1 (REC READ), 2 (STO UNSENT) or 3 (STO SENT), not " +
                  strStatus);
    CStoredMessage message;
    std::string strWhy;
    if (!MakeStored(strStatus[0] - '0', strPdu, message, strWhy))
      return fail(strWhy);
    if (store.Add(strStorage, message) == 0)
      return fail("storage " + strStorage + " is full (" + std::to_string(store.GetCapacity(strStorage)) +
                  " messages)");
  }
  if (in.bad())
    return fail("read error");
  return true;
}

}  // namespace vphone
