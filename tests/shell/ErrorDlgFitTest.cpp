// The error dialog at the fonts a Linux desktop uses: every code's paragraphs are
// shown whole (no line cut off at the foot of its box), the boxes do not run into
// one another, and the code line and the button stay inside the dialog.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>

#include "ShellTestSupport.h"
#include "shell/ErrorDlg.h"
#include "errors/ErrorTexts.h"
#include "shell/DialogTemplate.h"

namespace {

// The lines a label's text takes at its width, measured apart from the label.
int NeededHeight(const QLabel& label) {
  const QFontMetrics fm(label.font());
  return fm.boundingRect(QRect(0, 0, label.width(), 100000), Qt::TextWordWrap | Qt::TextExpandTabs,
                         label.text())
      .height();
}

std::vector<int> AllCodes() {
  std::vector<int> codes{0, 1, -1001};
  for (int n = -1000; n <= -975; ++n) codes.push_back(n);
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

TEST(ErrorDlgFitTest, EveryCodesParagraphsFitAtDesktopFonts) {
  TestApp();
  struct SFont {
    const char* pszFamily;
    int nPoints;
  };
  const SFont fonts[] = {{"DejaVu Sans", 9}, {"DejaVu Sans", 10}, {"DejaVu Sans", 11},
                         {"DejaVu Sans", 12}, {"DejaVu Serif", 11}, {"DejaVu Sans Mono", 10}};
  for (const SFont& f : fonts) {
    const CAppFont appFont(QFont(f.pszFamily, f.nPoints));
    for (int nCode : AllCodes()) {
      SCOPED_TRACE(std::string(f.pszFamily) + " " + std::to_string(f.nPoints) + "pt, code " + std::to_string(nCode));
      const CErrorParagraphs texts = GetErrorParagraphs(nCode);
      CErrorDlg dlg(texts.strFirst, texts.strSecond, texts.strThird, texts.strCode);
      dlg.show();
      const QRect client = dlg.rect();
      int nBottom = 0;
      for (int nId : {CErrorDlg::IDC_FIRST, CErrorDlg::IDC_SECOND, CErrorDlg::IDC_THIRD, CErrorDlg::IDC_CODE}) {
        const QLabel* pLabel = FindControl<QLabel>(&dlg, nId);
        ASSERT_NE(pLabel, nullptr);
        EXPECT_LE(NeededHeight(*pLabel), pLabel->height()) << "box " << nId << ": " << pLabel->text().toStdString();
        EXPECT_GE(pLabel->y(), nId == CErrorDlg::IDC_CODE ? 0 : nBottom) << "box " << nId << " overlaps the one above";
        EXPECT_TRUE(client.contains(pLabel->geometry())) << "box " << nId;
        nBottom = pLabel->geometry().bottom();
      }
      const QPushButton* pContinue = FindControl<QPushButton>(&dlg, CErrorDlg::IDC_CONTINUE);
      ASSERT_NE(pContinue, nullptr);
      EXPECT_TRUE(client.contains(pContinue->geometry()));
      EXPECT_GT(pContinue->y(), FindControl<QLabel>(&dlg, CErrorDlg::IDC_THIRD)->geometry().bottom());
      dlg.hide();
    }
  }
}

TEST(ErrorDlgFitTest, TheTemplateIsMappedWithTheFontInUse) {
  TestApp();
  const CErrorParagraphs texts = GetErrorParagraphs(-998);
  int nSmallWidth = 0;
  for (int nPoints : {9, 18}) {
    const CAppFont appFont(QFont("DejaVu Sans", nPoints));
    CErrorDlg dlg(texts.strFirst, texts.strSecond, texts.strThird, texts.strCode);
    const CDialogUnits units(QApplication::font());
    // A short paragraph: the dialog keeps the template's size in this font's units.
    EXPECT_EQ(dlg.size(), units.MapSize(293, 159)) << nPoints;
    EXPECT_EQ(FindControl<QLabel>(&dlg, CErrorDlg::IDC_FIRST)->geometry(), units.MapRect(7, 40, 264, 19));
    if (nSmallWidth == 0)
      nSmallWidth = dlg.width();
    else
      EXPECT_GT(dlg.width(), nSmallWidth * 3 / 2);
  }
}
