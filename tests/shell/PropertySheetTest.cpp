// The property sheet's order of calls to its pages, its buttons, and the helpers for
// control ids and dialog units.
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <string>
#include <vector>

#include "ShellTestSupport.h"
#include "shell/DialogTemplate.h"
#include "shell/PropertyPage.h"
#include "shell/PropertySheet.h"

namespace {

// A page that writes every hook call into a shared log and answers as told.
class CLoggingPage : public CPropertyPage {
 public:
  CLoggingPage(std::string strName, std::vector<std::string>& log)
      : CPropertyPage(200, 0, 0, 100, 50), m_strName(std::move(strName)), m_log(log) {}

  bool OnInitDialog() override {
    m_log.push_back(m_strName + ":Init");
    return CPropertyPage::OnInitDialog();
  }
  bool OnSetActive() override {
    m_log.push_back(m_strName + ":SetActive");
    return CPropertyPage::OnSetActive();
  }
  bool OnKillActive() override {
    m_log.push_back(m_strName + ":KillActive");
    return m_bAllowLeave;
  }
  void OnOK() override { m_log.push_back(m_strName + ":OK"); }
  void OnCancel() override { m_log.push_back(m_strName + ":Cancel"); }
  bool OnQueryCancel() override {
    m_log.push_back(m_strName + ":QueryCancel");
    return m_bAllowCancel;
  }

  bool m_bAllowLeave = true;
  bool m_bAllowCancel = true;
  int m_nControlsBuilt = 0;
  std::vector<bool> m_exchanges;  // direction of each DoDataExchange

 protected:
  void CreateControls(const CDialogUnits& units) override {
    ++m_nControlsBuilt;
    auto* pEdit = new QLineEdit(this);
    pEdit->setGeometry(units.MapRect(7, 7, 80, 12));
    SetControlId(pEdit, 1003);
  }
  bool DoDataExchange(bool bSaveAndValidate) override {
    m_exchanges.push_back(bSaveAndValidate);
    return true;
  }

 private:
  std::string m_strName;
  std::vector<std::string>& m_log;
};

class PropertySheetTest : public ::testing::Test, private CTestAppUser {
 protected:
  PropertySheetTest()
      : m_sheet(QStringLiteral("Sheet")), m_a("A", m_log), m_b("B", m_log), m_c("C", m_log) {
    m_sheet.AddPage(&m_a);
    m_sheet.AddPage(&m_b);
    m_sheet.AddPage(&m_c);
  }

  std::vector<std::string> TakeLog() {
    std::vector<std::string> log;
    log.swap(m_log);
    return log;
  }

  using Log = std::vector<std::string>;
  Log m_log;
  CPropertySheet m_sheet;
  CLoggingPage m_a, m_b, m_c;
};

}  // namespace

TEST_F(PropertySheetTest, PagesAreBuiltWhenFirstShownAndSwitchingAsksTheOldPageFirst) {
  EXPECT_TRUE(m_sheet.SetActivePage(1));  // before the window exists: the start page
  EXPECT_TRUE(TakeLog().empty());
  EXPECT_FALSE(m_b.IsWindowCreated());
  EXPECT_EQ(FindControl<QLineEdit>(&m_b, 1003), nullptr);

  m_sheet.Create();
  EXPECT_EQ(TakeLog(), (Log{"B:Init", "B:SetActive"}));
  EXPECT_TRUE(m_b.IsWindowCreated());
  EXPECT_FALSE(m_a.IsWindowCreated());
  EXPECT_FALSE(m_c.IsWindowCreated());
  EXPECT_EQ(m_sheet.GetTabControl()->currentIndex(), 1);
  EXPECT_NE(FindControl<QLineEdit>(&m_b, 1003), nullptr);
  EXPECT_EQ(m_a.m_nControlsBuilt, 0);

  // A tab click: the old page is asked, then the new one is built and activated.
  m_sheet.GetTabControl()->setCurrentIndex(2);
  EXPECT_EQ(TakeLog(), (Log{"B:KillActive", "C:Init", "C:SetActive"}));
  EXPECT_EQ(m_sheet.GetActiveIndex(), 2);

  // Back again: no second build.
  m_sheet.GetTabControl()->setCurrentIndex(1);
  EXPECT_EQ(TakeLog(), (Log{"C:KillActive", "B:SetActive"}));
  EXPECT_EQ(m_b.m_nControlsBuilt, 1);

  // A page that refuses to be left keeps the sheet where it is.
  m_b.m_bAllowLeave = false;
  m_sheet.GetTabControl()->setCurrentIndex(0);
  EXPECT_EQ(TakeLog(), (Log{"B:KillActive"}));
  EXPECT_EQ(m_sheet.GetActiveIndex(), 1);
  EXPECT_EQ(m_sheet.GetTabControl()->currentIndex(), 1);
  EXPECT_FALSE(m_a.IsWindowCreated());
  EXPECT_FALSE(m_sheet.SetActivePage(&m_a));
  EXPECT_EQ(TakeLog(), (Log{"B:KillActive"}));

  m_b.m_bAllowLeave = true;
  EXPECT_TRUE(m_sheet.SetActivePage(&m_a));
  EXPECT_EQ(TakeLog(), (Log{"B:KillActive", "A:Init", "A:SetActive"}));
}

TEST_F(PropertySheetTest, CloseAsksTheActivePageThenCallsOnlyBuiltPages) {
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
  EXPECT_FALSE(m_b.IsWindowCreated());
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

TEST_F(PropertySheetTest, DoModalRunsUntilClosedAndReportsTheButton) {
  QTimer::singleShot(0, &m_sheet, [this] {
    ASSERT_TRUE(m_sheet.isVisible());
    m_sheet.GetButton(CPropertySheet::ID_OK)->click();
  });
  EXPECT_EQ(m_sheet.DoModal(), CPropertySheet::ID_OK);
  EXPECT_EQ(TakeLog(), (Log{"A:Init", "A:SetActive", "A:KillActive", "A:OK"}));

  CPropertySheet other(QStringLiteral("Other"));
  std::vector<std::string> log;
  CLoggingPage page("P", log);
  other.AddPage(&page);
  QTimer::singleShot(0, &other, [&other] {
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&other, &esc);
  });
  EXPECT_EQ(other.DoModal(), CPropertySheet::ID_CANCEL);
  EXPECT_EQ(log, (Log{"P:Init", "P:SetActive", "P:QueryCancel", "P:Cancel"}));
}

TEST_F(PropertySheetTest, UpdateDataExchangesOnlyOnceTheControlsExist) {
  EXPECT_FALSE(m_c.UpdateData(true));
  EXPECT_TRUE(m_c.m_exchanges.empty());
  m_sheet.SetActivePage(2);
  m_sheet.Create();
  // Building fills the controls from the fields; leaving takes them back.
  EXPECT_EQ(m_c.m_exchanges, (std::vector<bool>{false}));
  m_sheet.SetActivePage(0);
  m_sheet.SetActivePage(2);
  // The second activation fills the controls again.
  EXPECT_EQ(m_c.m_exchanges, (std::vector<bool>{false, false}));
  EXPECT_TRUE(m_c.UpdateData(true));
  EXPECT_EQ(m_c.m_exchanges.back(), true);
}

TEST_F(PropertySheetTest, ButtonRowIsOkCancelHelpWithoutApply) {
  m_sheet.SetHasHelp(true);
  m_sheet.show();
  QPushButton* pOK = m_sheet.GetButton(CPropertySheet::ID_OK);
  QPushButton* pCancel = m_sheet.GetButton(CPropertySheet::ID_CANCEL);
  QPushButton* pHelp = m_sheet.GetButton(CPropertySheet::ID_HELP);
  ASSERT_TRUE(pOK && pCancel && pHelp);
  EXPECT_TRUE(pHelp->isVisible());
  EXPECT_TRUE(pOK->isDefault());
  EXPECT_LT(pOK->x(), pCancel->x());
  EXPECT_LT(pCancel->x(), pHelp->x());
  EXPECT_EQ(FindControl<QPushButton>(&m_sheet, CPropertySheet::ID_HELP), pHelp);
  EXPECT_EQ(GetControlId(pCancel), CPropertySheet::ID_CANCEL);

  // The sheet's own buttons are these three; the pages add none.
  int nSheetButtons = 0;
  for (QPushButton* p : m_sheet.findChildren<QPushButton*>())
    if (!m_sheet.GetTabControl()->isAncestorOf(p))
      ++nSheetButtons;
  EXPECT_EQ(nSheetButtons, 3);

  CPropertySheet plain(QStringLiteral("Plain"));
  plain.show();
  EXPECT_FALSE(plain.GetButton(CPropertySheet::ID_HELP)->isVisible());
}

TEST(DialogUnitsTest, MapsTemplateUnitsWithTheFontsBaseUnits) {
  // The classic formula with the base units of an 8-point system font (6 x 13):
  // x * 6 / 4 and y * 13 / 8, rounded to the nearest pixel.
  const CDialogUnits units(6, 13);
  EXPECT_EQ(units.MapSize(293, 159), QSize(440, 258));
  EXPECT_EQ(units.MapRect(163, 140, 96, 14), QRect(245, 228, 144, 22));
  EXPECT_EQ(units.MapRect(7, 40, 264, 19), QRect(11, 65, 396, 31));

  // Base units from a real font follow its metrics.
  TestApp();
  QFont font = QApplication::font();
  const CDialogUnits small(font);
  font.setPointSizeF(font.pointSizeF() * 2);
  const CDialogUnits large(font);
  EXPECT_GT(large.GetBaseY(), small.GetBaseY());
  EXPECT_GT(large.GetBaseX(), small.GetBaseX());
  EXPECT_EQ(small.ToPixelsY(8), small.GetBaseY());
  EXPECT_EQ(small.ToPixelsX(4), small.GetBaseX());
}
