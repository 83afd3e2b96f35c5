// The Outbox page (dialog 131): the third page of the SMS window, with the messages
// sent and stored. It shows the outgoing list that the Compose page owns (loaded from
// and saved to "SMSOut.Dat" by that page) and edits it in place, setting the Compose
// page's m_bOutboxChanged after every change. The user retrieves the phone's own sent
// and stored messages, reads them one at a time, sorts the list by any column,
// deletes messages (on the phone too when the option says so) and picks one to send
// again, which opens it on the Compose page.
//
// Row i of the list always shows element i of the outgoing list; whenever the order
// of the list changes the rows are rebuilt.
#pragma once

#include <cstdint>
#include <string>
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

class COutboxPage : public CSMSPage {
  Q_OBJECT

 public:
  static constexpr unsigned int IDD = 131;

  // Control ids of the template.
  enum : int {
    IDC_DELETE = 1009,
    IDC_LIST = 1018,
    IDC_RESEND_NOW = 1019,
    IDC_DETAIL = 1025,
    IDC_STATUS_LINE = 1039,
    IDC_RETRIEVE = 1057,
  };
  // The list's columns, in order.
  enum : int32_t { COL_TO, COL_NUMBER, COL_STATUS, COL_DATE_TIME, COL_STORAGE, NUM_COLUMNS };

  COutboxPage();
  ~COutboxPage() override;

  // ---- Page hooks (Cancel and leaving the page keep the base behaviour) ----------
  bool OnInitDialog() override;
  bool OnSetActive() override;
  void OnOK() override;

  // ---- Operations -----------------------------------------------------------------
  void InsertColumns();
  // Rebuilds the rows from the outgoing list; false, with the rows left as they are,
  // when the list is empty.
  bool FillList();
  void LoadListSettings();
  void SaveListSettings();
  void SetDefaultListSettings();
  // Marks the sorted column and sorts the outgoing list by it (the rows are not
  // rebuilt).
  void SortMessages();
  static int32_t ColumnToSortKey(int32_t nColumn);
  // The page's columns and settings key.
  static const SortListLayout& GetListLayout();
  // The texts of the list's cells for one message.
  static std::string GetDateCellText(const CMessage& message);
  static std::string GetStorageCellText(const CMessage& message);

  // ---- Handlers (also what the controls' signals run) ----------------------------
  void OnClickList();
  void OnColumnClickList(int nColumn);
  void OnDelete();
  void OnResendNow();
  void OnSetFocusList();
  void OnKillFocusList();
  void OnKeyDownList(int nVirtKey);
  void OnRightClickList() {}
  void OnRetrieve();

  // ---- The phone's part of Retrieve and Delete (no user interface) --------------
  // Off the user-interface thread with the progress dialog when it takes long:
  // fills fetched and returns 1, or returns the phone's status code (0: no phone);
  // *pbCancelled tells whether the user stopped it.
  int RetrieveFromPhone(CMessageArray& fetched, bool* pbCancelled);
  // What Retrieve does with the phone's messages: each new one appended unchanged,
  // the rows refilled, nothing left selected. Takes the messages out of fetched.
  CFetchMerge AddRetrieved(CMessageArray& fetched);

  // ---- Fields ---------------------------------------------------------------------
  // Controls bound by the data exchange.
  QPushButton* m_pRetrieve = nullptr;   // 1057
  QLabel* m_pStatusLine = nullptr;      // 1039
  QPlainTextEdit* m_pDetail = nullptr;  // 1025
  QPushButton* m_pDelete = nullptr;     // 1009
  QPushButton* m_pResendNow = nullptr;  // 1019
  CSortListCtrl* m_pList = nullptr;     // 1018
  bool m_bSortAscending = true;
  int32_t m_nSortColumn = 0;
  CComposePage* m_pCompose = nullptr;  // the Compose page (the outgoing list)
  bool m_bSortPending = false;         // built, not yet sorted and filled

 protected:
  void CreateControls(const CDialogUnits& units) override;
  bool DoDataExchange(bool bSaveAndValidate) override;

 private:
  // The Compose page's outgoing list (loaded from its file first if that page has
  // not done so yet); nullptr without a Compose page.
  CMessageArray* GetOutbox() const;
  void SetOutboxChanged();
  bool IsOutboxChanged() const;
  // Puts a message's text into the detail pane and its reply-charges line into the
  // status line.
  void ShowMessage(const CMessage& message);
  void ClearDetail();
  // Nothing selected: the detail pane and status line empty, Resend now and Delete
  // disabled.
  void ClearSelection();
  const CMessage* GetMessageAt(int nIndex) const;
};
