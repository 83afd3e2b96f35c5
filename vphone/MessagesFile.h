#pragma once
// Reads a messages file into the phone's storages. The format is described at the
// top of vphone/VirtualPhone.h.

#include <istream>
#include <string>

#include "vphone/MessageStore.h"

namespace vphone {

class CMessagesFile {
 public:
  // Loads every message of the file; on the first bad line stops and returns false
  // with "<file>:<line>: <reason>" in strError. Messages before it stay loaded.
  static bool Load(const std::string& strPath, CMessageStore& store, std::string& strError);
  // The same for text already open; strName names it in error texts.
  static bool Read(std::istream& in, const std::string& strName, CMessageStore& store, std::string& strError);
  // Checks one PDU for a slot of the given status: REC UNREAD/REC READ need an
  // SMS-DELIVER, STO UNSENT/STO SENT an SMS-SUBMIT. Fills the stored form.
  static bool MakeStored(int nStatus, const std::string& strHex, CStoredMessage& message,
                         std::string& strError);
};

}  // namespace vphone
