#include "model/MessageText.h"

#include "model/Message.h"
#include "res/StringTable.h"

std::string GetStatusText(int32_t nStatus) {
  switch (nStatus) {
    case MSG_STATUS_SENT:
      return LoadString(IDS_STATUS_SENT);
    case MSG_STATUS_UNSENT:
      return LoadString(IDS_STATUS_UNSENT);
    case MSG_STATUS_STORED:
      return LoadString(IDS_STATUS_STORED);
    case MSG_STATUS_AT_SERVICE_CENTER:
      return LoadString(IDS_STATUS_AT_SERVICE_CENTER);
    case MSG_STATUS_PENDING:
      return LoadString(IDS_STATUS_PENDING);
    case MSG_STATUS_ERROR:
      return LoadString(IDS_STATUS_ERROR);
    default:
      return LoadString(IDS_STATUS_INVALID);
  }
}

std::string GetStorageText(int32_t nStorage) {
  switch (nStorage) {
    case MSG_STORAGE_PHONE:
      return LoadString(IDS_STORAGE_PHONE);
    case MSG_STORAGE_SIM:
      return LoadString(IDS_STORAGE_SIM);
    default:
      return LoadString(IDS_STORAGE_UNKNOWN);
  }
}
