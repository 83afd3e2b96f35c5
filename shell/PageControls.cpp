#include "shell/PageControls.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

#include "platform/PromptService.h"
#include "res/Resources.h"
#include "res/StringTable.h"

QString WindowText(unsigned int nId) { return ToWindowText(LoadString(nId)); }

std::string SettingsKeyPath(unsigned int nSubkeyId) {
  return LoadString(IDS_KEY_ROOT) + "\\" + LoadString(nSubkeyId);
}

std::string OptionsKeyPath() { return SettingsKeyPath(IDS_SUBKEY_OPTIONS); }

QLabel* MakeLabel(QWidget* pParent, unsigned int nTextId, const QRect& rect, QWidget* pBuddy) {
  auto* pLabel = new QLabel(WindowText(nTextId), pParent);
  pLabel->setGeometry(rect);
  if (pBuddy != nullptr)
    pLabel->setBuddy(pBuddy);
  return pLabel;
}

QComboBox* MakeList(QWidget* pParent, int nId, unsigned int nLabelId, const QRect& labelRect,
                    const QRect& listRect) {
  auto* pList = new QComboBox(pParent);
  SetControlId(pList, nId);
  MakeLabel(pParent, nLabelId, labelRect, pList);
  pList->setGeometry(listRect);
  return pList;
}

QPushButton* MakeButton(QWidget* pParent, int nId, unsigned int nTextId, const QRect& rect) {
  auto* pButton = MakeTextControl<QPushButton>(pParent, nId, nTextId, rect);
  pButton->setAutoDefault(false);
  return pButton;
}

void MakeEditableField(QComboBox* pList) {
  pList->setEditable(true);
  pList->setInsertPolicy(QComboBox::NoInsert);
  pList->setCompleter(nullptr);
  pList->setMaxVisibleItems(12);
}

void SelectItem(QComboBox* pList, int nIndex) {
  const QSignalBlocker blocker(pList);
  if (nIndex < 0 || nIndex >= pList->count())
    nIndex = -1;
  pList->setCurrentIndex(nIndex);
  if (nIndex < 0 && pList->isEditable())
    pList->clearEditText();
}

int FindItemPrefix(const QComboBox* pList, const std::string& strPrefix) {
  if (strPrefix.empty())
    return -1;
  const QString strWanted = QString::fromLocal8Bit(strPrefix);
  for (int i = 0; i < pList->count(); ++i) {
    if (pList->itemText(i).startsWith(strWanted, Qt::CaseInsensitive))
      return i;
  }
  return -1;
}

std::string GetItemText(const QComboBox* pList, int nIndex) {
  if (nIndex < 0 || nIndex >= pList->count())
    return std::string();
  return pList->itemText(nIndex).toLocal8Bit().toStdString();
}

std::string GetFieldText(const QComboBox* pList) { return pList->currentText().toLocal8Bit().toStdString(); }

void SetFieldText(QComboBox* pList, const std::string& strText) {
  if (GetFieldText(pList) == strText)
    return;
  const QSignalBlocker blocker(pList);
  const int nIndex = strText.empty() ? -1
                                     : pList->findText(QString::fromLocal8Bit(strText),
                                                       Qt::MatchExactly | Qt::MatchCaseSensitive);
  pList->setCurrentIndex(nIndex);
  if (nIndex < 0)
    pList->setEditText(QString::fromLocal8Bit(strText));
}

void SelectText(QComboBox* pList, const std::string& strText) {
  const int nIndex = FindItemPrefix(pList, strText);
  if (nIndex >= 0)
    SelectItem(pList, nIndex);
  else if (pList->isEditable())
    SetFieldText(pList, strText);
}

std::string TrimBlanks(const std::string& strText) {
  const size_t nFirst = strText.find_first_not_of(kBlankChars);
  if (nFirst == std::string::npos)
    return std::string();
  const size_t nLast = strText.find_last_not_of(kBlankChars);
  return strText.substr(nFirst, nLast - nFirst + 1);
}

void SetStorageChecks(QRadioButton* pPhone, bool bPhone, QRadioButton* pSim, bool bSim) {
  // Radio buttons of one parent uncheck each other; both unchecked needs them set
  // apart for the moment.
  for (QRadioButton* pButton : {pPhone, pSim})
    pButton->setAutoExclusive(false);
  pPhone->setChecked(bPhone);
  pSim->setChecked(bSim);
  for (QRadioButton* pButton : {pPhone, pSim})
    pButton->setAutoExclusive(true);
}

CWaitCursor::CWaitCursor(bool bOn) : m_bOn(bOn) {
  if (m_bOn)
    GetPromptService().BeginWaitCursor();
}

void CWaitCursor::End() {
  if (!m_bOn)
    return;
  m_bOn = false;
  GetPromptService().EndWaitCursor();
}
