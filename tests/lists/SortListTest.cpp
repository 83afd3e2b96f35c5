// The sort of a message list by a column's key, in both directions, and the header's
// arrow and its settings helpers.

#include <QImage>
#include <QPainter>
#include <functional>
#include <cstdio>
#include <cstdlib>

#include "ListsTestSupport.h"
#include "lists/SortListCtrl.h"
#include "res/StringTable.h"

namespace {

// A message with one distinguishing field set from a text; the tag (m_strExtra)
// tells the messages apart when their keys are equal.
std::unique_ptr<CMessage> Make(const std::string& strTag) {
  auto p = std::make_unique<CMessage>();
  p->m_strExtra = strTag;
  return p;
}

std::vector<std::string> Tags(const CMessageArray& list) {
  std::vector<std::string> tags;
  for (const auto& p : list)
    tags.push_back(p->m_strExtra);
  return tags;
}

struct STextCase {
  const char* pszName;
  int32_t nKey;
  bool bAscending;
  // Each entry: the tag and the value of the key's field (for status and storage
  // the code as text).
  std::vector<std::pair<std::string, std::string>> input;
  std::vector<std::string> expected;  // tags in sorted order
};

void SetField(CMessage& m, int32_t nKey, const std::string& strValue) {
  switch (nKey) {
    case SORT_SENDER_NAME:
      m.m_strSenderName = strValue;
      break;
    case SORT_NUMBER:
      m.m_strNumber = strValue;
      break;
    case SORT_RECIPIENT_NAME:
      m.m_strName = strValue;
      break;
    case SORT_STATUS:
      m.m_nStatus = std::atoi(strValue.c_str());
      break;
    case SORT_STORAGE:
      m.m_nStorage = std::atoi(strValue.c_str());
      break;
    default:
      m.m_strSenderName = strValue;
      break;
  }
}

}  // namespace

TEST(SortMessagesByTextTest, OrdersByTheKeysWordsInBothDirections) {
  const std::vector<STextCase> cases = {
      // Byte order: upper case before lower case, an empty text first, a prefix first.
      {"names ascending",
       SORT_SENDER_NAME,
       true,
       {{"b", "bob"}, {"B", "Bob"}, {"e", ""}, {"z", "Zed"}, {"bo", "bo"}},
       {"e", "B", "z", "bo", "b"}},
      {"names descending",
       SORT_SENDER_NAME,
       false,
       {{"b", "bob"}, {"B", "Bob"}, {"e", ""}, {"z", "Zed"}, {"bo", "bo"}},
       {"b", "bo", "z", "B", "e"}},
      // Bytes above 0x7F sort after ASCII (unsigned comparison).
      {"numbers with non-ASCII",
       SORT_NUMBER,
       true,
       {{"u", "\xC3\xA9"}, {"p", "+4711"}, {"d", "0471"}},
       {"p", "d", "u"}},
      {"recipient names",
       SORT_RECIPIENT_NAME,
       true,
       {{"2", "Mia"}, {"1", "Al"}, {"3", "mia"}},
       {"1", "2", "3"}},
      // The status words, not the codes.
      {"status ascending",
       SORT_STATUS,
       true,
       {{"sent", "1"},
        {"unsent", "2"},
        {"stored", "3"},
        {"sc", "4"},
        {"pending", "5"},
        {"error", "6"},
        {"invalid", "9"}},
       {"sc", "error", "invalid", "pending", "sent", "stored", "unsent"}},
      {"status descending",
       SORT_STATUS,
       false,
       {{"sent", "1"}, {"unsent", "2"}, {"error", "6"}},
       {"unsent", "sent", "error"}},
      {"storage ascending",
       SORT_STORAGE,
       true,
       {{"unknown", "0"}, {"sim", "2"}, {"phone", "1"}},
       {"phone", "sim", "unknown"}},
      {"storage descending",
       SORT_STORAGE,
       false,
       {{"phone", "1"}, {"unknown", "7"}, {"sim", "2"}},
       {"unknown", "sim", "phone"}},
      // Equal keys in order are never exchanged.
      {"equal keys kept",
       SORT_SENDER_NAME,
       true,
       {{"a1", "Ann"}, {"a2", "Ann"}, {"a3", "Ann"}, {"b", "Bea"}},
       {"a1", "a2", "a3", "b"}},
      // A key no column has compares empty texts: nothing moves.
      {"unknown key", 7, true, {{"c", "Cy"}, {"a", "Al"}, {"b", "Bo"}}, {"c", "a", "b"}},
  };
  for (const STextCase& c : cases) {
    CMessageArray list;
    for (const auto& [strTag, strValue] : c.input) {
      list.push_back(Make(strTag));
      SetField(*list.back(), c.nKey, strValue);
    }
    EXPECT_TRUE(SortMessagesByText(&list, c.nKey, c.bAscending, 0, -1)) << c.pszName;
    EXPECT_EQ(Tags(list), c.expected) << c.pszName;
  }
}

TEST(SortMessagesByTextTest, ALongSortedListStaysAsItIsAndDescendingReversesTheRuns) {
  CMessageArray list;
  for (int i = 0; i < 200; ++i) {
    list.push_back(Make(std::to_string(i)));
    // Three-digit names so that byte order is number order; runs of equal names.
    char szName[8];
    std::snprintf(szName, sizeof szName, "%03d", i / 4);
    list.back()->m_strSenderName = szName;
  }
  std::vector<const CMessage*> before;
  for (const auto& p : list)
    before.push_back(p.get());
  EXPECT_TRUE(SortMessagesByText(&list, SORT_SENDER_NAME, true, 0, -1));
  for (size_t i = 0; i < list.size(); ++i)
    ASSERT_EQ(list[i].get(), before[i]) << i;

  // Descending reverses the runs; each run of equal names stays together.
  EXPECT_TRUE(SortMessagesByText(&list, SORT_SENDER_NAME, false, 0, -1));
  for (size_t i = 1; i < list.size(); ++i)
    ASSERT_GE(list[i - 1]->m_strSenderName, list[i]->m_strSenderName) << i;
  EXPECT_EQ(list.front()->m_strSenderName, "049");
  EXPECT_EQ(list.back()->m_strSenderName, "000");
}

TEST(SortMessagesByTextTest, RangesAndShortListsAreLeftAlone) {
  EXPECT_FALSE(SortMessagesByText(nullptr, SORT_NUMBER, true, 0, -1));
  EXPECT_FALSE(SortMessagesByDate(nullptr, true, 0, -1));

  CMessageArray list;
  EXPECT_FALSE(SortMessagesByText(&list, SORT_NUMBER, true, 0, -1));
  list.push_back(Make("only"));
  EXPECT_FALSE(SortMessagesByDate(&list, true, 0, -1));

  // Only the given range is sorted.
  list.clear();
  for (const char* psz : {"d", "c", "b", "a"}) {
    list.push_back(Make(psz));
    list.back()->m_strNumber = psz;
  }
  EXPECT_TRUE(SortMessagesByText(&list, SORT_NUMBER, true, 1, 2));
  EXPECT_EQ(Tags(list), (std::vector<std::string>{"d", "b", "c", "a"}));
  EXPECT_FALSE(SortMessagesByText(&list, SORT_NUMBER, true, 2, 2));
}

TEST(SortMessagesByDateTest, ComparesStoredValuesWhateverTheirStatus) {
  struct SDate {
    const char* pszTag;
    double dValue;
    CDateTime::DateTimeStatus status;
  };
  const std::vector<SDate> dates = {
      {"may", 45414.5, CDateTime::valid},  {"bad-early", 100.0, CDateTime::invalid},
      {"jan", 45300.25, CDateTime::valid}, {"null-late", 50000.0, CDateTime::null},
      {"apr", 45400.0, CDateTime::valid},
  };
  auto build = [&dates] {
    CMessageArray list;
    for (const SDate& d : dates) {
      list.push_back(Make(d.pszTag));
      list.back()->m_dtDateTime = CDateTime(d.dValue, d.status);
    }
    return list;
  };
  CMessageArray list = build();
  EXPECT_TRUE(SortMessagesByDate(&list, true, 0, -1));
  EXPECT_EQ(Tags(list), (std::vector<std::string>{"bad-early", "jan", "apr", "may", "null-late"}));
  list = build();
  EXPECT_TRUE(SortMessagesByDate(&list, false, 0, -1));
  EXPECT_EQ(Tags(list), (std::vector<std::string>{"null-late", "may", "apr", "jan", "bad-early"}));

  // The same value with another status counts as different, yet neither precedes
  // the other, so the sort may exchange them; the same value and status never moves.
  list.clear();
  for (const char* psz : {"x1", "x2", "x3"}) {
    list.push_back(Make(psz));
    list.back()->m_dtDateTime = CDateTime(45000.0, CDateTime::valid);
  }
  EXPECT_TRUE(SortMessagesByDate(&list, false, 0, -1));
  EXPECT_EQ(Tags(list), (std::vector<std::string>{"x1", "x2", "x3"}));
  list[0]->m_dtDateTime.SetStatus(CDateTime::invalid);
  EXPECT_TRUE(SortMessagesByDate(&list, true, 0, -1));
  EXPECT_EQ(Tags(list), (std::vector<std::string>{"x3", "x2", "x1"}));
}

TEST(SortHeaderCtrlTest, TheArrowPointsUpOrDownInTheSortedColumnOnly) {
  TestApp();
  CSortListCtrl list;
  list.InsertColumn(0, "From", 40);
  list.InsertColumn(1, "Date and Time", 120);
  list.resize(300, 120);
  list.show();
  CSortHeaderCtrl& header = *list.GetHeaderCtrl();
  EXPECT_EQ(header.m_nSortCol, -1);
  EXPECT_FALSE(header.IsOwnerDrawn(0));

  auto render = [&header] {
    QImage image(header.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    header.render(&image);
    return image;
  };
  // Pixels of the shadow strokes, which differ between up and down.
  const int u = 2 * QFontMetrics(header.font()).horizontalAdvance(QLatin1Char(' '));
  const int nRight = header.sectionViewportPosition(1) + header.sectionSize(1);
  const QRgb dark = header.palette().color(QPalette::Shadow).rgb();
  // Ascending: the shadow runs from (R.right - 5u/2 - 1, bottom - u - 1) up to
  // (R.right - 2u, u - 2); its first point lies on it.
  const QPoint upShadow(nRight - 5 * u / 2 - 1, header.height() - u - 1);
  // Descending: the shadow's second stroke runs along the top, y = u - 1.
  const QPoint downTop(nRight - 2 * u, u - 1);

  EXPECT_EQ(header.SetSortImage(1, true), -1);
  EXPECT_TRUE(header.IsOwnerDrawn(1));
  QImage up = render();
  EXPECT_EQ(up.pixel(upShadow), dark);
  EXPECT_NE(up.pixel(downTop), dark);

  EXPECT_EQ(header.SetSortImage(1, false), 1);
  QImage down = render();
  EXPECT_EQ(down.pixel(downTop), dark);
  EXPECT_NE(down.pixel(upShadow), dark);

  // Another column sorted: column 1 stays owner-drawn, now without arrow.
  EXPECT_EQ(header.SetSortImage(0, true), 1);
  EXPECT_TRUE(header.IsOwnerDrawn(1));
  QImage none = render();
  EXPECT_NE(none.pixel(upShadow), dark);
  EXPECT_NE(none.pixel(downTop), dark);
}

TEST(SortListCtrlTest, TheSelectionIsReadFromItsRangesAndTextRowsAreKeptInOrder) {
  TestApp();
  CSortListCtrl list;
  for (int i = 0; i < 3; ++i)
    list.InsertColumn(i, "col" + std::to_string(i), 40);
  // Rows without a bound array keep the texts they are given.
  for (const char* psz : {"r0", "r1", "r2", "r3", "r4", "r5", "r6", "r7"}) {
    const int n = list.InsertItem(list.GetItemCount(), psz);
    list.SetItemText(n, 2, std::string(psz) + "-2");
  }
  EXPECT_EQ(list.InsertItem(99, "end"), 8);  // past the end: appended
  EXPECT_EQ(list.GetItemText(3, 0), "r3");
  EXPECT_EQ(list.GetItemText(3, 1), "");
  EXPECT_EQ(list.GetItemText(3, 2), "r3-2");
  EXPECT_TRUE(list.DeleteItem(8));
  EXPECT_FALSE(list.DeleteItem(8));

  struct SCase {
    const char* pszName;
    std::function<void(QItemSelectionModel&, QAbstractItemModel&)> select;
    int nFirst;
    std::vector<int> rows;
  };
  const std::vector<SCase> cases = {
      {"none", [](QItemSelectionModel&, QAbstractItemModel&) {}, -1, {}},
      {"scattered whole rows",
       [&list](QItemSelectionModel&, QAbstractItemModel&) {
         for (int n : {6, 1, 4})
           list.SetItemSelected(n, true);
       },
       1,
       {1, 4, 6}},
      // Rows 2-4 as whole rows and rows 3-5 in one column only: each row once.
      {"overlapping ranges",
       [](QItemSelectionModel& sel, QAbstractItemModel& m) {
         sel.select(QItemSelection(m.index(2, 0), m.index(4, 2)), QItemSelectionModel::Select);
         sel.select(QItemSelection(m.index(3, 1), m.index(5, 1)), QItemSelectionModel::Select);
       },
       2,
       {2, 3, 4, 5}},
      {"deselected again",
       [&list](QItemSelectionModel&, QAbstractItemModel&) {
         for (int n : {0, 7, 3})
           list.SetItemSelected(n, true);
         list.SetItemSelected(0, false);
       },
       3,
       {3, 7}},
  };
  for (const SCase& c : cases) {
    list.clearSelection();
    c.select(*list.selectionModel(), *list.model());
    EXPECT_EQ(list.GetSelectedItem(), c.nFirst) << c.pszName;
    EXPECT_EQ(list.GetSelectedCount(), static_cast<int>(c.rows.size())) << c.pszName;
    EXPECT_EQ(list.GetSelectedItems(), c.rows) << c.pszName;
    for (int n = 0; n < list.GetItemCount(); ++n)
      EXPECT_EQ(list.IsItemSelected(n), std::find(c.rows.begin(), c.rows.end(), n) != c.rows.end())
          << c.pszName << " row " << n;
  }

  // Deleting selected rows in one go keeps the others' texts in order and leaves
  // nothing selected.
  list.DeleteItems(list.GetSelectedItems());
  std::vector<std::string> texts;
  for (int n = 0; n < list.GetItemCount(); ++n)
    texts.push_back(list.GetItemText(n, 0) + "/" + list.GetItemText(n, 2));
  EXPECT_EQ(texts,
            (std::vector<std::string>{"r0/r0-2", "r1/r1-2", "r2/r2-2", "r4/r4-2", "r5/r5-2", "r6/r6-2"}));
  EXPECT_EQ(list.GetSelectedCount(), 0);
}

TEST(SortListCtrlTest, BoundRowsShowTheArrayAndFollowItOnlyWhenRefilled) {
  TestApp();
  CSortListCtrl list;
  list.InsertColumn(0, "Number", 40);
  list.InsertColumn(1, "Name", 40);
  list.SetColumnCellText(0, [](const CMessage& m) -> std::string { return m.m_strNumber; });
  CMessageArray messages;
  for (const char* psz : {"+1", "+2", "+3"}) {
    messages.push_back(Make(psz));
    messages.back()->m_strNumber = psz;
  }
  list.BindMessages(&messages);
  EXPECT_EQ(list.GetItemCount(), 0);
  list.ResetItems(3);
  EXPECT_EQ(list.GetItemText(2, 0), "+3");
  EXPECT_EQ(list.GetItemText(2, 1), "");  // no cell text for the column
  list.SetItemText(2, 0, "ignored");      // the array is what rows show
  EXPECT_EQ(list.GetItemText(2, 0), "+3");

  // The array grows; the rows stay until the list is refilled.
  messages.push_back(Make("+4"));
  messages.back()->m_strNumber = "+4";
  EXPECT_EQ(list.GetItemCount(), 3);
  list.SetItemSelected(1, true);
  list.ResetItems(4);
  EXPECT_EQ(list.GetItemText(3, 0), "+4");
  EXPECT_EQ(list.GetSelectedCount(), 0);
  // A row past the array's end shows nothing rather than reading outside it.
  messages.pop_back();
  EXPECT_EQ(list.GetItemText(3, 0), "");
}
