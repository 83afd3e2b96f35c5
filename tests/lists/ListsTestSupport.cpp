#include "ListsTestSupport.h"

#include <cstdio>

#include "lists/ListDates.h"
#include "model/StoreLists.h"

// The windows are shown, so their text is laid out with the system's fonts; the font
// library keeps a few blocks of its own to the end of the process, which the leak
// checker would otherwise count against the tests.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

std::string LongPart(int nPart, const std::string& strText) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string strUd;
  for (const char c : strText)
    strUd += std::string("00") + kHex[(c >> 4) & 0xF] + kHex[c & 0xF];
  char szHead[80];
  std::snprintf(szHead, sizeof szHead,
                "07911326040000F0440B911346610089F6000820806291731408%02X050003A7030%d",
                6 + 2 * static_cast<int>(strText.size()), nPart);
  return szHead + strUd;
}

void CInboxTest::ExpectRowsFollowMessages(CInboxPage& page) {
  CSortListCtrl* pList = List(page);
  ASSERT_EQ(static_cast<size_t>(pList->GetItemCount()), page.m_pMessages->size());
  for (int i = 0; i < pList->GetItemCount(); ++i) {
    const CMessage& m = *(*page.m_pMessages)[static_cast<size_t>(i)];
    EXPECT_EQ(pList->GetItemText(i, 0), m.GetSenderName()) << i;
    EXPECT_EQ(pList->GetItemText(i, 1), m.GetNumber()) << i;
    EXPECT_EQ(pList->GetItemText(i, 2), FormatListDateTime(m.GetDateTime())) << i;
    EXPECT_EQ(pList->GetItemText(i, 3), GetStorageText(m.GetStorage())) << i;
  }
}

std::vector<std::string> CInboxTest::SavedInbox() const {
  return Saved(LoadInbox, [](const CMessage& m) { return m.GetMessage(); });
}
