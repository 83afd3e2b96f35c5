#include "lists/OutboxPage.h"

#include <QFrame>

#include "res/Resources.h"
#include "res/StringTable.h"

COutboxPage::COutboxPage() : CPropertyPage(IDD, IDS_PAGE_OUTBOX, IDI_OUTBOX, 335, 175) {}

COutboxPage::~COutboxPage() = default;

void COutboxPage::CreateControls(const CDialogUnits& units) {
  // The page's area, 335 x 175 dialog units; the list and its buttons go here.
  auto* pArea = new QFrame(this);
  pArea->setObjectName(QStringLiteral("PageArea"));
  pArea->setGeometry(units.MapRect(0, 0, 335, 175));
}

bool COutboxPage::OnInitDialog() { return CPropertyPage::OnInitDialog(); }

bool COutboxPage::OnSetActive() { return CPropertyPage::OnSetActive(); }

void COutboxPage::OnOK() { CPropertyPage::OnOK(); }
