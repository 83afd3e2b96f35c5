// The error dialog's texts, and the window's prompt service that shows it, its
// message boxes and its wait cursor; the help file beside the module.
#include <gtest/gtest.h>

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "ShellTestSupport.h"
#include "shell/ErrorDlg.h"
#include "errors/ErrorTexts.h"
#include "res/StringTable.h"
#include "shell/DialogTemplate.h"
#include "shell/Help.h"
#include "shell/QtPromptService.h"

namespace {

QString LabelText(const QWidget& dlg, int nId) {
  const QLabel* p = FindControl<QLabel>(&dlg, nId);
  return p != nullptr ? p->text() : QStringLiteral("<no control>");
}

}  // namespace

TEST(ErrorDlgTest, ShowsTheParagraphsAndTheCodeLine) {
  TestApp();
  const CErrorParagraphs texts = GetErrorParagraphs(-984);
  CErrorDlg dlg(texts.strFirst, texts.strSecond, texts.strThird, texts.strCode);
  dlg.show();
  EXPECT_EQ(dlg.windowTitle(), QStringLiteral("SMS Error"));
  EXPECT_EQ(LabelText(dlg, 1060), QStringLiteral("An unknown error occurred. "));
  EXPECT_EQ(LabelText(dlg, 1061), QStringLiteral("No further information is available about this error at this time."));
  // The line breaks of the third paragraph show as line breaks, the tabs as tabs.
  EXPECT_EQ(LabelText(dlg, 1062), QStringLiteral("Suggested trouble-shooting:\n\tRestart the computer\n\tTurn off the "
                                                 "phone and then turn it back on"));
  EXPECT_EQ(LabelText(dlg, 1066), QStringLiteral("Error Code: -984"));
  EXPECT_EQ(dlg.GetThird(), LoadString(149));  // the text itself keeps its "\r\n"
  QPushButton* pContinue = FindControl<QPushButton>(&dlg, 1);
  ASSERT_NE(pContinue, nullptr);
  EXPECT_EQ(pContinue->text(), QStringLiteral("Click here to continue"));
  EXPECT_TRUE(pContinue->isDefault());
  pContinue->click();
  EXPECT_FALSE(dlg.isVisible());
}

TEST(QtPromptServiceTest, ErrorDialogAndMessageBoxesShowTheirTextsAndAnswer) {
  TestApp();
  CQtPromptService service;
  QString strSeenCode;
  QTimer::singleShot(0, [&] {
    if (auto* pDlg = qobject_cast<CErrorDlg*>(QApplication::activeModalWidget())) {
      strSeenCode = LabelText(*pDlg, 1066);
      FindControl<QPushButton>(pDlg, 1)->click();
    }
  });
  service.ShowErrorDialog("a", "b", "c", "Error Code: -991");
  EXPECT_EQ(strSeenCode, QStringLiteral("Error Code: -991"));

  // A question with No as the default, under a wait cursor that the box lifts.
  service.BeginWaitCursor();
  QString strTitle, strText;
  bool bNoIsDefault = false, bCursorLifted = false;
  QTimer::singleShot(0, [&] {
    if (auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      strTitle = pBox->windowTitle();
      strText = pBox->text();
      bNoIsDefault = pBox->defaultButton() == pBox->button(QMessageBox::No);
      bCursorLifted = QApplication::overrideCursor() == nullptr;
      pBox->button(QMessageBox::Yes)->click();
    }
  });
  EXPECT_EQ(service.MessageBox("Delete all?\r\nNo undo.", "", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2), IDYES);
  EXPECT_EQ(strTitle, QStringLiteral("SMS Message"));
  EXPECT_EQ(strText, QStringLiteral("Delete all?\nNo undo."));
  EXPECT_TRUE(bNoIsDefault);
  EXPECT_TRUE(bCursorLifted);
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
