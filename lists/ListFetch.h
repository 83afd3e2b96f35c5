// Get messages (Inbox) and Retrieve (Outbox): one flow around the page's own parts.
//
// The phone's part runs under the wait cursor (the window adds its progress dialog
// when it takes long). Then:
// - stopped by the user: nothing changes and nothing is shown;
// - the phone has no messages: the selection is cleared and the page's "no new
//   messages" text is shown;
// - any other failure: its status code goes to the error dialog;
// - otherwise the page merges what came, and the "no new messages" text is shown
//   when none of it was new.
// The wait cursor ends before any message box. Out of memory (std::bad_alloc) leaves
// the flow to the page, which keeps what was added.
#pragma once

#include <functional>

#include "lists/ListEdits.h"
#include "model/Lists.h"

struct CListFetch {
  unsigned int nNothingNewId;  // string id of the "no new messages" text
  // The phone's part: fills the array, returns the phone's status code and tells
  // through its flag whether the user stopped it.
  std::function<int(CMessageArray&, bool*)> fetch;
  // The page's part: takes the fetched messages into its list.
  std::function<CFetchMerge(CMessageArray&)> merge;
  std::function<void()> clearSelection;
  // Keeps the status code in the window and shows the error dialog.
  std::function<void(int)> reportError;
};

void RunListFetch(const CListFetch& steps);
