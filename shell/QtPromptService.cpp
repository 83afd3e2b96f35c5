#include "shell/QtPromptService.h"

#include <QApplication>
#include <QCursor>
#include <QMessageBox>
#include <QPushButton>
#include <QString>

#include "shell/ErrorDlg.h"
#include "shell/DialogTemplate.h"
#include "res/StringTable.h"

namespace {

QWidget* ActiveOwner() {
  if (QWidget* p = QApplication::activeModalWidget())
    return p;
  return QApplication::activeWindow();
}

bool HaveGui() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

}  // namespace

class CQtPromptService::CCursorPause {
 public:
  explicit CCursorPause(int nDepth) : m_nDepth(nDepth) {
    for (int i = 0; i < m_nDepth; ++i)
      QApplication::restoreOverrideCursor();
  }
  ~CCursorPause() {
    for (int i = 0; i < m_nDepth; ++i)
      QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  }
  CCursorPause(const CCursorPause&) = delete;
  CCursorPause& operator=(const CCursorPause&) = delete;

 private:
  int m_nDepth;
};

CQtPromptService::~CQtPromptService() {
  // Never leave the application with a wait cursor that nobody will end.
  if (HaveGui())
    while (m_nWaitDepth > 0) {
      QApplication::restoreOverrideCursor();
      --m_nWaitDepth;
    }
}

int CQtPromptService::MessageBox(const std::string& text, const std::string& caption, unsigned int type) {
  if (!HaveGui())
    return (type & 0xF) == MB_YESNO ? ((type & MB_DEFBUTTON2) ? IDNO : IDYES) : IDOK;

  QMessageBox box(ActiveOwner());
  box.setWindowTitle(QString::fromLocal8Bit(caption.empty() ? LoadString(IDS_SMS_MESSAGE) : caption));
  box.setText(ToWindowText(text));
  box.setTextFormat(Qt::PlainText);
  switch (type & 0xF0) {
    case MB_ICONERROR:
      box.setIcon(QMessageBox::Critical);
      break;
    case MB_ICONQUESTION:
      box.setIcon(QMessageBox::Question);
      break;
    case MB_ICONWARNING:
      box.setIcon(QMessageBox::Warning);
      break;
    case MB_ICONINFORMATION:
      box.setIcon(QMessageBox::Information);
      break;
    default:
      box.setIcon(QMessageBox::NoIcon);
      break;
  }
  const bool bYesNo = (type & 0xF) == MB_YESNO;
  if (bYesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton((type & MB_DEFBUTTON2) ? QMessageBox::No : QMessageBox::Yes);
    // The window's close box answers with the default, as a Yes/No box has no Cancel.
    box.setEscapeButton((type & MB_DEFBUTTON2) ? QMessageBox::No : QMessageBox::Yes);
  } else {
    box.setStandardButtons(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
  }

  const CCursorPause pause(m_nWaitDepth);
  const int nResult = box.exec();
  if (!bYesNo)
    return IDOK;
  return nResult == QMessageBox::Yes ? IDYES : IDNO;
}

void CQtPromptService::BeginWaitCursor() {
  if (!HaveGui())
    return;
  QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  ++m_nWaitDepth;
}

void CQtPromptService::EndWaitCursor() {
  if (!HaveGui() || m_nWaitDepth == 0)
    return;
  QApplication::restoreOverrideCursor();
  --m_nWaitDepth;
}

void CQtPromptService::ShowErrorDialog(const std::string& strFirst, const std::string& strSecond,
                                       const std::string& strThird, const std::string& strCode) {
  if (!HaveGui()) {
    IPromptService::ShowErrorDialog(strFirst, strSecond, strThird, strCode);
    return;
  }
  CErrorDlg dlg(strFirst, strSecond, strThird, strCode, ActiveOwner());
  const CCursorPause pause(m_nWaitDepth);
  dlg.DoModal();
}
