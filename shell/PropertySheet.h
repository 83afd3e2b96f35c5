// A tabbed dialog of property pages with a row of buttons (OK, Cancel and, when asked
// for, Help; there is no Apply button). It keeps the framework's order of calls to
// its pages (see PropertyPage.h): pages are built lazily, switching asks the old page
// first, and closing calls only the pages whose window exists.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <vector>

class QHBoxLayout;
class QPushButton;
class QSpacerItem;
class QTabWidget;
class CPropertyPage;

class CPropertySheet : public QDialog {
  Q_OBJECT

 public:
  // Ids of the buttons, as the dialog manager numbers them.
  enum : int { ID_OK = 1, ID_CANCEL = 2, ID_HELP = 9 };

  explicit CPropertySheet(const QString& strCaption, QWidget* pParent = nullptr, int nSelectPage = 0);
  ~CPropertySheet() override;

  // Adds a page as the last tab. The page is not built until it is shown.
  void AddPage(CPropertyPage* pPage);
  int GetPageCount() const { return static_cast<int>(m_pages.size()); }
  CPropertyPage* GetPage(int nPage) const;
  int GetPageIndex(const CPropertyPage* pPage) const;

  int GetActiveIndex() const { return m_nActive; }
  CPropertyPage* GetActivePage() const { return GetPage(m_nActive); }
  // Before the window exists this chooses the start page. Afterwards it switches
  // pages as a tab click does (the active page may refuse); returns whether the page
  // is now the active one.
  bool SetActivePage(int nPage);
  bool SetActivePage(CPropertyPage* pPage);

  // Shows or hides the Help button (before the window is built).
  void SetHasHelp(bool bHasHelp);

  // Builds the window (the sheet's OnInitDialog, which builds the start page) without
  // showing it; called by DoModal and on the first show. Returns false when it was
  // built already.
  bool Create();
  // Builds the window and runs it modally; returns IDOK (1) or IDCANCEL (2).
  int DoModal();

  QPushButton* GetButton(int nId) const;
  QTabWidget* GetTabControl() const { return m_pTabs; }
  bool IsCreated() const { return m_bCreated; }

  // Close (OK) and Cancel, with the pages' say. They are also what the buttons, Esc
  // and the window's close box run.
  void accept() override;
  void reject() override;

 protected:
  // Builds the start page and activates it. Derived sheets call this first.
  virtual bool OnInitDialog();
  // The Help button and F1.
  virtual void OnHelp();

  // Moves the button row nPixels to the left, keeping the buttons' sizes: the space
  // right of the last button grows by that much.
  void MoveButtonsLeft(int nPixels);

  void showEvent(QShowEvent* pEvent) override;

 private:
  friend class CPropertyPage;
  void DetachPage(CPropertyPage* pPage);
  void OnTabChanged(int nIndex);
  void ActivatePage(int nIndex);
  // Close and Cancel alike: the active page is asked first (pfnMayEnd, false keeps the
  // window open), then pfnEnd runs on every page whose window exists, inside one
  // settings batch, and last endDialog ends the dialog.
  void EndWithPages(bool (CPropertyPage::*pfnMayEnd)(), void (CPropertyPage::*pfnEnd)(),
                    const std::function<void()>& endDialog);

  QTabWidget* m_pTabs = nullptr;
  QHBoxLayout* m_pButtonRow = nullptr;
  QSpacerItem* m_pTrailingSpace = nullptr;
  QPushButton* m_pOK = nullptr;
  QPushButton* m_pCancel = nullptr;
  QPushButton* m_pHelp = nullptr;
  std::vector<CPropertyPage*> m_pages;
  int m_nActive = 0;
  int m_nTrailingSpace = 0;
  bool m_bCreated = false;
  bool m_bSwitching = false;
  bool m_bClosing = false;
};
