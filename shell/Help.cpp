#include "shell/Help.h"

#include <dlfcn.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <cstdio>

namespace {

// The window stays open beside the sheet and follows the topic of each request.
class CHelpWindow : public QDialog {
 public:
  explicit CHelpWindow(QWidget* pOwner) : QDialog(pOwner) {
    setObjectName(QStringLiteral("MirethHelp"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* pLayout = new QVBoxLayout(this);
    m_pBrowser = new QTextBrowser(this);
    m_pBrowser->setOpenExternalLinks(true);
    pLayout->addWidget(m_pBrowser);
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::close);
    pLayout->addWidget(pButtons);
    connect(m_pBrowser, &QTextBrowser::sourceChanged, this,
            [this] { setWindowTitle(m_pBrowser->documentTitle()); });
    resize(560, 480);
  }

  void ShowTopic(const QString& strFile, const QString& strAnchor) {
    QUrl url = QUrl::fromLocalFile(strFile);
    url.setFragment(strAnchor);
    setProperty("helpUrl", url.toString());
    if (QFileInfo::exists(strFile)) {
      m_pBrowser->setSource(url);
    } else {
      // Nothing to show but where the help was looked for.
      m_pBrowser->setPlainText(url.toDisplayString(QUrl::PreferLocalFile));
    }
  }

  QTextBrowser* m_pBrowser;
};

QPointer<CHelpWindow> g_pHelpWindow;

}  // namespace

std::string GetModuleFilePath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&GetModuleFilePath), &info) == 0 || info.dli_fname == nullptr)
    return {};
  if (info.dli_fname[0] == '/')
    return info.dli_fname;
  // Linked into the program itself: the loader names it as it was started.
  char szPath[4096];
  const ssize_t n = ::readlink("/proc/self/exe", szPath, sizeof szPath - 1);
  if (n <= 0)
    return info.dli_fname;
  return std::string(szPath, static_cast<size_t>(n));
}

std::string GetHelpFileForModule(const std::string& strModulePath) {
  if (strModulePath.empty())
    return {};
  const size_t nSlash = strModulePath.rfind('/');
  const size_t nNameStart = nSlash == std::string::npos ? 0 : nSlash + 1;
  std::string strStem = strModulePath.substr(nNameStart);
  // "libmireth.so.1.2" and "libmireth.so" -> "libmireth"; "prog.bin" -> "prog".
  const size_t nSo = strStem.find(".so");
  if (nSo != std::string::npos && (nSo + 3 == strStem.size() || strStem[nSo + 3] == '.')) {
    strStem.erase(nSo);
  } else {
    const size_t nDot = strStem.rfind('.');
    if (nDot != std::string::npos && nDot > 0)
      strStem.erase(nDot);
  }
  return strModulePath.substr(0, nNameStart) + strStem + ".html";
}

std::string GetHelpFilePath() { return GetHelpFileForModule(GetModuleFilePath()); }

std::string GetHelpAnchor(unsigned int nTopic) {
  char szAnchor[16];
  std::snprintf(szAnchor, sizeof szAnchor, "0x%x", nTopic);
  return szAnchor;
}

bool ShowHelpTopic(unsigned int nTopic, QWidget* pOwner) {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
    return false;
  if (!g_pHelpWindow.isNull() && g_pHelpWindow->parentWidget() != pOwner)
    delete g_pHelpWindow.data();
  if (g_pHelpWindow.isNull())
    g_pHelpWindow = new CHelpWindow(pOwner);
  g_pHelpWindow->ShowTopic(QString::fromLocal8Bit(GetHelpFilePath()),
                           QString::fromLatin1(GetHelpAnchor(nTopic)));
  g_pHelpWindow->show();
  g_pHelpWindow->raise();
  g_pHelpWindow->activateWindow();
  return true;
}
