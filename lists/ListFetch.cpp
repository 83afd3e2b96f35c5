#include "lists/ListFetch.h"

#include "model/PhoneStatus.h"
#include "platform/PromptService.h"
#include "res/StringTable.h"
#include "shell/PageControls.h"

void RunListFetch(const CListFetch& steps) {
  CWaitCursor wait;
  CMessageArray fetched;
  bool bCancelled = false;
  const int nResult = steps.fetch(fetched, &bCancelled);
  if (bCancelled || nResult == PHONE_CANCELLED)
    return;
  if (nResult != PHONE_SUCCESS) {
    wait.End();
    if (nResult == PHONE_NO_MESSAGES) {
      steps.clearSelection();
      AfxMessageBox(LoadString(steps.nNothingNewId), MB_OK);
    } else {
      steps.reportError(nResult);
    }
    return;
  }
  const CFetchMerge merged = steps.merge(fetched);
  wait.End();
  if (!merged.Any())
    AfxMessageBox(LoadString(steps.nNothingNewId), MB_OK);
}
