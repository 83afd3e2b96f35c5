// The Compose page (dialog 129): the first page of the SMS window, where a message is
// written and sent. The user picks or types a recipient name and number, types a text
// of at most 160 characters or takes a preset, chooses a lifetime and a storage place
// and presses Send: the page builds a CMessage, appends it to the outgoing list and
// hands it to the phone, which sends it (a number given) or stores it (no number).
//
// The page owns three lists for the life of the window: the outgoing messages
// ("SMSOut.Dat", shown and edited in place by the Outbox page), the address book
// ("SMSAdd.Dat", read by the Inbox page to name senders) and the preset texts
// ("SMSList.Dat"). It loads them when its window is first built and saves those that
// changed when the window closes, on Close and on Cancel alike.
//
// Events come only from the user: text or selections set by the page itself raise no
// change handler; the steps that need the counter updated call it themselves.
#pragma once

#include <string>

#include "model/Lists.h"
#include "shell/SMSPage.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class CMessageEdit;

class CComposePage : public CSMSPage {
  Q_OBJECT

 public:
  static constexpr unsigned int IDD = 129;

  // Control ids of the template.
  enum : int {
    IDC_MESSAGE = 1003,
    IDC_SEND = 1004,
    IDC_CHARACTER_COUNT = 1021,
    IDC_PRESET = 1030,
    IDC_REPLY_CHARGES = 1031,
    IDC_LIFETIME = 1036,
    IDC_MOBILE_PHONE = 1037,
    IDC_SIM_CARD = 1038,
    IDC_NUMBER = 1044,
    IDC_CLEAR = 1045,
    IDC_NAME = 1051,
    // Of our own: how the text goes out (several messages, UCS2).
    IDC_MESSAGE_SIZE = 1090,
  };
  // The most characters a message may have (a line break counts two).
  static constexpr int kMaxMessageChars = 160;
  // The most characters of the number field.
  static constexpr int kMaxNumberChars = 20;
  // The lifetime ("1 Hour") selected when the settings store none; the Options page
  // shows the same one then.
  static constexpr int kDefaultLifetime = 1;

  CComposePage();
  ~CComposePage() override;

  // ---- Operations the other pages use -------------------------------------------
  // Writes the lists that changed since the last save (with their CSV copies when
  // export is on). The Outbox page calls it on its own Close.
  void SaveChangedLists();
  // The outgoing record to load into the form at the next activation (-1: none).
  void SetResendIndex(int nIndex) { m_nResendIndex = nIndex; }
  // The remembered storage button (1037, 1038 or -1); the controls follow at the
  // next activation.
  void SetStorageButton(int nId) { m_nStorageButton = nId; }
  void SetDefaultLifetime(int nIndex) { m_nDefaultLifetime = nIndex; }
  void SetServiceCenter(const std::string& strAddress) { m_strServiceCenter = strAddress; }
  // Reads the message validity and the storage from the settings again and selects
  // the default lifetime.
  void ReloadMessageOptions();
  // The address book, loaded from its file if the page has not done so yet.
  CAddressArray* GetAddressBook();
  // Loads the three lists from their files unless that was done: the page does it
  // when its window is first built, and a page that needs the lists before (the
  // window may open on another page) calls it first. Records put into a list before
  // it was loaded follow the loaded ones. SaveChangedLists loads them too, so that a
  // file is never replaced by only what this window added.
  void EnsureListsLoaded();
  bool AreListsLoaded() const { return m_bListsLoaded; }

  // ---- Page hooks -----------------------------------------------------------------
  bool OnInitDialog() override;
  bool OnSetActive() override;
  bool OnQueryCancel() override;
  void OnOK() override;
  void OnCancel() override;

  // ---- Handlers (also what the controls' user signals run) -----------------------
  void OnSend();
  void OnUpdateMessage() { UpdateCharacterCount(); }
  void OnSelchangePreset();
  void OnEditupdateNumber();
  void OnClear();
  void OnSelchangeName();

  // ---- The steps of the page ------------------------------------------------------
  void UpdateCharacterCount();
  // The line below the count: empty, or how many messages and which alphabet.
  void UpdateMessageSize();
  void UpdateStorageButtons();
  // Hands a record to the phone: "AT+CMGS=" with a number, "AT+CMGW=" without.
  // False, with the error code set in the window, when it failed.
  bool SendToPhone(CMessage* pMessage);
  // The validity value for the lifetime m_nLifetime.
  int GetValidityPeriod() const;
  void SelectDefaultLifetime();
  void ReadServiceCenter();
  void ReadMessageValidity();
  void ReadStorage();
  void ReadReplyCharges();
  void FillNameAndNumberLists();
  void FillPresetList();
  void ApplyHostRecipients();
  void AddToAddressBook();
  void AddPreset(const std::string& strText);
  void AddDefaultPresets();

  // ---- Fields -------------------------------------------------------------------
  // Controls bound by the data exchange.
  QPushButton* m_pClear = nullptr;         // 1045 (hidden)
  QLabel* m_pCharacterCount = nullptr;     // 1021
  QLabel* m_pMessageSize = nullptr;        // 1090
  QPushButton* m_pSend = nullptr;          // 1004
  std::string m_strPreset;                 // text of 1030
  int m_bReplyCharges = 0;                 // 1031
  std::string m_strMessage;                // text of 1003, line breaks as "\r\n"
  std::string m_strNumber;                 // text of 1044
  std::string m_strName;                   // text of 1051
  int m_nLifetime = -1;                    // selected index of 1036, -1 for none
  QComboBox* m_pPresetList = nullptr;      // 1030
  QComboBox* m_pLifetimeList = nullptr;    // 1036
  QComboBox* m_pNumberList = nullptr;      // 1044
  QComboBox* m_pNameList = nullptr;        // 1051
  CMessageEdit* m_pMessageEdit = nullptr;  // 1003
  bool m_bOutboxChanged = false;           // the outgoing list (and so the presets) changed
  bool m_bAddressesChanged = false;        // the address book changed
  bool m_bCanSend = false;                 // phone ready and a storage place known
  int m_nStorageButton = -1;               // 1037, 1038 or -1
  std::string m_strServiceCenter;
  std::string m_strOutFile;            // "SMSOut.Dat"
  std::string m_strAddressFile;        // "SMSAdd.Dat"
  std::string m_strListFile;           // "SMSList.Dat"
  CMessageArray* m_pOutbox = nullptr;  // owned: the outgoing messages, oldest first
  int m_nResendIndex = -1;
  int m_nDefaultLifetime = kDefaultLifetime;
  CAddressArray* m_pAddressBook = nullptr;  // owned
  CMessageArray* m_pPresets = nullptr;      // owned: only the texts are used

  // The reply-charges value read from the settings (a nonzero value starts the
  // hidden box checked).
  int m_nReplyChargesSetting = 0;

 protected:
  void CreateControls(const CDialogUnits& units) override;
  bool DoDataExchange(bool bSaveAndValidate) override;

 private:
  // The store files and their CSV copies, in the data folder of the window.
  void LoadAddressBook();
  void LoadOutbox();
  void LoadPresets();
  void SaveOutbox();
  void SavePresets();
  void SaveAddressBook();
  void WriteOutboxCsv();
  void WritePresetCsv();
  void WriteAddressCsv();

  // Checks or unchecks each storage button (both may be unchecked).
  void SetStorageChecks(bool bPhone, bool bSim);
  bool HasMessageText() const;
  // The context menu of the name and number fields, with "Clear" at its end.
  void ShowRecipientMenu(QComboBox* pList, const QPoint& pos);

  bool m_bListsLoaded = false;
  bool m_bSendCancelled = false;            // the last SendToPhone was stopped by the user
  QCheckBox* m_pReplyChargesBox = nullptr;  // 1031 (hidden)
  QRadioButton* m_pMobilePhone = nullptr;   // 1037
  QRadioButton* m_pSimCard = nullptr;       // 1038
};
