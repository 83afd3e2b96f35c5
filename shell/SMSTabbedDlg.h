// The SMS window: a property sheet with the Compose, Inbox, Outbox and Options pages,
// and the hub they share. It owns the one phone-access object and opens the COM port
// at start, keeps the connection settings, the data folder, the export and
// delete-from-phone flags and the last phone status code, and carries the recipient
// that the host handed over.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "compose/ComposePage.h"
#include "host/QVPlugin.h"
#include "lists/InboxPage.h"
#include "lists/OutboxPage.h"
#include "options/OptionsPage.h"
#include "shell/PropertySheet.h"

class CPhoneInterface;

class CSMSTabbedDlg : public CPropertySheet {
  Q_OBJECT

 public:
  // Makes the phone-access object; the default makes a CPhoneInterface.
  using PhoneFactory = std::function<std::unique_ptr<CPhoneInterface>()>;
  // Tells whether a COM port (by name, "COM3") can be opened exclusively right now;
  // the default asks the serial-line library.
  using PortProber = std::function<bool(const std::string&)>;

  // Process-wide replacements, for running without hardware; an empty value
  // restores the default. They take effect for windows built afterwards.
  static void SetPhoneFactory(PhoneFactory factory);
  static void SetPortProber(PortProber prober);
  // The host program's path used to derive the data folder; empty: this process's
  // executable.
  static void SetHostExecutablePath(const std::string& strPath);

  // Reads the settings, probes the ports, resolves the data folder and sets up the
  // phone. pRecipients may be null (nothing handed over); its texts must outlive the
  // window.
  explicit CSMSTabbedDlg(const RecipientInfo* pRecipients = nullptr, QWidget* pParent = nullptr);
  // Closes the phone, then writes the export flag back.
  ~CSMSTabbedDlg() override;

  CPhoneInterface* GetPhone() const { return m_pPhone.get(); }
  bool IsPhoneReady() const { return m_bPhoneReady; }
  // (Re)creates the phone object and sets up the port; chooses the Options page and
  // records -994 (no port available) or -989 (no port stored yet, but one is
  // available) when it cannot.
  void SetupPhone();
  // Deletes the phone object (which releases the port).
  void ClosePhone();

  // A phone operation of a page, as the user meets it: run off the user-interface
  // thread with the progress dialog when it takes long (CPhoneTask; nTextId says
  // what it does), and with the phone set up first when it is not ready (never set
  // up, or lost). When the line to a phone that worked goes away during the
  // operation (unplugged, powered off, the phone restarted), the phone is set up
  // again and the operation repeated once; if that set-up fails the result is
  // PHONE_WRITE_FAILED, whose text says the phone is not answering or unplugged.
  // Returns 1 or the status code (PHONE_CANCELLED when another operation runs or
  // the library stopped on Cancel); *pbCancelled tells whether the user pressed
  // Cancel. The error code of the window is not changed: the page reports.
  using PhoneOperation = std::function<int(CPhoneInterface&)>;
  int RunPhoneOperation(unsigned int nTextId, const PhoneOperation& operation, bool* pbCancelled = nullptr);

  // The phone's part of a page's Delete, when "Delete From Phone" is on and there is
  // a phone: one listing serves every deletion, then each message in the order
  // given, through RunPhoneOperation. What the phone answers is not examined (the
  // rows go whatever it says); false only when the user stopped it.
  bool DeleteOnPhone(const std::vector<const CMessage*>& messages);

  int GetErrorCode() const { return m_nErrorCode; }
  void SetErrorCode(int nCode) { m_nErrorCode = nCode; }
  // Shows the error dialog for the current error code.
  void ReportError();

  void SetComPort(int nComPort) { m_nComPort = nComPort; }
  void SetBaudRate(int nBaudRate) { m_nBaudRate = nBaudRate; }
  void SetTimeOut(int nTimeOut) { m_nTimeOut = nTimeOut; }
  bool IsComPortUnset() const { return m_bComPortUnset; }
  void SetComPortUnset(bool bUnset) { m_bComPortUnset = bUnset; }
  bool IsDeleteFromPhone() const { return m_bDeleteFromPhone; }
  void SetDeleteFromPhone(bool bDelete) { m_bDeleteFromPhone = bDelete; }
  bool IsExportToCsv() const { return m_bExportToCsv; }
  // The ports that could be opened, in table order, each followed by a tab.
  std::string GetAvailablePorts() const { return m_strAvailablePorts; }
  // The folder of the store files, ending in '/'.
  std::string GetDataFolder() const { return m_strDataFolder; }
  int GetComPort() const { return m_nComPort; }
  int GetBaudRate() const { return m_nBaudRate; }
  int GetTimeOut() const { return m_nTimeOut; }

  // The recipient handed over by the host (empty texts and 0 when none was).
  std::string GetHostName() const;
  std::string GetHostNumbers() const;
  int GetHostNumberCount() const;

  // Worker-thread routines: each takes the sheet and returns the thread's result.
  // They hold the process-wide phone lock around their phone calls and expect the
  // phone object to exist (callers check IsPhoneReady first).
  static int QueryPreferredStorage(CSMSTabbedDlg* pSheet);
  static int QueryPhoneInformation(CSMSTabbedDlg* pSheet);
  // What a page does with one of them: creates the phone lock, runs the routine on
  // its own thread, waits for it without a time limit, deletes the lock and returns
  // the routine's result.
  static int RunPhoneQuery(int (*pfnRoutine)(CSMSTabbedDlg*), CSMSTabbedDlg* pSheet);

  // Ends the wait cursor begun while the window was being built (once; later calls do
  // nothing). The Compose page calls it when it has finished its start; the window
  // ends it itself if that never happened.
  void EndStartWaitCursor();

  CComposePage& GetComposePage() { return m_composePage; }
  CInboxPage& GetInboxPage() { return m_inboxPage; }
  COutboxPage& GetOutboxPage() { return m_outboxPage; }
  COptionsPage& GetOptionsPage() { return m_optionsPage; }

 protected:
  bool OnInitDialog() override;
  void OnHelp() override;

 private:
  void AddPages();
  int ReadBaudRate();
  int ReadComPort();
  void FindAvailablePorts();
  void ReadComPortUnset();
  int ReadTimeOut();
  void ReadDeleteFromPhone();
  void ResolveDataFolder();
  void SaveDataFolder();
  void SaveExportFlag();
  void ArrangeButtons();
  bool ProbePort(const std::string& strName) const;

  RecipientInfo m_recipients;
  CComposePage m_composePage;
  CInboxPage m_inboxPage;
  COutboxPage m_outboxPage;
  COptionsPage m_optionsPage;
  bool m_bPhoneReady = false;
  bool m_bDeleteFromPhone = false;
  bool m_bExportToCsv = false;
  int32_t m_nComPort = 0;
  int32_t m_nBaudRate = 9600;
  int32_t m_nTimeOut = 10000;
  int32_t m_nErrorCode = 1;
  std::unique_ptr<CPhoneInterface> m_pPhone;
  std::string m_strAvailablePorts;
  std::string m_strDataFolder;
  bool m_bComPortUnset = true;

  // Implementation state: the start wait cursor is still to be ended.
  bool m_bStartWaitPending = false;
};
