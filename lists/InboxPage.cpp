#include "lists/InboxPage.h"

#include <QFrame>

#include "res/Resources.h"
#include "res/StringTable.h"

CInboxPage::CInboxPage() : CPropertyPage(IDD, IDS_PAGE_INBOX, IDI_INBOX, 335, 175) {}

CInboxPage::~CInboxPage() = default;

void CInboxPage::CreateControls(const CDialogUnits& units) {
  // The page's area, 335 x 175 dialog units; the list and its buttons go here.
  auto* pArea = new QFrame(this);
  pArea->setObjectName(QStringLiteral("PageArea"));
  pArea->setGeometry(units.MapRect(0, 0, 335, 175));
}

bool CInboxPage::OnInitDialog() { return CPropertyPage::OnInitDialog(); }

bool CInboxPage::OnSetActive() { return CPropertyPage::OnSetActive(); }

void CInboxPage::OnOK() { CPropertyPage::OnOK(); }

void CInboxPage::OnCancel() { CPropertyPage::OnCancel(); }
