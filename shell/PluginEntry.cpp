#include "shell/PluginEntry.h"

#include <QApplication>
#include <QIcon>
#include <memory>

#include "platform/PromptService.h"
#include "res/Resources.h"
#include "res/StringTable.h"
#include "shell/QtPromptService.h"
#include "shell/SMSTabbedDlg.h"
#include "shell/SingleInstance.h"

namespace {

// While the window runs, the plug-in's own prompt service answers, unless the
// caller has installed one (a test's scripted service); the caller's state comes
// back on every way out.
class CPromptServiceScope {
 public:
  explicit CPromptServiceScope(IPromptService* pOwn) {
    m_pPrevious = SetPromptService(pOwn);
    if (m_pPrevious != nullptr)
      SetPromptService(m_pPrevious);  // keep the caller's
  }
  ~CPromptServiceScope() { SetPromptService(m_pPrevious); }
  CPromptServiceScope(const CPromptServiceScope&) = delete;
  CPromptServiceScope& operator=(const CPromptServiceScope&) = delete;

 private:
  IPromptService* m_pPrevious = nullptr;
};

}  // namespace

extern "C" void* CreateQVPlugin(void) {
  // The icon handle is a QIcon* that the host takes over; without an application
  // (a QPixmap cannot exist without one) or without the image it is null.
  QIcon* pIcon = nullptr;
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
    const QIcon icon = LoadIconResource(IDI_MIRETH);
    if (!icon.isNull())
      pIcon = new QIcon(icon.pixmap(QSize(48, 48)));
  }
  const std::string strName = LoadString(IDS_PLUGIN_NAME);
  return QVPlugin_Create(strName.c_str(), pIcon, &PluginCommandProc);
}

extern "C" int32_t PluginCommandProc(int32_t hostValue, int32_t command, int32_t param1, intptr_t param2) {
  if (command == QVPLUGIN_CMD_OPEN)
    RunMessageWindow(reinterpret_cast<const RecipientInfo*>(param2));
  return QVPlugin_DefCommandProc(hostValue, command, param1, param2);
}

void RunMessageWindow(const RecipientInfo* pRecipients) {
  try {
    // The host has an application; a caller without one gets one for the call.
    static int s_argc = 1;
    static char s_szName[] = "mireth";
    static char* s_argv[] = {s_szName, nullptr};
    std::unique_ptr<QApplication> pOwnApplication;
    if (QCoreApplication::instance() == nullptr)
      pOwnApplication = std::make_unique<QApplication>(s_argc, s_argv);
    else if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr)
      return;  // an application without widgets cannot show the window

    CQtPromptService qtPrompt;
    const CPromptServiceScope scope(&qtPrompt);

    const std::string strTitle = LoadString(IDS_SMS_MESSAGE);
    CSingleInstance guard;
    if (!guard.Acquire(strTitle)) {
      AfxMessageBox(LoadString(IDS_ONE_INSTANCE), MB_OK);
      return;
    }
    {
      CSMSTabbedDlg dlg(pRecipients, nullptr);
      dlg.DoModal();
    }
    guard.Release();
  } catch (...) {
    // Nothing may leave the plug-in towards the host.
  }
}
