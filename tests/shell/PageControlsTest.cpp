// The helpers every page drives its controls with: which item a list ends on, what its
// field shows, and that the page's own changes raise no change signal.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QWidget>
#include <string>

#include "WindowTestSupport.h"
#include "shell/PageControls.h"

namespace {

enum class Step { selectItem, selectText, setFieldText };

struct ComboRow {
  const char* pszReason;
  bool bEditable;
  int nStartIndex;            // selected before the step (-1: none)
  const char* pszStartTyped;  // typed into an editable field before the step (nullptr: nothing)
  Step step;
  int nIndex;           // for selectItem
  const char* pszText;  // for selectText and setFieldText
  int nWantIndex;
  const char* pszWantField;
};

// A fixed list like the baud rates, an editable one like the names.
const char* const kFixedItems[] = {"300", "1200", "115200"};
const char* const kEditableItems[] = {"Alice", "alice2", "Bob"};

const ComboRow kComboRows[] = {
    {"an index past the end selects none", false, 1, nullptr, Step::selectItem, 3, "", -1, ""},
    {"an index past the end empties an editable field", true, -1, "Zed", Step::selectItem, 3, "", -1, ""},
    {"an index inside the list is selected", false, -1, nullptr, Step::selectItem, 2, "", 2, "115200"},
    {"a stored 1 selects 1200, the first item that begins with it", false, -1, nullptr, Step::selectText, 0,
     "1", 1, "1200"},
    {"a prefix matches whatever its letter case", true, -1, nullptr, Step::selectText, 0, "ALI", 0, "Alice"},
    {"no match: the editable field shows the text", true, 0, nullptr, Step::selectText, 0, "Carol", -1,
     "Carol"},
    {"no match: a fixed list keeps its selection", false, 1, nullptr, Step::selectText, 0, "9600", 1, "1200"},
    {"an empty text matches nothing and empties the field", true, -1, "Zed", Step::selectText, 0, "", -1, ""},
    {"the item of exactly the text is selected", true, -1, "Zed", Step::setFieldText, 0, "Bob", 2, "Bob"},
    {"an item differing in letter case is not the text", true, -1, nullptr, Step::setFieldText, 0, "bob", -1,
     "bob"},
    {"a field already showing the text keeps its item", true, 1, nullptr, Step::setFieldText, 0, "alice2", 1,
     "alice2"},
};

void Fill(QComboBox& list, bool bEditable) {
  list.setEditable(bEditable);
  for (const char* pszItem : bEditable ? kEditableItems : kFixedItems)
    list.addItem(QString::fromLatin1(pszItem));
}

}  // namespace

TEST(PageControlsTest, ComboHelpersSelectAndShowWithoutRaisingSignals) {
  TestApp();
  for (const ComboRow& row : kComboRows) {
    SCOPED_TRACE(row.pszReason);
    QWidget parent;
    auto* pList = new QComboBox(&parent);
    Fill(*pList, row.bEditable);
    pList->setCurrentIndex(row.nStartIndex);
    if (row.pszStartTyped != nullptr)
      pList->setEditText(QString::fromLatin1(row.pszStartTyped));

    QSignalSpy indexSpy(pList, &QComboBox::currentIndexChanged);
    QSignalSpy textSpy(pList, &QComboBox::currentTextChanged);
    switch (row.step) {
      case Step::selectItem:
        SelectItem(pList, row.nIndex);
        break;
      case Step::selectText:
        SelectText(pList, row.pszText);
        break;
      case Step::setFieldText:
        SetFieldText(pList, row.pszText);
        break;
    }
    EXPECT_EQ(pList->currentIndex(), row.nWantIndex);
    EXPECT_EQ(GetFieldText(pList), row.pszWantField);
    EXPECT_EQ(indexSpy.count(), 0) << "a page's own selection raised a change signal";
    EXPECT_EQ(textSpy.count(), 0) << "a page's own text raised a change signal";
  }
}
