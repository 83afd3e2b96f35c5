// The helpers every page drives its controls with: which item a list ends on, what its
// field shows, that the page's own changes raise no change signal, the pair of storage
// buttons, and the wait cursor's balance.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QWidget>
#include <string>

#include "ScriptedPromptService.h"
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
    {"-1 empties an editable field's typed text", true, 0, "Zed", Step::selectItem, -1, "", -1, ""},
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

TEST(PageControlsTest, ItemTextsAndPrefixSearch) {
  TestApp();
  QWidget parent;
  auto* pList = new QComboBox(&parent);
  Fill(*pList, true);
  pList->setCurrentIndex(1);  // an index outside the list must not read the selected item
  const struct {
    const char* pszReason;
    int nIndex;
    const char* pszWant;
  } kItems[] = {{"first item", 0, "Alice"},
                {"last item", 2, "Bob"},
                {"past the end", 3, ""},
                {"before the start", -1, ""}};
  for (const auto& item : kItems)
    EXPECT_EQ(GetItemText(pList, item.nIndex), item.pszWant) << item.pszReason;

  const struct {
    const char* pszPrefix;
    int nWant;
  } kPrefixes[] = {{"alice", 0}, {"alice2", 1}, {"B", 2}, {"", -1}, {"Carol", -1}, {"Alice2x", -1}};
  for (const auto& prefix : kPrefixes)
    EXPECT_EQ(FindItemPrefix(pList, prefix.pszPrefix), prefix.nWant) << '"' << prefix.pszPrefix << '"';
}

TEST(PageControlsTest, StorageButtonsTakeEachCheckOnItsOwn) {
  TestApp();
  QWidget parent;
  auto* pPhone = new QRadioButton(&parent);
  auto* pSim = new QRadioButton(&parent);
  const struct {
    bool bPhone, bSim;
  } kSteps[] = {{false, true}, {true, false}, {false, false}, {false, true}, {false, false}};
  for (const auto& step : kSteps) {
    SetStorageChecks(pPhone, step.bPhone, pSim, step.bSim);
    EXPECT_EQ(pPhone->isChecked(), step.bPhone) << step.bPhone << step.bSim;
    EXPECT_EQ(pSim->isChecked(), step.bSim) << step.bPhone << step.bSim;
  }
  // Still one group for the user: a click on the other button unchecks this one.
  pSim->click();
  pPhone->click();
  EXPECT_TRUE(pPhone->isChecked());
  EXPECT_FALSE(pSim->isChecked());
}

TEST(PageControlsTest, WaitCursorEndsOnceWhicheverWayTheScopeIsLeft) {
  const struct {
    const char* pszReason;
    bool bOn;
    bool bEndEarly;
    int nWantBegun;
  } kRows[] = {{"ended by the scope", true, false, 1},
               {"ended early, before a message box", true, true, 1},
               {"not wanted at all", false, false, 0},
               {"not wanted, End is harmless", false, true, 0}};
  for (const auto& row : kRows) {
    CScriptedPromptService prompt;
    {
      CWaitCursor wait(row.bOn);
      EXPECT_EQ(prompt.m_nWaitDepth, row.nWantBegun) << row.pszReason;
      if (row.bEndEarly) {
        wait.End();
        EXPECT_EQ(prompt.m_nWaitDepth, 0) << row.pszReason;
        EXPECT_FALSE(wait.IsOn()) << row.pszReason;
      }
    }
    EXPECT_EQ(prompt.m_nWaitBegun, row.nWantBegun) << row.pszReason;
    EXPECT_EQ(prompt.m_nWaitEnded, row.nWantBegun) << row.pszReason;
  }
}
