#include "shell/PropertyPage.h"

#include "res/StringTable.h"
#include "shell/ChoiceLists.h"
#include "shell/PropertySheet.h"

CPropertyPage::CPropertyPage(unsigned int nIDTemplate, unsigned int nIDCaption, unsigned int nIDIcon,
                             int nWidthDU, int nHeightDU)
    : QWidget(nullptr),
      m_nIDTemplate(nIDTemplate),
      m_nIDCaption(nIDCaption),
      m_nIDIcon(nIDIcon),
      m_nWidthDU(nWidthDU),
      m_nHeightDU(nHeightDU) {
  setObjectName(QString::number(nIDTemplate));
  setProperty(kControlIdProperty, static_cast<int>(nIDTemplate));
  const CDialogUnits units(font());
  setMinimumSize(units.MapSize(nWidthDU, nHeightDU));
}

CPropertyPage::~CPropertyPage() {
  // A page may go before its sheet (pages are often members of the sheet's derived
  // class): leave the sheet first, so that it never calls a page being destroyed.
  if (m_pSheetBase != nullptr)
    m_pSheetBase->DetachPage(this);
}

QString CPropertyPage::GetTabText() const { return QString::fromLocal8Bit(LoadString(m_nIDCaption)); }

bool CPropertyPage::UpdateData(bool bSaveAndValidate) {
  if (!m_bCreated)
    return false;
  return DoDataExchange(bSaveAndValidate);
}

bool CPropertyPage::OnInitDialog() {
  UpdateData(false);
  return true;
}

bool CPropertyPage::OnSetActive() {
  if (m_bFirstSetActive)
    m_bFirstSetActive = false;
  else
    UpdateData(false);
  return true;
}

bool CPropertyPage::OnKillActive() { return UpdateData(true); }

void CPropertyPage::OnOK() {}

void CPropertyPage::OnCancel() {}

bool CPropertyPage::OnQueryCancel() { return true; }

void CPropertyPage::CreateControls(const CDialogUnits&) {}

bool CPropertyPage::DoDataExchange(bool) { return true; }

void CPropertyPage::CreatePageWindow() {
  if (m_bCreated)
    return;
  m_bCreated = true;
  CreateControls(CDialogUnits(font()));
  PrepareChoiceLists(this);
  // Children created inside a page that is already on screen stay hidden until
  // shown; show every control the page did not hide on purpose.
  for (QWidget* pChild : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (!pChild->testAttribute(Qt::WA_WState_ExplicitShowHide))
      pChild->show();
  }
  OnInitDialog();
}
