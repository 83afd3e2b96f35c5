#include "model/CsvExport.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>

#include "model/MessageText.h"
#include "model/PosixFile.h"
#include "model/RecordList.h"
#include "model/StoreFile.h"
#include "platform/PromptService.h"
#include "platform/SafeFile.h"
#include "res/StringTable.h"

namespace {

constexpr char kCommaOrReturn[] = ",\r";
constexpr char kComma[] = ",";

// Appends the fields of one line: quoted when they hold a trigger character,
// separated by commas, ended by a carriage return and a line feed.
class CCsvLine {
 public:
  CCsvLine(std::string& text, const char* pszTriggers) : m_text(text), m_pszTriggers(pszTriggers) {}
  CCsvLine& Field(const std::string& strField) {
    if (!m_bFirst)
      m_text += ',';
    m_bFirst = false;
    if (strField.find_first_of(m_pszTriggers) != std::string::npos) {
      m_text += '"';
      m_text += strField;
      m_text += '"';
    } else {
      m_text += strField;
    }
    return *this;
  }
  void End() {
    m_text += "\r\n";
    m_bFirst = true;
  }

 private:
  std::string& m_text;
  const char* m_pszTriggers;
  bool m_bFirst = true;
};

bool BuildText(StoreList which, const CMessageArray& list, std::string& text) {
  switch (which) {
    case StoreList::outbox:
      text = LoadString(IDS_CSV_HEADER_OUTBOX);
      for (const auto& p : list) {
        if (!p)
          continue;
        CCsvLine line(text, kCommaOrReturn);
        line.Field(p->m_strName).Field(p->m_strNumber).Field(p->m_strDateTime);
        line.Field(GetStorageText(p->m_nStorage)).Field(GetStatusText(p->m_nStatus));
        line.Field(p->m_strMessage).End();
      }
      return true;
    case StoreList::inbox:
      text = LoadString(IDS_CSV_HEADER_INBOX);
      for (const auto& p : list) {
        if (!p)
          continue;
        CCsvLine line(text, kComma);
        line.Field(p->m_strSenderName).Field(p->m_strNumber).Field(p->m_strDateTime);
        line.Field(GetStorageText(p->m_nStorage)).Field(p->m_strMessage).End();
      }
      return true;
    case StoreList::presets:
      text.clear();
      for (const auto& p : list) {
        if (p)
          CCsvLine(text, kCommaOrReturn).Field(p->m_strMessage).End();
      }
      return true;
    default:
      return false;
  }
}

bool BuildText(StoreList which, const CAddressArray& list, std::string& text) {
  switch (which) {
    case StoreList::addressBook:
      text = LoadString(IDS_CSV_HEADER_ADDRESS);
      for (const auto& p : list) {
        if (p)
          CCsvLine(text, kCommaOrReturn).Field(p->m_strName).Field(p->m_strNumber).End();
      }
      return true;
    case StoreList::serviceCenters:
      text = LoadString(IDS_SERVICE_CENTER) + "\r\n";
      for (const auto& p : list) {
        if (p)
          CCsvLine(text, kComma).Field(p->m_strNumber).End();
      }
      return true;
    default:
      return false;
  }
}

// Which lists each record class can be written as.
bool IsWriterOf(StoreList which, const CMessageArray&) {
  return which == StoreList::outbox || which == StoreList::inbox || which == StoreList::presets;
}
bool IsWriterOf(StoreList which, const CAddressArray&) {
  return which == StoreList::addressBook || which == StoreList::serviceCenters;
}

template <class List>
CsvResult WriteCsvText(StoreList which, const std::string& strStorePath, const List& list) {
  if (!IsWriterOf(which, list))
    return CsvResult::failed;
  std::string text;
  if (!BuildText(which, list, text))
    return CsvResult::failed;
  // Written like a store file: a complete new copy replaces the old one, which is
  // never cut short in place.
  std::string strCsvPath = GetCsvPath(strStorePath);
  CStoreResult result = ReplaceFileSafely(strCsvPath, [&](int fd) {
    CheckStoreFault(StoreStep::csvWrite);
    if (!WriteFully(fd, text.data(), text.size()) || fsync(fd) != 0)
      ThrowFileError(errno);
  });
  if (result.m_kind == CStoreResult::notOpened) {
    AfxMessageBox(LoadString(IDS_UNABLE_TO_SAVE) + strCsvPath, MB_OK);
    return CsvResult::notOpened;
  }
  return result.IsOk() ? CsvResult::written : CsvResult::failed;
}

// Out of memory anywhere ends the writer silently.
template <class List>
CsvResult WriteCsv(StoreList which, const std::string& strStorePath, const List& list) {
  try {
    return WriteCsvText(which, strStorePath, list);
  } catch (const std::bad_alloc&) {
    return CsvResult::failed;
  }
}

}  // namespace

std::string GetCsvPath(const std::string& strStorePath) {
  std::string strDat = LoadString(IDS_EXT_DAT);
  std::string strCsv = LoadString(IDS_EXT_CSV);
  if (strStorePath.size() >= strDat.size() &&
      strcasecmp(strStorePath.c_str() + strStorePath.size() - strDat.size(), strDat.c_str()) == 0)
    return strStorePath.substr(0, strStorePath.size() - strDat.size()) + strCsv;
  return strStorePath + strCsv;
}

CsvResult WriteCsvFile(StoreList which, const std::string& strStorePath, const CMessageArray& list) {
  return WriteCsv(which, strStorePath, list);
}

CsvResult WriteCsvFile(StoreList which, const std::string& strStorePath, const CAddressArray& list) {
  return WriteCsv(which, strStorePath, list);
}

void WriteOutboxCsv(const std::string& strDataFolder, const CMessageArray& list) {
  WriteCsv(StoreList::outbox, GetStorePath(strDataFolder, StoreList::outbox), list);
}

void WriteInboxCsv(const std::string& strDataFolder, const CMessageArray& list) {
  WriteCsv(StoreList::inbox, GetStorePath(strDataFolder, StoreList::inbox), list);
}

void WriteAddressCsv(const std::string& strDataFolder, const CAddressArray& list) {
  WriteCsv(StoreList::addressBook, GetStorePath(strDataFolder, StoreList::addressBook), list);
}

void WritePresetCsv(const std::string& strDataFolder, const CMessageArray& list) {
  WriteCsv(StoreList::presets, GetStorePath(strDataFolder, StoreList::presets), list);
}

void WriteServiceCenterCsv(const std::string& strDataFolder, const CAddressArray& list) {
  WriteCsv(StoreList::serviceCenters, GetStorePath(strDataFolder, StoreList::serviceCenters), list);
}
