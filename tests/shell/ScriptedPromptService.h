// A prompt service for tests: records every message box and error dialog, answers
// questions from a queue (the default button when the queue is empty) and keeps the
// wait-cursor depth.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/PromptService.h"

class CScriptedPromptService : public IPromptService {
 public:
  struct SBox {
    std::string strText, strCaption;
    unsigned int nType = 0;
  };
  struct SErrorDialog {
    std::string strFirst, strSecond, strThird, strCode;
  };

  CScriptedPromptService() : m_pPrevious(SetPromptService(this)) {}
  ~CScriptedPromptService() override { SetPromptService(m_pPrevious); }
  CScriptedPromptService(const CScriptedPromptService&) = delete;
  CScriptedPromptService& operator=(const CScriptedPromptService&) = delete;

  int MessageBox(const std::string& text, const std::string& caption, unsigned int type) override {
    m_boxes.push_back({text, caption, type});
    if (m_answers.empty())
      return (type & 0xF) != MB_YESNO ? IDOK : (type & MB_DEFBUTTON2) ? IDNO : IDYES;
    const int n = m_answers.front();
    m_answers.pop_front();
    return n;
  }
  void BeginWaitCursor() override { ++m_nWaitDepth; }
  void EndWaitCursor() override { --m_nWaitDepth; }
  void ShowErrorDialog(const std::string& strFirst, const std::string& strSecond, const std::string& strThird,
                       const std::string& strCode) override {
    m_errors.push_back({strFirst, strSecond, strThird, strCode});
  }
  void QueueAnswer(int nAnswer) { m_answers.push_back(nAnswer); }
  // The texts of the message boxes shown so far, in order.
  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const SBox& box : m_boxes)
      texts.push_back(box.strText);
    return texts;
  }
  void Clear() {
    m_boxes.clear();
    m_errors.clear();
  }

  std::vector<SBox> m_boxes;
  std::vector<SErrorDialog> m_errors;
  int m_nWaitDepth = 0;

 private:
  std::deque<int> m_answers;
  IPromptService* m_pPrevious;
};
