// The Options page (dialog 132): the fourth page of the SMS window. It chooses how
// the phone is reached (COM port, baud rate, time-out), the defaults of outgoing
// messages (service centre, validity, storage place), whether deleting a message on
// the desktop also deletes it on the phone, and shows what the phone reports about
// itself. Most choices act at once on the window, the phone and the Compose page;
// the settings are written when the window is closed with Close, and also when the
// page is left after one of the choices that set m_bModified.
//
// The page owns the service-centre history ("SMSSCA.Dat"): loaded when the page is
// first built, saved (with its CSV copy when export is on) on Close and on Cancel.
//
// Events come only from the user: selections and checks set by the page itself
// raise no handler.
#pragma once

#include <string>
#include <vector>

#include "model/Lists.h"
#include "shell/SMSPage.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class CComposePage;

class COptionsPage : public CSMSPage {
  Q_OBJECT

 public:
  static constexpr unsigned int IDD = 132;

  // Control ids of the template.
  enum : int {
    IDC_VALIDITY = 1016,
    IDC_SERVICE_CENTER = 1020,
    IDC_BAUD_RATE = 1022,
    IDC_COM_PORT = 1026,
    IDC_REPLY_CHARGES = 1031,
    IDC_MOBILE_PHONE = 1037,
    IDC_SIM = 1038,
    IDC_TIME_OUT = 1052,
    IDC_MODEL = 1053,
    IDC_VERSION = 1054,
    IDC_MANUFACTURER = 1055,
    IDC_DELETE_FROM_PHONE = 1056,
    IDC_DELETE_ALL = 1058,
    IDC_REFRESH = 1067,
  };
  // Items of the lists that the settings fall back on: "57600", "10" seconds, "None".
  static constexpr int kDefaultBaudIndex = 7;
  static constexpr int kDefaultTimeOutIndex = 9;
  static constexpr int kHighestValidity = 8;
  // Texts of the settings are kept in buffers of this many bytes, terminator included.
  static constexpr size_t kMaxSettingText = 260;

  COptionsPage();
  ~COptionsPage() override;

  // ---- Page hooks -----------------------------------------------------------------
  bool OnInitDialog() override;
  bool OnSetActive() override;
  bool OnKillActive() override;
  void OnOK() override;
  void OnCancel() override;

  // ---- Handlers (also what the controls' user signals run) -----------------------
  void OnSelchangeServiceCenter();
  void OnKillfocusServiceCenter();
  void OnSelchangeComPort();
  void OnSelchangeBaudRate();
  void OnSelchangeTimeOut();
  void OnSelchangeValidity();
  void OnMobilePhone();
  void OnSim();
  void OnDeleteAll();
  void OnDeleteFromPhone();
  void OnRefreshPhoneOptions();
  // Posted to itself at the end of the start: asks for a COM port when none is set.
  int OnComPortReminder();

  // ---- The steps of the page ------------------------------------------------------
  bool ReadOptions();
  void SetDefaultOptions();
  bool WriteOptions();
  void FillComPortList();
  void SelectComPort();
  void UpdateStorageButtons();
  void ShowPhoneInfo();
  void ShowPhoneInfoUnavailable();
  void SelectServiceCenter();
  void ReconnectPhone();
  void LoadServiceCenters();
  void SaveServiceCenters();
  void WriteServiceCenterCsv();
  void FillServiceCenterList();
  // The baud rate the settings keep (9600 when none is stored).
  static int ReadStoredBaudRate();
  // After a cancelled window: a rate that the window (and the phone) took but the
  // settings do not keep is sent back to the stored one.
  void RestoreStoredBaudRate();

  // The port names of an available-port text: each name that a tab follows, with
  // the white space around it removed; text after the last tab is not a name.
  static std::vector<std::string> SplitPortList(const std::string& strPorts);
  // A port's index in the table "COM1" ... "COM35" (exact); 0 when it is not there.
  static int GetPortIndex(const std::string& strName);
  // The milliseconds of a time-out item: item i stands for i + 1 seconds.
  static int GetTimeOutMilliseconds(int nIndex) { return (nIndex + 1) * 1000; }

  // ---- Fields -------------------------------------------------------------------
  QPushButton* m_btnDeleteAll = nullptr;       // 1058
  std::string m_strServiceCenter;              // text of 1020
  int m_nBaudIndex = -1;                       // selected index of 1022
  std::string m_strComPort;                    // text of the selected item of 1026, "COM2"
  int m_bReplyCharges = 0;                     // check of the hidden 1031
  int m_nTimeOutIndex = -1;                    // selected index of 1052
  int m_bDeleteFromPhone = 0;                  // check of 1056: the window's flag
  bool m_bModified = false;                    // a choice to write when the page is left
  CComposePage* m_pCompose = nullptr;          // the Compose page (message options)
  int m_nValidity = 0;                         // selected index of 1016
  int m_nStorageButton = -1;                   // 1037, 1038 or -1
  QComboBox* m_pBaudRateList = nullptr;        // 1022
  QComboBox* m_pServiceCenterList = nullptr;   // 1020
  QComboBox* m_pComPortList = nullptr;         // 1026
  QComboBox* m_pValidityList = nullptr;        // 1016
  QComboBox* m_pTimeOutList = nullptr;         // 1052
  CAddressArray* m_pServiceCenters = nullptr;  // owned: only the numbers are used
  std::string m_strServiceCenterFile;          // "SMSSCA.Dat"
  std::string m_strLastServiceCenter;          // the remembered service centre

 protected:
  void CreateControls(const CDialogUnits& units) override;
  bool DoDataExchange(bool bSaveAndValidate) override;
  bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

 private:
  // Runs the phone-information query on a worker thread and waits for it.
  void QueryPhoneInformation();
  void AddServiceCenter(const std::string& strNumber);
  bool IsInServiceCenterHistory(const std::string& strNumber) const;
  // Checks or unchecks each storage button (both may be unchecked).
  void SetStorageChecks(bool bPhone, bool bSim);
  void SetStorageButtonOfCompose(int nId);

  QCheckBox* m_pReplyChargesBox = nullptr;     // 1031 (hidden)
  QCheckBox* m_pDeleteFromPhoneBox = nullptr;  // 1056
  QRadioButton* m_pMobilePhone = nullptr;      // 1037
  QRadioButton* m_pSim = nullptr;              // 1038
  QLabel* m_pModel = nullptr;                  // 1053
  QLabel* m_pVersion = nullptr;                // 1054
  QLabel* m_pManufacturer = nullptr;           // 1055
  QPushButton* m_pRefresh = nullptr;           // 1067
};
