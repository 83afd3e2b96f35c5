// The property sheet's order of calls to its pages and its buttons, and the dialog
// units of the templates.

#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include "WindowTestSupport.h"
#include "shell/PropertyPage.h"
#include "shell/PropertySheet.h"

namespace {

using Log = std::vector<std::string>;

// A page that writes every hook call into a shared log and answers as told.
class CLoggingPage : public CPropertyPage {
 public:
  CLoggingPage(std::string strName, Log& log)
      : CPropertyPage(200, 0, 0, 100, 50), m_strName(std::move(strName)), m_log(log) {}

  bool OnInitDialog() override { return Note("Init"), CPropertyPage::OnInitDialog(); }
  bool OnSetActive() override { return Note("SetActive"), CPropertyPage::OnSetActive(); }
  bool OnKillActive() override { return Note("KillActive"), m_bAllowLeave; }
  void OnOK() override { Note("OK"); }
  void OnCancel() override { Note("Cancel"); }
  bool OnQueryCancel() override { return Note("QueryCancel"), m_bAllowCancel; }

  bool m_bAllowLeave = true;
  bool m_bAllowCancel = true;

 protected:
  void CreateControls(const CDialogUnits& units) override {
    auto* pEdit = new QLineEdit(this);
    pEdit->setGeometry(units.MapRect(7, 7, 80, 12));
    SetControlId(pEdit, 1003);
  }

 private:
  void Note(const char* pszHook) { m_log.push_back(m_strName + ":" + pszHook); }
  std::string m_strName;
  Log& m_log;
};

class PropertySheetTest : public ::testing::Test, private CTestAppUser {
 protected:
  PropertySheetTest() : m_sheet(QStringLiteral("Sheet")), m_a("A", m_log), m_b("B", m_log), m_c("C", m_log) {
    for (CLoggingPage* p : {&m_a, &m_b, &m_c})
      m_sheet.AddPage(p);
  }
  Log TakeLog() { return std::exchange(m_log, Log()); }

  Log m_log;
  CPropertySheet m_sheet;
  CLoggingPage m_a, m_b, m_c;
};

}  // namespace

TEST_F(PropertySheetTest, PagesAreBuiltWhenFirstShownAndSwitchingAsksTheOldPageFirst) {
  EXPECT_TRUE(m_sheet.SetActivePage(1));  // before the window exists: the start page
  EXPECT_TRUE(TakeLog().empty());
  EXPECT_EQ(FindControl<QLineEdit>(&m_b, 1003), nullptr);
  m_sheet.Create();
  EXPECT_EQ(TakeLog(), (Log{"B:Init", "B:SetActive"}));
  EXPECT_NE(FindControl<QLineEdit>(&m_b, 1003), nullptr);
  EXPECT_FALSE(m_a.IsWindowCreated() || m_c.IsWindowCreated());
  EXPECT_EQ(m_sheet.GetTabControl()->currentIndex(), 1);

  // A tab click: the old page is asked, then the new one is built and activated;
  // going back builds nothing twice.
  m_sheet.GetTabControl()->setCurrentIndex(2);
  EXPECT_EQ(TakeLog(), (Log{"B:KillActive", "C:Init", "C:SetActive"}));
  m_sheet.GetTabControl()->setCurrentIndex(1);
  EXPECT_EQ(TakeLog(), (Log{"C:KillActive", "B:SetActive"}));

  // A page that refuses to be left keeps the sheet where it is.
  m_b.m_bAllowLeave = false;
  m_sheet.GetTabControl()->setCurrentIndex(0);
  EXPECT_EQ(TakeLog(), (Log{"B:KillActive"}));
  EXPECT_EQ(m_sheet.GetActiveIndex(), 1);
  EXPECT_EQ(m_sheet.GetTabControl()->currentIndex(), 1);
  EXPECT_FALSE(m_sheet.SetActivePage(&m_a));
  EXPECT_EQ(TakeLog(), (Log{"B:KillActive"}));
  EXPECT_FALSE(m_a.IsWindowCreated());
  m_b.m_bAllowLeave = true;
  EXPECT_TRUE(m_sheet.SetActivePage(&m_a));
  EXPECT_EQ(TakeLog(), (Log{"B:KillActive", "A:Init", "A:SetActive"}));
}

TEST_F(PropertySheetTest, OkAsksTheActivePageThenCallsOnlyBuiltPages) {
  m_sheet.SetActivePage(2);
  m_sheet.show();  // the first show builds the window
  m_sheet.GetTabControl()->setCurrentIndex(0);
  TakeLog();
  m_a.m_bAllowLeave = false;
  m_sheet.GetButton(CPropertySheet::ID_OK)->click();
  EXPECT_EQ(TakeLog(), (Log{"A:KillActive"}));
  EXPECT_TRUE(m_sheet.isVisible());
  m_a.m_bAllowLeave = true;
  m_sheet.GetButton(CPropertySheet::ID_OK)->click();
  EXPECT_EQ(TakeLog(), (Log{"A:KillActive", "A:OK", "C:OK"}));
  EXPECT_FALSE(m_sheet.isVisible());
  EXPECT_EQ(m_sheet.result(), QDialog::Accepted);
}

TEST_F(PropertySheetTest, CancelEscAndTheCloseBoxAskTheActivePageThenCancelBuiltPages) {
  m_sheet.show();
  m_sheet.GetTabControl()->setCurrentIndex(1);
  TakeLog();
  // Each way of cancelling asks first; a refusal keeps the window open.
  m_b.m_bAllowCancel = false;
  m_sheet.GetButton(CPropertySheet::ID_CANCEL)->click();
  QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(&m_sheet, &esc);
  m_sheet.close();
  EXPECT_EQ(TakeLog(), (Log{"B:QueryCancel", "B:QueryCancel", "B:QueryCancel"}));
  EXPECT_TRUE(m_sheet.isVisible());
  m_b.m_bAllowCancel = true;
  m_sheet.close();
  EXPECT_EQ(TakeLog(), (Log{"B:QueryCancel", "A:Cancel", "B:Cancel"}));
  EXPECT_FALSE(m_sheet.isVisible());
  EXPECT_EQ(m_sheet.result(), QDialog::Rejected);
}

TEST(DialogUnitsTest, MapsTemplateUnitsWithTheFontsBaseUnits) {
  // The classic formula with the base units of an 8-point system font (6 x 13):
  // x * 6 / 4 and y * 13 / 8, rounded to the nearest pixel.
  const CDialogUnits units(6, 13);
  EXPECT_EQ(units.MapSize(293, 159), QSize(440, 258));
  EXPECT_EQ(units.MapRect(163, 140, 96, 14), QRect(245, 228, 144, 22));
}
