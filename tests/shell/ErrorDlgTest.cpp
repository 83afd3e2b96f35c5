// The error dialog's texts and their fit at the fonts a Linux desktop uses (every
// code's paragraphs shown whole, the boxes apart, the code line and the button inside
// the dialog), the window's prompt service that shows it, its message boxes and its
// wait cursor; the help file beside the module.

#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "WindowTestSupport.h"
#include "shell/ErrorDlg.h"
#include "errors/ErrorTexts.h"
#include "shell/Help.h"
#include "shell/QtPromptService.h"

namespace {

QString LabelText(const QWidget& dlg, int nId) {
  const QLabel* p = FindControl<QLabel>(&dlg, nId);
  return p != nullptr ? p->text() : QStringLiteral("<no control>");
}

// The lines a label's text takes at its width, measured apart from the label.
int NeededHeight(const QLabel& label) {
  const QFontMetrics fm(label.font());
  return fm
      .boundingRect(QRect(0, 0, label.width(), 100000), Qt::TextWordWrap | Qt::TextExpandTabs, label.text())
      .height();
}

std::vector<int> AllCodes() {
  std::vector<int> codes{0, 1, -1001};
  for (int n = -1000; n <= -975; ++n)
    codes.push_back(n);
  return codes;
}

class CAppFont {
 public:
  explicit CAppFont(const QFont& font) : m_old(QApplication::font()) { QApplication::setFont(font); }
  ~CAppFont() { QApplication::setFont(m_old); }

 private:
  QFont m_old;
};

}  // namespace

TEST(ErrorDlgTest, ShowsTheParagraphsAndTheCodeLine) {
  TestApp();
  const CErrorParagraphs texts = GetErrorParagraphs(-984);
  CErrorDlg dlg(texts.strFirst, texts.strSecond, texts.strThird, texts.strCode);
  dlg.show();
  EXPECT_EQ(dlg.windowTitle(), QStringLiteral("SMS Error"));
  // The line breaks of the third paragraph show as line breaks, the tabs as tabs.
  EXPECT_EQ(
      QStringList({LabelText(dlg, 1060), LabelText(dlg, 1061), LabelText(dlg, 1062), LabelText(dlg, 1066)}),
      QStringList({"An unknown error occurred. ",
                   "No further information is available about this error at this time.",
                   "Suggested trouble-shooting:\n\tRestart the computer\n\tTurn off the phone and then turn "
                   "it back on",
                   "Error Code: -984"}));
  QPushButton* pContinue = RequireControl<QPushButton>(&dlg, 1, "IDC_CONTINUE");
  EXPECT_EQ(pContinue->text(), QStringLiteral("Click here to continue"));
  EXPECT_TRUE(pContinue->isDefault());  // the prompt service's test clicks it to go on
}

TEST(QtPromptServiceTest, ErrorDialogAndMessageBoxesShowTheirTextsAndAnswer) {
  TestApp();
  CQtPromptService service;
  QString strSeenCode;
  QTimer::singleShot(0, [&] {
    if (auto* pDlg = qobject_cast<CErrorDlg*>(QApplication::activeModalWidget())) {
      strSeenCode = LabelText(*pDlg, 1066);
      if (auto* pContinue = FindControl<QPushButton>(pDlg, 1))
        pContinue->click();
      else
        pDlg->reject();  // the test fails on the code it did not see
    }
  });
  service.ShowErrorDialog("a", "b", "c", "Error Code: -991");
  EXPECT_EQ(strSeenCode, QStringLiteral("Error Code: -991"));

  // A question with No as the default, under a wait cursor that the box lifts.
  service.BeginWaitCursor();
  QStringList seen;  // title, text, default button, cursor
  QTimer::singleShot(0, [&] {
    if (auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      seen << pBox->windowTitle() << pBox->text()
           << (pBox->defaultButton() == pBox->button(QMessageBox::No) ? "No" : "not No")
           << (QApplication::overrideCursor() == nullptr ? "no cursor" : "a cursor");
      pBox->button(QMessageBox::Yes)->click();
    }
  });
  EXPECT_EQ(service.MessageBox("Delete all?\r\nNo undo.", "", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2),
            IDYES);
  EXPECT_EQ(seen, QStringList({"SMS Message", "Delete all?\nNo undo.", "No", "no cursor"}));
  ASSERT_NE(QApplication::overrideCursor(), nullptr);  // back after the box
  service.EndWaitCursor();
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(QtPromptServiceTest, WaitCursorsNestAndAnExtraEndIsHarmless) {
  TestApp();
  {
    CQtPromptService service;
    service.BeginWaitCursor();
    service.BeginWaitCursor();
    service.EndWaitCursor();
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    service.EndWaitCursor();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    // Someone else's override cursor survives an unmatched end.
    QApplication::setOverrideCursor(Qt::CrossCursor);
    service.EndWaitCursor();
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::CrossCursor);
    QApplication::restoreOverrideCursor();
    service.BeginWaitCursor();  // a service that goes with a wait cursor on takes it off
  }
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(HelpTest, TheHelpFileIsNamedAfterTheModule) {
  EXPECT_EQ(GetHelpFileForModule("/usr/lib/mireth/libmireth.so"), "/usr/lib/mireth/libmireth.html");
  EXPECT_EQ(GetHelpFileForModule("/opt/x/libmireth.so.0.1"), "/opt/x/libmireth.html");
  EXPECT_EQ(GetHelpFileForModule("/opt/x.y/prog"), "/opt/x.y/prog.html");
  EXPECT_NE(GetHelpFilePath().find("shell_test"), std::string::npos);  // this module is the test program
}

TEST(ErrorDlgFitTest, EveryCodesParagraphsFitAtDesktopFonts) {
  TestApp();
  struct SFont {
    const char* pszFamily;
    int nPoints;
  };
  const SFont fonts[] = {{"DejaVu Sans", 9},  {"DejaVu Sans", 10},  {"DejaVu Sans", 11},
                         {"DejaVu Sans", 12}, {"DejaVu Serif", 11}, {"DejaVu Sans Mono", 10}};
  for (const SFont& f : fonts) {
    const CAppFont appFont(QFont(f.pszFamily, f.nPoints));
    for (int nCode : AllCodes()) {
      SCOPED_TRACE(std::string(f.pszFamily) + " " + std::to_string(f.nPoints) + "pt, code " +
                   std::to_string(nCode));
      const CErrorParagraphs texts = GetErrorParagraphs(nCode);
      CErrorDlg dlg(texts.strFirst, texts.strSecond, texts.strThird, texts.strCode);
      dlg.show();
      const QRect client = dlg.rect();
      int nBottom = 0;
      for (int nId :
           {CErrorDlg::IDC_FIRST, CErrorDlg::IDC_SECOND, CErrorDlg::IDC_THIRD, CErrorDlg::IDC_CODE}) {
        const QLabel* pLabel = RequireControl<QLabel>(&dlg, nId, "paragraph");
        EXPECT_LE(NeededHeight(*pLabel), pLabel->height())
            << "box " << nId << ": " << pLabel->text().toStdString();
        EXPECT_GE(pLabel->y(), nId == CErrorDlg::IDC_CODE ? 0 : nBottom)
            << "box " << nId << " overlaps the one above";
        EXPECT_TRUE(client.contains(pLabel->geometry())) << "box " << nId;
        nBottom = pLabel->geometry().bottom();
      }
      const QPushButton* pContinue = PAGE_CONTROL(QPushButton, dlg, CErrorDlg::IDC_CONTINUE);
      EXPECT_TRUE(client.contains(pContinue->geometry()));
      EXPECT_GT(pContinue->y(), PAGE_CONTROL(QLabel, dlg, CErrorDlg::IDC_THIRD)->geometry().bottom());
      dlg.hide();
    }
  }
}
