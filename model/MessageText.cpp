#include "model/MessageText.h"

#include "res/StringTable.h"

std::string GetStatusText(int32_t nStatus) {
  switch (nStatus) {
    case 1: return LoadString(IDS_STATUS_SENT);
    case 2: return LoadString(IDS_STATUS_UNSENT);
    case 3: return LoadString(IDS_STATUS_STORED);
    case 4: return LoadString(IDS_STATUS_AT_SERVICE_CENTER);
    case 5: return LoadString(IDS_STATUS_PENDING);
    case 6: return LoadString(IDS_STATUS_ERROR);
    default: return LoadString(IDS_STATUS_INVALID);
  }
}

std::string GetStorageText(int32_t nStorage) {
  switch (nStorage) {
    case 1: return LoadString(IDS_STORAGE_PHONE);
    case 2: return LoadString(IDS_STORAGE_SIM);
    default: return LoadString(IDS_STORAGE_UNKNOWN);
  }
}
