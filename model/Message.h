// One SMS message, received or outgoing. The fields keep their historic order; the
// store files write them in the order of Serialize, which differs.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "model/DateTime.h"
#include "model/RecordText.h"

class CArchive;

// The numbers of a record's m_nStatus, m_nStorage and m_nType. They are stored as
// they are in the store files and read by the pages: the values never change.

// m_nStatus of an outgoing message (0 for a received one): the status words of
// GetStatusText; any other value is shown as invalid.
enum Msg_Status : int32_t {
  MSG_STATUS_NONE = 0,
  MSG_STATUS_SENT = 1,
  MSG_STATUS_UNSENT = 2,
  MSG_STATUS_STORED = 3,
  MSG_STATUS_AT_SERVICE_CENTER = 4,
  MSG_STATUS_PENDING = 5,
  MSG_STATUS_ERROR = 6,
};

// m_nStorage, and where the phone stores messages: 1 phone memory, 2 SIM card,
// 3 both; anything else is unknown.
enum Msg_Storage {
  MSG_STORAGE_UNKNOWN = 0,
  MSG_STORAGE_PHONE = 1,
  MSG_STORAGE_SIM = 2,
  MSG_STORAGE_BOTH = 3
};

// m_nType: where the record came from.
enum Msg_Type : int32_t {
  MSG_TYPE_RECEIVED = 0,        // read from the phone or arrived: an SMS-DELIVER
  MSG_TYPE_PHONE_OUTGOING = 1,  // an outgoing message read from the phone's storage
  MSG_TYPE_COMPOSED = 2,        // composed on the desktop
};

class CMessage {
 public:
  CMessage() = default;
  ~CMessage() = default;
  CMessage(const CMessage&) = delete;
  CMessage& operator=(const CMessage& other);  // copies every field, the texts into one block

  void Serialize(CArchive& ar);

  std::string GetSenderName() const { return m_strSenderName; }
  void SetSenderName(const std::string& s) { m_strSenderName = s; }
  std::string GetName() const { return m_strName; }
  void SetName(const std::string& s) { m_strName = s; }
  std::string GetNumber() const { return m_strNumber; }
  void SetNumber(const std::string& s) { m_strNumber = s; }
  int GetStatus() const { return m_nStatus; }
  void SetStatus(int n) { m_nStatus = n; }
  int GetStorage() const { return m_nStorage; }
  void SetStorage(int n) { m_nStorage = n; }
  void SetType(int n) { m_nType = n; }  // kept: the record's interface, no caller here
  std::string GetDateTimeText() const { return m_strDateTime; }
  void SetDateTimeText(const std::string& s) { m_strDateTime = s; }
  CDateTime GetDateTime() const { return m_dtDateTime; }
  void SetDateTime(const CDateTime& dt) { m_dtDateTime = dt; }
  std::string GetMessage() const { return m_strMessage; }
  void SetMessage(const std::string& s) { m_strMessage = s; }
  std::string GetPdu() const { return m_strPdu; }
  void SetServiceCenter(const std::string& s) { m_strServiceCenter = s; }
  int GetReplyCharges() const { return m_bReplyCharges; }  // kept: the record's interface, no caller here
  void SetValidity(int n) { m_nValidity = n; }             // kept: the record's interface, no caller here

  // Flags word (m_wFirstOctet): bits 0-1 type (00 received, 01 submit), bit 2
  // reject duplicates, bits 3-4 validity format (10 relative), bit 5 reply charges,
  // bits 6-7 header indicator and reply path of a submit message.
  bool IsReceivedType() const;
  bool IsSubmitType() const;
  bool IsReplyCharges() const;
  void SetSubmitType();
  void SetRejectDuplicates(bool bFlag);
  void SetRelativeValidity(bool bFlag);
  void SetReplyCharges(bool bFlag);
  void SetHeaderIndicator(bool bFlag);
  void SetReplyPath(bool bFlag);

  // The key by which a list recognises a message it already holds: the PDU without
  // its service-centre part and without the octet after the first octet.
  std::string GetPduKey() const;

  // Fields, in their historic order. The phone library fills them directly.
  CRecordText m_strSenderName;
  CRecordText m_strName;
  CRecordText m_strNumber;
  int32_t m_nStatus = 0;
  int32_t m_nStorage = 0;
  int32_t m_nType = 0;
  CRecordText m_strDateTime;
  CDateTime m_dtDateTime;
  CRecordText m_strExtra;
  CRecordText m_strMessage;
  CRecordText m_strPdu;
  CRecordText m_strServiceCenter;
  uint8_t m_bFlag = 1;  // kept: stored and compared, read by nobody
  int32_t m_bReplyCharges = 0;
  uint16_t m_wFirstOctet = 0;
  int32_t m_nValidity = 0;

 private:
  // Sets the eight text fields, in the order of Serialize, from pTexts, all into
  // one block the record owns (the texts then view it), so that a loaded or copied
  // record is two heap blocks however many texts it has. The old block is reused
  // when large enough; pTexts must not point into it.
  void SetTexts(const std::string_view* pTexts);
  // The eight text fields of a record, in the order of Serialize.
  template <class Record>
  static auto TextFields(Record& r) {
    return std::array{&r.m_strSenderName, &r.m_strName,          &r.m_strNumber,  &r.m_strDateTime,
                      &r.m_strExtra,      &r.m_strServiceCenter, &r.m_strMessage, &r.m_strPdu};
  }

  std::unique_ptr<char[]> m_pTexts;  // the block the packed texts view
  uint32_t m_nTextsCapacity = 0;     // its size in bytes
};
