// A page of a property sheet. The page object exists from the sheet's construction,
// but its controls are built, and OnInitDialog runs, only the first time the page is
// shown. The sheet then calls the page's hooks in this order:
//   - switching to another page: OnKillActive on the old page (false keeps it), then
//     OnSetActive on the new one (after OnInitDialog when it is new);
//   - Close (the OK button): OnKillActive on the active page (false keeps the window
//     open), then OnOK on every page whose window exists;
//   - Cancel (the button, Esc or the window's close box): OnQueryCancel on the active
//     page (false keeps the window open), then OnCancel on every page whose window
//     exists.
// A page that was never shown gets none of these calls.
#pragma once

#include <QSize>
#include <QString>
#include <QWidget>

#include "shell/DialogTemplate.h"

class CPropertySheet;

class CPropertyPage : public QWidget {
  Q_OBJECT

 public:
  // nIDTemplate: the page's dialog number (its help topic is 0x20000 + that number);
  // nIDCaption: string-table number of the tab text; nIDIcon: the tab's icon resource
  // (0 for none); nWidthDU x nHeightDU: the template's size in dialog units.
  CPropertyPage(unsigned int nIDTemplate, unsigned int nIDCaption, unsigned int nIDIcon, int nWidthDU,
                int nHeightDU);
  ~CPropertyPage() override;

  unsigned int GetTemplateId() const { return m_nIDTemplate; }
  unsigned int GetIconId() const { return m_nIDIcon; }
  QString GetTabText() const;
  QSize GetTemplateSizeDU() const { return QSize(m_nWidthDU, m_nHeightDU); }

  // True once the page's controls have been built (it has been shown once).
  bool IsWindowCreated() const { return m_bCreated; }
  CPropertySheet* GetParentSheet() const { return m_pSheetBase; }

  // Exchanges data between the controls and the fields: towards the fields with
  // validation when bSaveAndValidate is true, towards the controls otherwise.
  // Returns false when validation failed (or the controls do not exist yet).
  bool UpdateData(bool bSaveAndValidate = true);

  // Hooks. The defaults keep the framework's behaviour: OnInitDialog fills the
  // controls from the fields; OnSetActive does the same on every activation after
  // the first; OnKillActive takes the controls into the fields; OnQueryCancel allows
  // cancelling; OnOK and OnCancel do nothing.
  virtual bool OnInitDialog();
  virtual bool OnSetActive();
  virtual bool OnKillActive();
  virtual void OnOK();
  virtual void OnCancel();
  virtual bool OnQueryCancel();

 protected:
  // Builds the template's controls (called once, before OnInitDialog). Controls are
  // placed with the dialog units of the page's font.
  virtual void CreateControls(const CDialogUnits& units);
  // Exchanges each control with its field; returns false when a field is invalid.
  virtual bool DoDataExchange(bool bSaveAndValidate);

 private:
  friend class CPropertySheet;
  // Builds the controls and runs OnInitDialog, once.
  void CreatePageWindow();

  unsigned int m_nIDTemplate;
  unsigned int m_nIDCaption;
  unsigned int m_nIDIcon;
  int m_nWidthDU;
  int m_nHeightDU;
  bool m_bCreated = false;
  bool m_bFirstSetActive = true;
  CPropertySheet* m_pSheetBase = nullptr;
};
