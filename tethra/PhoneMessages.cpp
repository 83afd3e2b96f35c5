// Listing, fetching, sending and deleting messages.
//
// Reading lists each storage with one AT+CMGL=4 after choosing it with AT+CPMS and
// decodes everything from the listing. A phone whose listing hangs or is refused is
// read by index with AT+CMGR over the use the phone reports, from then on. An entry
// that cannot be read is counted and reported, never the end of the listing. Which
// list a message belongs to comes from its transfer unit, not from the status the
// phone gives it.
#include <algorithm>
#include <cctype>
#include <iterator>
#include <sstream>

#include "tethra/AtErrorCodes.h"
#include "tethra/AtText.h"
#include "tethra/PduConcatenation.h"
#include "tethra/PduDecoder.h"
#include "tethra/PduRecord.h"
#include "tethra/PhoneImpl.h"

namespace {

// Most indexes read one by one when a phone does not say how many it holds.
constexpr int kMaxIndexScan = 1000;

bool IsStorageName(const std::string& s) {
  return !s.empty() && s.size() <= 8 && std::all_of(s.begin(), s.end(), [](char c) {
    return std::isupper(static_cast<unsigned char>(c)) || c == '_';
  });
}

// True when a PDU the phone holds is (one part of) the record: its text appears in
// the record's PDU text as it is, or it matches the way GetPduKey compares, that is
// without the service-centre part and without the octet after the first octet (the
// message reference the phone may have set itself).
bool PduBelongsTo(const std::string& strListed, const std::string& strRecord) {
  if (strListed.empty() || strRecord.empty())
    return false;
  size_t nFound = strRecord.find(strListed);
  while (nFound != std::string::npos) {
    if (nFound % 2 == 0)
      return true;
    nFound = strRecord.find(strListed, nFound + 1);
  }
  const int nScaOctets = AtHexOctet(strListed, 0);
  if (nScaOctets < 0)
    return false;
  size_t n = static_cast<size_t>(nScaOctets);
  if (strListed.size() < 2 * n + 8)
    return false;
  std::string strFirst = strListed.substr(2 * n + 2, 2);
  std::string strRest = strListed.substr(2 * n + 6);
  for (size_t p = strRecord.find(strRest); p != std::string::npos; p = strRecord.find(strRest, p + 1))
    if (p % 2 == 0 && p >= 4 && strRecord.compare(p - 4, 2, strFirst) == 0)
      return true;
  return false;
}

// A listing refused in a way that reading by index may get round: the command (or
// its parameter) is not supported or not allowed. Other errors are failures.
bool IsListingRefused(const CAtReply& reply) {
  if (reply.eFinal == AT_FINAL_ERROR)
    return true;
  if (reply.eFinal == AT_FINAL_CMS)
    return reply.nErrorCode == CMS_OPERATION_NOT_ALLOWED || reply.nErrorCode == CMS_OPERATION_NOT_SUPPORTED ||
           reply.nErrorCode == CMS_INVALID_PDU_PARAMETER;
  if (reply.eFinal == AT_FINAL_CME)
    return reply.nErrorCode == CME_OPERATION_NOT_ALLOWED || reply.nErrorCode == CME_OPERATION_NOT_SUPPORTED;
  return false;
}

// An empty place read by index: "invalid memory index" and its kin, or a plain
// ERROR from a phone that words it so.
bool IsEmptyPlace(const CAtReply& reply) {
  return reply.eFinal == AT_FINAL_ERROR ||
         (reply.eFinal == AT_FINAL_CMS && reply.nErrorCode == CMS_INVALID_MEMORY_INDEX) ||
         (reply.eFinal == AT_FINAL_CME &&
          (reply.nErrorCode == CME_INVALID_INDEX || reply.nErrorCode == CME_NOT_FOUND));
}

// Drops from listed those entries that repeat one of earlier (same PDU), one for one:
// MT shows the phone memory again beside the SIM.
void DropRepeats(const std::vector<CListedMessage>& earlier, std::vector<CAtListEntry>& entries) {
  std::vector<std::string> seen;
  for (const CListedMessage& m : earlier)
    seen.push_back(m.strPdu);
  std::vector<CAtListEntry> kept;
  for (CAtListEntry& e : entries) {
    auto it = std::find(seen.begin(), seen.end(), e.strPdu);
    if (it != seen.end())
      seen.erase(it);
    else
      kept.push_back(std::move(e));
  }
  entries = std::move(kept);
}

}  // namespace

std::vector<CListedMessage> ParseListing(const std::string& strText) {
  std::vector<CListedMessage> listed;
  std::istringstream in(strText);
  std::string strLine;
  while (std::getline(in, strLine)) {
    std::vector<std::string> fields;
    std::istringstream fieldsIn(strLine);
    std::string strField;
    while (std::getline(fieldsIn, strField, '\t'))
      fields.push_back(AtTrim(strField));
    if (fields.size() != 4)
      continue;
    CListedMessage m;
    m.strStorage = AtUpper(fields[0]);
    if (!IsStorageName(m.strStorage) || !AtParseInt(fields[1], m.nIndex) || !AtParseInt(fields[2], m.nStat) ||
        m.nIndex < 0 || fields[3].size() < 2 || fields[3].size() % 2 != 0)
      continue;
    m.strPdu = AtUpper(fields[3]);
    if (!AtIsHex(m.strPdu))
      continue;
    listed.push_back(std::move(m));
  }
  return listed;
}

int CPhoneInterface::Impl::ListStorage(const std::string& strStorage, std::vector<CAtListEntry>& entries,
                                       std::vector<CAtBadEntry>& bad) {
  entries.clear();
  bad.clear();
  if (int nCode = SelectStorage(strStorage, false); nCode != PHONE_SUCCESS)
    return nCode;
  if (!Report(PHONE_STAGE_READING, StorageNumber(strStorage), 0, std::max(nMem1Used, 0)))
    return PHONE_CANCELLED;
  if (!bReadByIndex) {
    CAtReply reply;
    AtStatus status = Command("AT+CMGL=4", reply);
    if (status == AT_STATUS_ERROR && reply.eFinal == AT_FINAL_CMS &&
        reply.nErrorCode == CMS_INVALID_MEMORY_INDEX)
      return PHONE_SUCCESS;  // "invalid memory index": some phones say so of an empty storage
    if (status == AT_STATUS_OK) {
      AtParseCmglListing(reply.lines, entries, bad);
      return Report(PHONE_STAGE_READING, StorageNumber(strStorage),
                    static_cast<int>(entries.size() + bad.size()),
                    static_cast<int>(entries.size() + bad.size()))
                 ? PHONE_SUCCESS
                 : PHONE_CANCELLED;
    }
    // A listing that never began (the phone hangs on it) or that the phone refuses:
    // read the messages one by one; after a hang, from now on, so that the wait is
    // not paid again.
    bool bHung = status == AT_STATUS_TIMEOUT && reply.lines.empty();
    if (!bHung && !(status == AT_STATUS_ERROR && IsListingRefused(reply)))
      return CodeOf(status, reply);
    bReadByIndex = bHung;
  }
  return ReadByIndex(strStorage, entries, bad);
}

int CPhoneInterface::Impl::ReadByIndex(const std::string& strStorage, std::vector<CAtListEntry>& entries,
                                       std::vector<CAtBadEntry>& bad) {
  int nUsed = -1, nTotal = -1;
  {
    CAtReply reply;
    AtStatus status = Command("AT+CPMS?", reply);
    if (status != AT_STATUS_OK)
      return CodeOf(status, reply);
    std::vector<CAtStorageUse> uses;
    for (const std::string& line : reply.lines)
      if (AtParseCpmsUse(line, uses))
        break;
    if (uses.empty())
      return PHONE_ERROR_REPLY;
    auto it = std::find_if(uses.begin(), uses.end(),
                           [&](const CAtStorageUse& u) { return u.strName == strStorage; });
    const CAtStorageUse& use = it != uses.end() ? *it : uses.front();
    nUsed = use.nUsed;
    nTotal = use.nTotal;
  }
  const int nStorage = StorageNumber(strStorage);
  int nFound = 0;
  for (int nIndex = 1; nIndex <= std::min(nTotal, kMaxIndexScan) && nFound < nUsed; ++nIndex) {
    if (!Report(PHONE_STAGE_READING, nStorage, nFound, nUsed))
      return PHONE_CANCELLED;
    CAtReply reply;
    AtStatus status = Command("AT+CMGR=" + std::to_string(nIndex), reply);
    if (status == AT_STATUS_ERROR && IsEmptyPlace(reply))
      continue;
    if (status != AT_STATUS_OK)
      return CodeOf(status, reply);
    CAtListEntry entry;
    entry.header.nIndex = nIndex;
    std::string strReason;
    if (AtParseCmgrReply(reply.lines, entry, strReason)) {
      entries.push_back(std::move(entry));
      ++nFound;
    } else if (!reply.lines.empty()) {
      bad.push_back({nIndex, strReason});
      ++nFound;
    }
  }
  return PHONE_SUCCESS;
}

int CPhoneInterface::Impl::ListAll(std::vector<CListedMessage>& listed) {
  std::vector<CListedMessage> result;
  diag.unreadable.clear();
  std::vector<std::string> storages = readStorages;
  std::vector<std::string> answered;  // the storages the phone let us read
  for (size_t i = 0; i < storages.size(); ++i) {
    const std::string strStorage = storages[i];
    std::vector<CAtListEntry> entries;
    std::vector<CAtBadEntry> bad;
    int nCode = ListStorage(strStorage, entries, bad);
    if (nCode == PHONE_STORAGE_NOT_SET && (bStoragesGuessed || bMtOffered)) {
      // A storage the phone would not let us choose: a guess that was wrong, or a
      // SIM that is read through MT.
      if (bMtOffered && !bMtForSim && StorageNumber(strStorage) == MSG_STORAGE_SIM) {
        bMtForSim = true;
        storages.push_back("MT");
      }
      continue;
    }
    if (nCode != PHONE_SUCCESS)
      return nCode;
    answered.push_back(strStorage);
    if (strStorage == "MT")
      DropRepeats(result, entries);
    for (CAtListEntry& e : entries)
      result.push_back({strStorage, e.header.nIndex, e.header.nStat, std::move(e.strPdu)});
    for (CAtBadEntry& b : bad)
      diag.unreadable.push_back({strStorage, b.nIndex, std::move(b.strReason)});
  }
  if (answered.empty())
    return PHONE_STORAGE_NOT_SET;
  if (bStoragesGuessed || answered != readStorages) {
    // What was learnt: the storages that answered are the ones there are.
    readStorages = answered;
    bStoragesGuessed = false;
    nAvailable = MSG_STORAGE_UNKNOWN;
    for (const std::string& s : answered)
      nAvailable |= StorageNumber(s);
  }
  listed = std::move(result);
  return PHONE_SUCCESS;
}

int CPhoneInterface::Impl::Fetch(bool bOutgoing, CMessageArray* pArray) {
  if (int nCode = CheckReady(); nCode != PHONE_SUCCESS)
    return nCode;
  if (pArray == nullptr)
    return Fail(PHONE_EXEC_FAILED);

  std::vector<CListedMessage> listed;
  if (int nCode = ListAll(listed); nCode != PHONE_SUCCESS)
    return Fail(nCode);

  // The list a message belongs to is its transfer unit's: deliveries are received,
  // submits sent or stored, whatever status the phone gives them. Status reports
  // are not messages.
  std::vector<CPduMessage> pdus;
  std::vector<const CListedMessage*> origins;
  const PduType wanted = bOutgoing ? PduType::SUBMIT : PduType::DELIVER;
  for (const CListedMessage& m : listed) {
    CPduResult<CPduMessage> decoded = CPduDecoder::Decode(m.strPdu);
    if (!decoded) {
      diag.unreadable.push_back({m.strStorage, m.nIndex, decoded.GetError()});
      continue;
    }
    if (decoded->m_type != wanted)
      continue;
    pdus.push_back(std::move(decoded).Value());
    origins.push_back(&m);
  }

  CMessageArray result;
  for (const CPduConcatGroup& group : CPduConcatenation::Group(pdus)) {
    std::vector<int> parts;
    for (int n : group.m_parts)
      if (n >= 0)
        parts.push_back(n);
    if (parts.empty())
      continue;
    const CPduMessage& first = pdus[static_cast<size_t>(parts[0])];
    const CListedMessage& where = *origins[static_cast<size_t>(parts[0])];
    auto pMessage = std::make_unique<CMessage>();
    CPduRecord::FillMessage(first, *pMessage);
    if (parts.size() > 1 || group.m_bConcatenated) {
      // The parts there are, in order: an incomplete message keeps the PDUs it has,
      // so that the whole one that comes later can be told to be the same.
      std::string strText, strPdu;
      for (int n : parts) {
        strText += pdus[static_cast<size_t>(n)].m_strText;
        strPdu += pdus[static_cast<size_t>(n)].m_strPdu;
      }
      pMessage->m_strMessage = group.IsComplete() ? group.m_strText : strText;
      pMessage->m_strPdu = strPdu;
    }
    std::string strPlaces;
    for (int n : parts) {
      const CListedMessage& m = *origins[static_cast<size_t>(n)];
      strPlaces += (strPlaces.empty() ? "" : ",") + m.strStorage + ":" + std::to_string(m.nIndex);
    }
    pMessage->m_strExtra = strPlaces;
    pMessage->m_nStorage = StorageNumber(where.strStorage);
    pMessage->m_strDateTime =
        pMessage->m_dtDateTime.IsValid() ? pMessage->m_dtDateTime.Format() : std::string();
    if (bOutgoing) {
      pMessage->m_nType = MSG_TYPE_PHONE_OUTGOING;
      pMessage->m_nStatus = where.nStat == AT_STAT_STO_SENT ? MSG_STATUS_SENT : MSG_STATUS_UNSENT;
    } else {
      pMessage->m_nType = MSG_TYPE_RECEIVED;
    }
    result.push_back(std::move(pMessage));
  }

  if (result.empty())
    return Fail(diag.unreadable.empty() ? PHONE_NO_MESSAGES : PHONE_BAD_PDU);
  for (auto& p : result)
    pArray->push_back(std::move(p));
  return Succeed();
}

int CPhoneInterface::Impl::Send(CMessage* pMessage, const std::string& strCommand) {
  if (int nCode = CheckReady(); nCode != PHONE_SUCCESS)
    return nCode;
  if (pMessage == nullptr)
    return Fail(PHONE_EXEC_FAILED);
  std::string strVerb = AtUpper(AtTrim(strCommand));
  if (!strVerb.empty() && strVerb.back() == '=')
    strVerb.pop_back();
  if (strVerb != "AT+CMGS" && strVerb != "AT+CMGW")
    return Fail(PHONE_BAD_COMMAND);
  bool bStore = strVerb == "AT+CMGW";
  if (!bStore && AtTrim(pMessage->m_strNumber).empty())
    return Fail(PHONE_BAD_PDU);
  if (!bStore && pMessage->m_strServiceCenter.empty() && bServiceCenterAnswered && strServiceCenter.empty())
    return Fail(PHONE_SCA_UNKNOWN);

  CPduResult<std::vector<CPduEncoded>> encoded = CPduRecord::EncodeMessage(*pMessage, 0, nConcatReference++);
  if (!encoded || encoded->empty())
    return Fail(PHONE_BAD_PDU);

  if (bStore && (pMessage->m_nStorage == MSG_STORAGE_PHONE || pMessage->m_nStorage == MSG_STORAGE_SIM)) {
    std::string strName = StorageName(pMessage->m_nStorage);
    if (strName.empty() || !(nAvailable & pMessage->m_nStorage))
      return Fail(PHONE_STORAGE_UNKNOWN);
    if (int nCode = SelectStorage(strName, true); nCode != PHONE_SUCCESS)
      return Fail(nCode);
  }

  std::string strWritten;
  const int nParts = static_cast<int>(encoded->size());
  for (int i = 0; i < nParts; ++i) {
    if (!Report(PHONE_STAGE_SENDING, pMessage->m_nStorage, i, nParts))
      return Fail(PHONE_CANCELLED);
    const CPduEncoded& part = encoded.Value()[static_cast<size_t>(i)];
    CAtReply reply;
    AtStatus status =
        CommandWithData(strVerb + "=" + std::to_string(part.m_nTpduLength), part.m_strPdu, reply);
    if (status != AT_STATUS_OK) {
      if (status == AT_STATUS_ERROR && reply.eFinal == AT_FINAL_CMS &&
          reply.nErrorCode == CMS_SMSC_ADDRESS_UNKNOWN)
        return Fail(PHONE_SCA_UNKNOWN);
      return Fail(CodeOf(status, reply));
    }
    strWritten += part.m_strPdu;
  }
  pMessage->m_strPdu = strWritten;
  return Succeed();
}

int CPhoneInterface::Impl::Delete(std::string& strList, const CMessage* pMessage) {
  if (int nCode = CheckReady(); nCode != PHONE_SUCCESS)
    return nCode;
  if (pMessage == nullptr)
    return Fail(PHONE_EXEC_FAILED);
  // The phone stopped answering in the delete, or the listing, before this one of
  // the same batch.
  if (bStalled && strList == strStalledList)
    return Fail(PHONE_TIMEOUT);
  std::vector<CListedMessage> listed = ParseListing(strList);
  if (listed.empty()) {
    if (int nCode = ListAll(listed); nCode != PHONE_SUCCESS) {
      if (nCode == PHONE_TIMEOUT || nCode == PHONE_WRITE_FAILED) {
        bStalled = true;
        strStalledList = strList;
      }
      return Fail(nCode);
    }
    strList = FormatListing(listed);
  }
  std::string strRecord = AtUpper(pMessage->m_strPdu);
  std::vector<CListedMessage> keep, gone;
  for (CListedMessage& m : listed)
    (PduBelongsTo(m.strPdu, strRecord) ? gone : keep).push_back(std::move(m));
  if (gone.empty())
    return Fail(PHONE_NO_MESSAGES);
  auto stop = [&](size_t i, int nCode) {
    keep.insert(keep.end(), gone.begin() + static_cast<long>(i), gone.end());
    strList = FormatListing(keep);
    if (nCode == PHONE_TIMEOUT || nCode == PHONE_WRITE_FAILED) {
      bStalled = true;
      strStalledList = strList;
    }
    return Fail(nCode);
  };
  for (size_t i = 0; i < gone.size(); ++i) {
    const int nStorage = StorageNumber(gone[i].strStorage);
    if (!Report(PHONE_STAGE_DELETING, nStorage, static_cast<int>(i), static_cast<int>(gone.size())))
      return stop(i, PHONE_CANCELLED);
    if (int nCode = SelectStorage(gone[i].strStorage, false); nCode != PHONE_SUCCESS)
      return stop(i, nCode);
    CAtReply reply;
    AtStatus status = Command("AT+CMGD=" + std::to_string(gone[i].nIndex), reply);
    if (status != AT_STATUS_OK)
      return stop(i, CodeOf(status, reply));
  }
  strList = FormatListing(keep);
  bStalled = false;
  return Succeed();
}

int CPhoneInterface::Impl::DeleteAll() {
  if (int nCode = CheckReady(); nCode != PHONE_SUCCESS)
    return nCode;
  for (const std::string& strStorage : std::vector<std::string>(readStorages)) {
    const int nStorage = StorageNumber(strStorage);
    if (!Report(PHONE_STAGE_DELETING, nStorage, 0, 0))
      return Fail(PHONE_CANCELLED);
    if (int nCode = SelectStorage(strStorage, false); nCode != PHONE_SUCCESS) {
      if (nCode == PHONE_STORAGE_NOT_SET && bStoragesGuessed)
        continue;
      return Fail(nCode);
    }
    // Delete flag 4 empties the storage at once; a phone that does not know it has
    // each message deleted by its index.
    CAtReply reply;
    AtStatus status = Command("AT+CMGD=1,4", reply);
    if (status == AT_STATUS_OK)
      continue;
    if (status != AT_STATUS_ERROR)
      return Fail(CodeOf(status, reply));
    std::vector<CAtListEntry> entries;
    std::vector<CAtBadEntry> bad;
    if (int nCode = ListStorage(strStorage, entries, bad); nCode != PHONE_SUCCESS)
      return Fail(nCode);
    std::vector<int> indexes;
    for (const CAtListEntry& e : entries)
      indexes.push_back(e.header.nIndex);
    for (const CAtBadEntry& b : bad)
      if (b.nIndex >= 0)
        indexes.push_back(b.nIndex);
    for (size_t i = 0; i < indexes.size(); ++i) {
      if (!Report(PHONE_STAGE_DELETING, nStorage, static_cast<int>(i), static_cast<int>(indexes.size())))
        return Fail(PHONE_CANCELLED);
      status = Command("AT+CMGD=" + std::to_string(indexes[i]), reply);
      if (status != AT_STATUS_OK)
        return Fail(CodeOf(status, reply));
    }
  }
  return Succeed();
}
