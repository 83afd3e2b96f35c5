// The sort of a message list by a column's key, in both directions, and the rows a
// selection of overlapping ranges gives.

#include <cstdlib>
#include <sstream>

#include "ListsTestSupport.h"
#include "lists/SortListCtrl.h"

namespace {

// A message with one distinguishing field set from a text; the tag (m_strExtra)
// tells the messages apart when their keys are equal.
std::unique_ptr<CMessage> Make(const std::string& strTag) {
  auto p = std::make_unique<CMessage>();
  p->m_strExtra = strTag;
  return p;
}

void SetField(CMessage& m, int32_t nKey, const std::string& strValue) {
  switch (nKey) {
    case SORT_NUMBER:
      m.SetNumber(strValue);
      break;
    case SORT_RECIPIENT_NAME:
      m.SetName(strValue);
      break;
    case SORT_STATUS:
      m.SetStatus(std::atoi(strValue.c_str()));
      break;
    case SORT_STORAGE:
      m.SetStorage(std::atoi(strValue.c_str()));
      break;
    default:
      m.SetSenderName(strValue);
      break;
  }
}

// Messages from "tag=value tag=value ...", the value going to the key's field (for
// status and storage the code).
CMessageArray Messages(int32_t nKey, const std::string& strInput) {
  CMessageArray list;
  std::istringstream in(strInput);
  for (std::string strItem; in >> strItem;) {
    const size_t nEquals = strItem.find('=');
    list.push_back(Make(strItem.substr(0, nEquals)));
    SetField(*list.back(), nKey, strItem.substr(nEquals + 1));
  }
  return list;
}

std::string JoinedTags(const CMessageArray& list) {
  std::string strTags;
  for (const auto& p : list)
    strTags += (strTags.empty() ? "" : " ") + p->m_strExtra;
  return strTags;
}

std::vector<std::string> Column(const CSortListCtrl& list) {
  std::vector<std::string> texts;
  for (int n = 0; n < list.GetItemCount(); ++n)
    texts.push_back(list.GetItemText(n, 0));
  return texts;
}

}  // namespace

TEST(SortMessagesByTextTest, OrdersByTheKeysWordsInBothDirections) {
  const struct {
    const char* pszName;
    int32_t nKey;
    bool bAscending;
    const char *pszInput, *pszExpected;  // tag=value items; the tags in sorted order
  } cases[] = {
      // Byte order: upper case before lower case, an empty text first, a prefix first.
      {"names ascending", SORT_SENDER_NAME, true, "b=bob B=Bob e= z=Zed bo=bo", "e B z bo b"},
      {"names descending", SORT_SENDER_NAME, false, "b=bob B=Bob e= z=Zed bo=bo", "b bo z B e"},
      // Bytes above 0x7F sort after ASCII (unsigned comparison).
      {"numbers with non-ASCII", SORT_NUMBER, true, "u=\xC3\xA9 p=+4711 d=0471", "p d u"},
      {"recipient names", SORT_RECIPIENT_NAME, true, "2=Mia 1=Al 3=mia", "1 2 3"},
      // The status words, not the codes.
      {"status ascending", SORT_STATUS, true, "sent=1 unsent=2 stored=3 sc=4 pending=5 error=6 invalid=9",
       "sc error invalid pending sent stored unsent"},
      {"storage ascending", SORT_STORAGE, true, "unknown=0 sim=2 phone=1", "phone sim unknown"},
      // Equal keys in order are never exchanged.
      {"equal keys kept", SORT_SENDER_NAME, true, "a1=Ann a2=Ann a3=Ann b=Bea", "a1 a2 a3 b"},
      // A key no column has compares empty texts: nothing moves.
      {"unknown key", 7, true, "c=Cy a=Al b=Bo", "c a b"},
  };
  for (const auto& c : cases) {
    CMessageArray list = Messages(c.nKey, c.pszInput);
    EXPECT_TRUE(SortMessagesByText(&list, c.nKey, c.bAscending, 0, -1)) << c.pszName;
    EXPECT_EQ(JoinedTags(list), c.pszExpected) << c.pszName;
  }
}

TEST(SortListCtrlTest, OverlappingSelectionRangesGiveEachRowOnceAndDeleteExactlyThose) {
  TestApp();
  CSortListCtrl list;
  for (int i = 0; i < 3; ++i)
    list.InsertColumn(i, "col" + std::to_string(i), 40);
  for (const char* psz : {"r0", "r1", "r2", "r3", "r4", "r5", "r6", "r7"})
    list.InsertItem(list.GetItemCount(), psz);
  // Rows 2-4 as whole rows and rows 3-5 in one column only, as a drag and a
  // Ctrl-drag select them: each row once, and row 6 alone after them.
  QItemSelectionModel& sel = *list.selectionModel();
  const QAbstractItemModel& m = *list.model();
  sel.select(QItemSelection(m.index(2, 0), m.index(4, 2)), QItemSelectionModel::Select);
  sel.select(QItemSelection(m.index(3, 1), m.index(5, 1)), QItemSelectionModel::Select);
  list.SetItemSelected(6, true);
  EXPECT_EQ(list.GetSelectedItem(), 2);
  EXPECT_EQ(list.GetSelectedCount(), 5);
  EXPECT_EQ(list.GetSelectedItems(), (std::vector<int>{2, 3, 4, 5, 6}));

  list.DeleteItems(list.GetSelectedItems());
  EXPECT_EQ(Column(list), (std::vector<std::string>{"r0", "r1", "r7"}));
  EXPECT_EQ(list.GetSelectedCount(), 0);
}
