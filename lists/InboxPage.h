// The Inbox page (dialog 130): the second page of the SMS window, with the messages
// received from the phone. The user fetches new messages (Get messages), reads them
// one at a time in the detail pane, sorts the list by any column and deletes
// messages, on the phone too when the option says so. Fetching deletes nothing on
// the phone: later fetches bring the same messages again, and their keys keep them
// out.
//
// The page owns the received list ("SMSIn.Dat"): it loads it when its window is
// first built and saves it (with its CSV copy when export is on) when the window
// closes and the list changed. Row i of the list always shows message i; after every
// reordering the rows are rebuilt. Senders are named from the Compose page's address
// book.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "lists/ListEdits.h"
#include "lists/ListSettings.h"
#include "lists/SortListCtrl.h"
#include "model/Lists.h"
#include "shell/SMSPage.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class CComposePage;

class CInboxPage : public CSMSPage {
  Q_OBJECT

 public:
  static constexpr unsigned int IDD = 130;

  // Control ids of the template.
  enum : int {
    IDC_LIST = 1007,
    IDC_GET_MESSAGES = 1008,
    IDC_DELETE = 1009,
    IDC_MESSAGE_TEXT = 1023,
    IDC_STATUS = 1039,
  };

  CInboxPage();
  ~CInboxPage() override;

  // ---- Page hooks -----------------------------------------------------------------
  bool OnInitDialog() override;
  bool OnSetActive() override;
  void OnOK() override;
  void OnCancel() override;

  // ---- Handlers (what the controls' signals run) ---------------------------------
  void OnClickList();
  void OnColumnClickList(int nColumn);
  void OnDelete();
  void OnGetMessages();
  void OnKillFocusList();
  void OnSetFocusList();
  void OnKeyDownList(int nVirtKey);
  // The page is asked to close: it saves its list, changed or not.
  void OnClose();

  // ---- The steps of the page ------------------------------------------------------
  void InsertColumns();
  // Rebuilds the rows from the list; false (rows untouched) when the list is empty.
  bool FillList();
  void LoadListSettings();
  void SaveListSettings();
  void SetDefaultListSettings();
  void SortMessages();
  static int32_t ColumnToSortKey(int32_t nColumn);
  // The address book's name for a sender number (CSenderNames: digits compared on
  // both sides, the last 9 when both have 9 or more); empty for none.
  std::string LookupName(const std::string& strNumber) const;
  // The phone's part of Get messages, off the user-interface thread with the
  // progress dialog when it takes long: fills received and returns 1, or returns the
  // phone's status code; *pbCancelled tells whether the user stopped it.
  int FetchFromPhone(CMessageArray& received, bool* pbCancelled);
  // What Get messages does with the phone's messages: each new one named, dated and
  // appended (a fuller copy of a stored incomplete long message takes its place),
  // the rows refilled, nothing left selected. Takes the messages out of received.
  CFetchMerge AddReceived(CMessageArray& received);
  void LoadInbox();
  void SaveInbox();
  void WriteInboxCsv();

  // ---- Fields, in the template's binding order ---------------------------------
  QLabel* m_pStatusLine = nullptr;        // 1039: "Will accept reply charges" or empty
  QPlainTextEdit* m_pDetail = nullptr;    // 1023: text of the selected message
  CSortListCtrl* m_pList = nullptr;       // 1007
  QPushButton* m_pDelete = nullptr;       // 1009
  QPushButton* m_pGetMessages = nullptr;  // 1008
  bool m_bSortAscending = true;
  bool m_bChanged = false;                        // reordered, grown or shrunk since it was loaded
  std::unordered_set<std::string> m_deletedKeys;  // keys of the messages deleted here
  int32_t m_nSortColumn = 0;
  bool m_bGetDisabled = false;
  std::string m_strFileName;             // "SMSIn.Dat"
  CMessageArray* m_pMessages = nullptr;  // owned: the received messages

  CComposePage* m_pCompose = nullptr;  // the Compose page (its address book)

  // The page's columns and settings key.
  static const SortListLayout& GetListLayout();

 protected:
  void CreateControls(const CDialogUnits& units) override;
  bool DoDataExchange(bool bSaveAndValidate) override;
  void closeEvent(QCloseEvent* pEvent) override;

 private:
  // Shows message i in the detail pane and its reply-charges line in the status line.
  void ShowMessage(int nItem);
  void ClearDetail();
  // Nothing selected: the detail pane and status line empty, Delete disabled.
  void ClearSelection();
  // The list and its CSV copy (when export is on) written when the list changed.
  void SaveChangedInbox();
  const CAddressArray* GetAddressBook() const;
};
