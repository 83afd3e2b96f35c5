// The error dialog's layout, texts and picture, and the window's prompt service that
// shows it, its message boxes and its wait cursor.
#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>

#include "ShellTestSupport.h"
#include "errors/ErrorDlg.h"
#include "errors/ErrorTexts.h"
#include "res/Resources.h"
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

TEST(ErrorDlgTest, ShowsTheParagraphsAndTheCodeLineInTheTemplatesPlaces) {
  TestApp();
  const CErrorParagraphs texts = GetErrorParagraphs(-984);
  CErrorDlg dlg(texts.strFirst, texts.strSecond, texts.strThird, texts.strCode);
  dlg.show();

  EXPECT_EQ(dlg.windowTitle(), QStringLiteral("SMS Error"));
  EXPECT_EQ(LabelText(dlg, 1060), QStringLiteral("An unknown error occurred. "));
  EXPECT_EQ(LabelText(dlg, 1061),
            QStringLiteral("No further information is available about this error at this time."));
  // The line breaks of the third paragraph show as line breaks, the tabs as tabs.
  EXPECT_EQ(LabelText(dlg, 1062),
            QStringLiteral("Suggested trouble-shooting:\n\tRestart the computer\n\tTurn off the "
                           "phone and then turn it back on"));
  EXPECT_EQ(LabelText(dlg, 1066), QStringLiteral("Error Code: -984"));
  EXPECT_EQ(dlg.GetThird(), LoadString(149));  // the text itself keeps its "\r\n"

  for (int nId : {1060, 1061, 1062})
    EXPECT_TRUE(FindControl<QLabel>(&dlg, nId)->wordWrap()) << nId;

  // Places in dialog units of the dialog's font.
  const CDialogUnits units(dlg.font());
  EXPECT_EQ(dlg.size(), units.MapSize(293, 159));
  EXPECT_EQ(FindControl<QLabel>(&dlg, 1061)->geometry(), units.MapRect(7, 63, 272, 35));
  EXPECT_EQ(FindControl<QLabel>(&dlg, 1066)->geometry(), units.MapRect(8, 144, 110, 11));
  QPushButton* pContinue = FindControl<QPushButton>(&dlg, 1);
  ASSERT_NE(pContinue, nullptr);
  EXPECT_EQ(pContinue->text(), QStringLiteral("Click here to continue"));
  EXPECT_TRUE(pContinue->isDefault());
  EXPECT_EQ(pContinue->geometry(), units.MapRect(163, 140, 96, 14));
  bool bHeading = false;
  for (const QLabel* p : dlg.findChildren<QLabel*>())
    bHeading = bHeading || p->text() == QStringLiteral("Please read the following error message(s).");
  EXPECT_TRUE(bHeading);

  // The placeholder is hidden and the picture takes its place.
  QLabel* pPlaceholder = FindControl<QLabel>(&dlg, 1059);
  ASSERT_NE(pPlaceholder, nullptr);
  EXPECT_FALSE(pPlaceholder->isVisible());
  EXPECT_EQ(dlg.GetPictureRect(), units.MapRect(25, 10, 31, 24));

  pContinue->click();
  EXPECT_FALSE(dlg.isVisible());
}

TEST(ErrorDlgTest, PaintsThePictureUnscaledAtThePlaceholder) {
  TestApp();
  CErrorDlg dlg("first", "", "", "Error Code: 1");
  dlg.show();
  const QImage shot = dlg.grab().toImage();
  const QImage picture = LoadBitmapResource(IDB_ERROR_PICTURE).toImage();
  ASSERT_FALSE(picture.isNull());
  const QRect rc = dlg.GetPictureRect();
  ASSERT_GE(rc.width(), 32);
  ASSERT_GE(rc.height(), 32);
  // Every pixel of the 32 x 32 picture lands one to one at the rectangle's corner.
  int nDiffer = 0;
  int nOpaque = 0;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      const QColor want = picture.pixelColor(x, y);
      if (want.alpha() != 255)
        continue;
      ++nOpaque;
      if (shot.pixelColor(rc.left() + x, rc.top() + y).rgb() != want.rgb())
        ++nDiffer;
    }
  EXPECT_GT(nOpaque, 100);
  EXPECT_EQ(nDiffer, 0);
  // The picture is not stretched over the rest of the rectangle.
  EXPECT_EQ(shot.pixelColor(rc.right(), rc.bottom()), shot.pixelColor(rc.right() + 1, rc.bottom() + 1));
}

TEST(QtPromptServiceTest, ErrorDialogAndMessageBoxesShowTheirTextsAndAnswer) {
  TestApp();
  CQtPromptService service;

  QString strSeenCode;
  QTimer::singleShot(0, [&] {
    auto* pDlg = qobject_cast<CErrorDlg*>(QApplication::activeModalWidget());
    if (pDlg == nullptr) {
      ADD_FAILURE() << "no error dialog";
      return;
    }
    strSeenCode = LabelText(*pDlg, 1066);
    FindControl<QPushButton>(pDlg, 1)->click();
  });
  service.ShowErrorDialog("a", "b", "c", "Error Code: -991");
  EXPECT_EQ(strSeenCode, QStringLiteral("Error Code: -991"));

  // A question with No as the default, under a wait cursor.
  service.BeginWaitCursor();
  QString strTitle, strText;
  bool bNoIsDefault = false, bCursorLifted = false;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QTimer::singleShot(0, [&] {
    auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (pBox == nullptr) {
      ADD_FAILURE() << "no message box";
      return;
    }
    strTitle = pBox->windowTitle();
    strText = pBox->text();
    icon = pBox->icon();
    bNoIsDefault = pBox->defaultButton() == pBox->button(QMessageBox::No);
    bCursorLifted = QApplication::overrideCursor() == nullptr;
    pBox->button(QMessageBox::Yes)->click();
  });
  const int nAnswer =
      service.MessageBox("Delete all?\r\nNo undo.", "", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
  EXPECT_EQ(nAnswer, IDYES);
  EXPECT_EQ(strTitle, QStringLiteral("SMS Message"));
  EXPECT_EQ(strText, QStringLiteral("Delete all?\nNo undo."));
  EXPECT_EQ(icon, QMessageBox::Question);
  EXPECT_TRUE(bNoIsDefault);
  EXPECT_TRUE(bCursorLifted);
  ASSERT_NE(QApplication::overrideCursor(), nullptr);  // back after the box
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  service.EndWaitCursor();

  // An OK box with a caption of its own.
  QTimer::singleShot(0, [&] {
    if (auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      strTitle = pBox->windowTitle();
      pBox->button(QMessageBox::Ok)->click();
    }
  });
  EXPECT_EQ(service.MessageBox("Saved.", "Other", MB_OK | MB_ICONINFORMATION), IDOK);
  EXPECT_EQ(strTitle, QStringLiteral("Other"));
}

TEST(QtPromptServiceTest, WaitCursorsNestAndAnExtraEndIsHarmless) {
  TestApp();
  {
    CQtPromptService service;
    service.BeginWaitCursor();
    service.BeginWaitCursor();
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    service.EndWaitCursor();
    EXPECT_NE(QApplication::overrideCursor(), nullptr);
    service.EndWaitCursor();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    service.EndWaitCursor();
    EXPECT_EQ(service.GetWaitDepth(), 0);

    // Someone else's override cursor survives an unmatched end.
    QApplication::setOverrideCursor(Qt::CrossCursor);
    service.EndWaitCursor();
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::CrossCursor);
    QApplication::restoreOverrideCursor();

    // A service that goes with a wait cursor still on takes it off.
    service.BeginWaitCursor();
  }
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(HelpTest, TheHelpFileIsNamedAfterTheModule) {
  EXPECT_EQ(GetHelpFileForModule("/usr/lib/mireth/libmireth.so"), "/usr/lib/mireth/libmireth.html");
  EXPECT_EQ(GetHelpFileForModule("/opt/x/libmireth.so.0.1"), "/opt/x/libmireth.html");
  EXPECT_EQ(GetHelpFileForModule("/opt/x/shell_test"), "/opt/x/shell_test.html");
  EXPECT_EQ(GetHelpFileForModule("/opt/x.y/prog"), "/opt/x.y/prog.html");
  EXPECT_EQ(GetHelpFileForModule(""), "");
  EXPECT_EQ(GetHelpAnchor(0x20000 + 129), "0x20081");
  EXPECT_EQ(GetHelpAnchor(0x20000 + 132), "0x20084");
  // This module is the test program, whose help would lie beside it.
  const std::string strHelp = GetHelpFilePath();
  EXPECT_NE(strHelp.find("shell_test"), std::string::npos) << strHelp;
}
