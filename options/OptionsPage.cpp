#include "options/OptionsPage.h"

#include <QFrame>

#include "res/Resources.h"
#include "res/StringTable.h"

// The page is as large as the largest of the window's pages.
COptionsPage::COptionsPage() : CPropertyPage(IDD, IDS_PAGE_OPTIONS, IDI_OPTIONS, 344, 175) {}

COptionsPage::~COptionsPage() = default;

void COptionsPage::CreateControls(const CDialogUnits& units) {
  // The page's area; the connection, message options and phone information go here.
  auto* pArea = new QFrame(this);
  pArea->setObjectName(QStringLiteral("PageArea"));
  pArea->setGeometry(units.MapRect(0, 0, 344, 175));
}

bool COptionsPage::OnInitDialog() { return CPropertyPage::OnInitDialog(); }

bool COptionsPage::OnSetActive() { return CPropertyPage::OnSetActive(); }

bool COptionsPage::OnKillActive() { return CPropertyPage::OnKillActive(); }

void COptionsPage::OnOK() { CPropertyPage::OnOK(); }

void COptionsPage::OnCancel() { CPropertyPage::OnCancel(); }
