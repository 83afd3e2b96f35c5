// What the pages of the SMS window share in building and driving their controls: the
// string table's texts for the window, the settings key of a page, labels, lists,
// buttons and other controls of the templates, the combo box helpers, the pair of
// storage buttons, the trimming of texts the pages split, and the wait cursor for the
// length of an operation.
//
// Rules every helper keeps:
// - Nothing here raises a control's change signal: a selection or text set by a page
//   is never taken for the user's own (the pages react to the user's events only).
// - An index outside a list stands for "no item": selecting it selects none (and an
//   editable list's field is emptied, as choosing nothing does), reading it gives an
//   empty text.
// - Texts cross between the pages' std::string fields and Qt in the locale's 8-bit
//   character set, as everywhere in the window.
#pragma once

#include <QRect>
#include <QString>
#include <QWidget>
#include <string>

#include "shell/DialogTemplate.h"

class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;

// Height of a combo box's field, in dialog units.
inline constexpr int kComboHeight = 14;

// Text nId of the string table as the window shows it (see ToWindowText).
QString WindowText(unsigned int nId);

// The settings key of one part of the window, by the string id of its subkey:
// "SOFTWARE\Kelvane\Mireth\Options" for IDS_SUBKEY_OPTIONS.
std::string SettingsKeyPath(unsigned int nSubkeyId);
// The key of the connection and message options, read by the window and two pages.
std::string OptionsKeyPath();

// A label with text nTextId at rect; its mnemonic moves the focus to pBuddy when one
// is given.
QLabel* MakeLabel(QWidget* pParent, unsigned int nTextId, const QRect& rect, QWidget* pBuddy = nullptr);

// A drop-down list with template id nId at listRect, under (or beside) its label
// nLabelId at labelRect, whose mnemonic moves the focus to the list. The list comes
// first in the tab order.
QComboBox* MakeList(QWidget* pParent, int nId, unsigned int nLabelId, const QRect& labelRect,
                    const QRect& listRect);

// A control of class T that shows a text (a label, a check box, a radio button) with
// template id nId and text nTextId at rect.
template <class T>
T* MakeTextControl(QWidget* pParent, int nId, unsigned int nTextId, const QRect& rect) {
  auto* pControl = new T(WindowText(nTextId), pParent);
  SetControlId(pControl, nId);
  pControl->setGeometry(rect);
  return pControl;
}

// A push button with template id nId and text nTextId at rect. It never becomes the
// default button: Enter in a page's field does not press it.
QPushButton* MakeButton(QWidget* pParent, int nId, unsigned int nTextId, const QRect& rect);

// Makes pList a field that also offers its items: editable, and what is typed stays
// as typed (no completion, Enter never adds an item); the items keep their order.
void MakeEditableField(QComboBox* pList);

// Selects item nIndex; an index outside the list selects none and empties an editable
// list's field.
void SelectItem(QComboBox* pList, int nIndex);
// The first item that begins with strPrefix, letter case ignored; -1 for none or an
// empty prefix.
int FindItemPrefix(const QComboBox* pList, const std::string& strPrefix);
// The text of item nIndex; empty for an index outside the list.
std::string GetItemText(const QComboBox* pList, int nIndex);
// What the list's field shows (an editable list's typed text, or the selected item).
std::string GetFieldText(const QComboBox* pList);
// Puts strText into an editable list's field: the item of exactly that text is
// selected when there is one, else no item and the text stands in the field. A field
// that already shows the text is left alone.
void SetFieldText(QComboBox* pList, const std::string& strText);
// Selects the first item that begins with strText (as FindItemPrefix); with none, an
// editable list shows the text in its field (SetFieldText) and a fixed list keeps its
// selection.
void SelectText(QComboBox* pList, const std::string& strText);

// The white space of the texts the pages split: blank, tab, line feed, vertical tab,
// form feed, carriage return.
inline constexpr char kBlankChars[] = " \t\n\v\f\r";
// strText without the white space at either end: port names, host numbers.
std::string TrimBlanks(const std::string& strText);

// Checks or unchecks each of the two storage buttons on its own: both may be
// unchecked, which radio buttons of one parent would not allow by themselves.
void SetStorageChecks(QRadioButton* pPhone, bool bPhone, QRadioButton* pSim, bool bSim);

// The wait cursor for the length of a scope: begun by the constructor (unless told
// not to), ended by End or the destructor, whichever comes first, so that an operation
// that returns early or throws never leaves it on. End before a message box, so that
// the box is not shown under the wait cursor.
class CWaitCursor {
 public:
  explicit CWaitCursor(bool bOn = true);
  ~CWaitCursor() { End(); }
  CWaitCursor(const CWaitCursor&) = delete;
  CWaitCursor& operator=(const CWaitCursor&) = delete;

  void End();
  bool IsOn() const { return m_bOn; }

 private:
  bool m_bOn;
};
