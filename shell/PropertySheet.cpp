#include "shell/PropertySheet.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QIcon>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSpacerItem>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "shell/DialogTemplate.h"
#include "shell/PropertyPage.h"
#include "platform/Registry.h"
#include "res/Resources.h"

CPropertySheet::CPropertySheet(const QString& strCaption, QWidget* pParent, int nSelectPage)
    : QDialog(pParent), m_nActive(nSelectPage < 0 ? 0 : nSelectPage) {
  setWindowTitle(strCaption);

  auto* pLayout = new QVBoxLayout(this);
  m_pTabs = new QTabWidget(this);
  pLayout->addWidget(m_pTabs);

  // The buttons take the platform's own texts: make them with a button box, then
  // lay them out in the sheet's order (OK, Cancel, Help, right-aligned).
  QDialogButtonBox box;
  m_pOK = box.addButton(QDialogButtonBox::Ok);
  m_pCancel = box.addButton(QDialogButtonBox::Cancel);
  m_pHelp = box.addButton(QDialogButtonBox::Help);
  // Plain text buttons, as a property sheet has: the style's stock icons (a red
  // cross on Cancel, a life-buoy on Help) would say more than the buttons do.
  for (QPushButton* pButton : {m_pOK, m_pCancel, m_pHelp}) {
    box.removeButton(pButton);
    pButton->setIcon(QIcon());
  }

  m_pButtonRow = new QHBoxLayout;
  m_pButtonRow->addStretch(1);
  m_pButtonRow->addWidget(m_pOK);
  m_pButtonRow->addWidget(m_pCancel);
  m_pButtonRow->addWidget(m_pHelp);
  m_pTrailingSpace = new QSpacerItem(0, 0, QSizePolicy::Fixed, QSizePolicy::Minimum);
  m_pButtonRow->addSpacerItem(m_pTrailingSpace);
  pLayout->addLayout(m_pButtonRow);

  SetControlId(m_pOK, ID_OK);
  SetControlId(m_pCancel, ID_CANCEL);
  SetControlId(m_pHelp, ID_HELP);
  m_pOK->setAutoDefault(false);
  m_pOK->setDefault(true);
  m_pCancel->setAutoDefault(false);
  m_pHelp->setAutoDefault(false);
  m_pHelp->setVisible(false);

  connect(m_pOK, &QPushButton::clicked, this, &CPropertySheet::accept);
  connect(m_pCancel, &QPushButton::clicked, this, &CPropertySheet::reject);
  connect(m_pHelp, &QPushButton::clicked, this, [this] { OnHelp(); });
  auto* pF1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(pF1, &QShortcut::activated, this, [this] { OnHelp(); });
  connect(m_pTabs, &QTabWidget::currentChanged, this, &CPropertySheet::OnTabChanged);
}

CPropertySheet::~CPropertySheet() {
  // The tab control goes with the dialog; none of its signals may reach the pages now.
  m_pTabs->blockSignals(true);
  for (CPropertyPage* pPage : m_pages)
    pPage->m_pSheetBase = nullptr;
  m_pages.clear();
}

void CPropertySheet::AddPage(CPropertyPage* pPage) {
  if (pPage == nullptr || GetPageIndex(pPage) >= 0)
    return;
  pPage->m_pSheetBase = this;
  m_pages.push_back(pPage);
  const QSignalBlocker blocker(m_pTabs);
  m_pTabs->addTab(pPage, LoadIconResource(pPage->GetIconId()), pPage->GetTabText());
}

CPropertyPage* CPropertySheet::GetPage(int nPage) const {
  if (nPage < 0 || nPage >= GetPageCount())
    return nullptr;
  return m_pages[static_cast<size_t>(nPage)];
}

int CPropertySheet::GetPageIndex(const CPropertyPage* pPage) const {
  auto it = std::find(m_pages.begin(), m_pages.end(), pPage);
  return it == m_pages.end() ? -1 : static_cast<int>(it - m_pages.begin());
}

bool CPropertySheet::SetActivePage(int nPage) {
  if (nPage < 0 || nPage >= GetPageCount())
    return false;
  if (!m_bCreated) {
    m_nActive = nPage;
    return true;
  }
  if (m_bSwitching || m_bClosing)
    return false;
  m_pTabs->setCurrentIndex(nPage);  // OnTabChanged asks the pages
  return m_nActive == nPage;
}

bool CPropertySheet::SetActivePage(CPropertyPage* pPage) { return SetActivePage(GetPageIndex(pPage)); }

void CPropertySheet::SetHasHelp(bool bHasHelp) { m_pHelp->setVisible(bHasHelp); }

bool CPropertySheet::Create() {
  if (m_bCreated)
    return false;
  m_bCreated = true;
  OnInitDialog();
  return true;
}

int CPropertySheet::DoModal() {
  Create();
  return exec() == QDialog::Accepted ? ID_OK : ID_CANCEL;
}

QPushButton* CPropertySheet::GetButton(int nId) const {
  switch (nId) {
    case ID_OK:
      return m_pOK;
    case ID_CANCEL:
      return m_pCancel;
    case ID_HELP:
      return m_pHelp;
    default:
      return nullptr;
  }
}

bool CPropertySheet::OnInitDialog() {
  if (m_pages.empty())
    return true;
  if (m_nActive >= GetPageCount())
    m_nActive = 0;
  {
    const QSignalBlocker blocker(m_pTabs);
    m_pTabs->setCurrentIndex(m_nActive);
  }
  ActivatePage(m_nActive);
  return true;
}

void CPropertySheet::OnHelp() {}

void CPropertySheet::MoveButtonsLeft(int nPixels) {
  m_nTrailingSpace += nPixels;
  if (m_nTrailingSpace < 0)
    m_nTrailingSpace = 0;
  m_pTrailingSpace->changeSize(m_nTrailingSpace, 0, QSizePolicy::Fixed, QSizePolicy::Minimum);
  m_pButtonRow->invalidate();
  if (layout() != nullptr)
    layout()->activate();
}

void CPropertySheet::showEvent(QShowEvent* pEvent) {
  if (!m_bCreated)
    Create();
  QDialog::showEvent(pEvent);
}

void CPropertySheet::accept() {
  EndWithPages(&CPropertyPage::OnKillActive, &CPropertyPage::OnOK, [this] { QDialog::accept(); });
}

void CPropertySheet::reject() {
  EndWithPages(&CPropertyPage::OnQueryCancel, &CPropertyPage::OnCancel, [this] { QDialog::reject(); });
}

void CPropertySheet::EndWithPages(bool (CPropertyPage::*pfnMayEnd)(), void (CPropertyPage::*pfnEnd)(),
                                  const std::function<void()>& endDialog) {
  if (m_bClosing || m_bSwitching)
    return;
  CPropertyPage* pActive = GetActivePage();
  if (pActive != nullptr && pActive->IsWindowCreated()) {
    m_bSwitching = true;
    const bool bEnd = (pActive->*pfnMayEnd)();
    m_bSwitching = false;
    if (!bEnd)
      return;
  }
  m_bClosing = true;
  CRegistryBatch batch;  // every page's settings in one write of the file
  const std::vector<CPropertyPage*> pages = m_pages;
  for (CPropertyPage* pPage : pages)
    if (pPage->IsWindowCreated())
      (pPage->*pfnEnd)();
  endDialog();
  m_bClosing = false;
}

void CPropertySheet::DetachPage(CPropertyPage* pPage) {
  const int nIndex = GetPageIndex(pPage);
  if (nIndex < 0)
    return;
  m_pages.erase(m_pages.begin() + nIndex);
  {
    const QSignalBlocker blocker(m_pTabs);
    m_pTabs->removeTab(nIndex);
  }
  pPage->setParent(nullptr);
  pPage->m_pSheetBase = nullptr;
  if (nIndex < m_nActive || m_nActive >= GetPageCount())
    m_nActive = m_nActive > 0 ? m_nActive - 1 : 0;
}

void CPropertySheet::OnTabChanged(int nIndex) {
  if (!m_bCreated || nIndex < 0 || nIndex >= GetPageCount())
    return;
  if (m_bSwitching || m_bClosing || nIndex == m_nActive) {
    // A change while a page is being asked (a message box is up) or closed: keep
    // the tab that the sheet considers active.
    const QSignalBlocker blocker(m_pTabs);
    m_pTabs->setCurrentIndex(m_nActive);
    return;
  }
  CPropertyPage* pOld = GetActivePage();
  if (pOld != nullptr && pOld->IsWindowCreated()) {
    m_bSwitching = true;
    const bool bLeave = pOld->OnKillActive();
    m_bSwitching = false;
    if (!bLeave) {
      const QSignalBlocker blocker(m_pTabs);
      m_pTabs->setCurrentIndex(m_nActive);
      return;
    }
  }
  m_nActive = nIndex;
  {
    const QSignalBlocker blocker(m_pTabs);
    m_pTabs->setCurrentIndex(m_nActive);
  }
  ActivatePage(nIndex);
}

void CPropertySheet::ActivatePage(int nIndex) {
  CPropertyPage* pPage = GetPage(nIndex);
  if (pPage == nullptr)
    return;
  pPage->CreatePageWindow();
  pPage->OnSetActive();
}
