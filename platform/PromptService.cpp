#include "platform/PromptService.h"

#include <atomic>
#include <cstdio>

namespace {

class CConsolePromptService final : public IPromptService {
 public:
  int MessageBox(const std::string& text, const std::string& caption, unsigned int type) override {
    if (!caption.empty())
      std::fprintf(stderr, "%s: ", caption.c_str());
    std::fprintf(stderr, "%s\n", text.c_str());
    if ((type & 0xF) == MB_YESNO)
      return (type & MB_DEFBUTTON2) ? IDNO : IDYES;
    return IDOK;
  }
  void BeginWaitCursor() override {}
  void EndWaitCursor() override {}
};

CConsolePromptService g_console;
std::atomic<IPromptService*> g_pService{nullptr};

}  // namespace

IPromptService& GetPromptService() {
  IPromptService* p = g_pService.load();
  return p ? *p : g_console;
}

IPromptService* SetPromptService(IPromptService* pService) {
  IPromptService* pOld = g_pService.exchange(pService);
  return pOld;
}

int AfxMessageBox(const std::string& text, unsigned int type) {
  return GetPromptService().MessageBox(text, "", type);
}
