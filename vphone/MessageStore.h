#pragma once
// The phone's message memories ("ME" phone, "SM" SIM): numbered slots from 1 to the
// capacity, each empty or holding one PDU with its 27.005 status.

#include <map>
#include <string>
#include <vector>

namespace vphone {

// 27.005 <stat> values in PDU mode.
enum EMessageStatus { eRecUnread = 0, eRecRead = 1, eStoUnsent = 2, eStoSent = 3 };

struct CStoredMessage {
  int m_nStatus = eRecUnread;
  std::string m_strPdu;  // upper-case hex, service-centre part included
  int m_nTpduLength = 0;
};

class CMessageStore {
 public:
  // Adds a storage; false when the name is taken or the capacity is not positive.
  bool AddStorage(const std::string& strName, int nCapacity);
  bool HasStorage(const std::string& strName) const;
  std::vector<std::string> GetStorageNames() const;
  int GetCapacity(const std::string& strName) const;
  int GetUsed(const std::string& strName) const;

  // Puts a message into the lowest free slot; returns its index, or 0 when the
  // storage is full or unknown.
  int Add(const std::string& strName, const CStoredMessage& message);
  CStoredMessage* Get(const std::string& strName, int nIndex);
  const CStoredMessage* Get(const std::string& strName, int nIndex) const;
  bool Delete(const std::string& strName, int nIndex);
  // Occupied indexes, ascending.
  std::vector<int> GetIndexes(const std::string& strName) const;

 private:
  struct CArea {
    std::string m_strName;
    int m_nCapacity = 0;
    std::map<int, CStoredMessage> m_mapSlots;
  };
  CArea* Find(const std::string& strName);
  const CArea* Find(const std::string& strName) const;

  std::vector<CArea> m_vecAreas;
};

}  // namespace vphone
