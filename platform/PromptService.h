// The prompt service: message boxes, questions, the wait cursor and help, behind one
// interface so that code below the window never touches a toolkit. The window
// installs a Qt implementation; the command-line program a console one; tests a
// scripted one that records what was shown and answers questions.
#pragma once

#include <initializer_list>
#include <string>

// Buttons and icons of a message box (values as the classic message-box flags).
enum : unsigned int {
  MB_OK = 0x0,
  MB_YESNO = 0x4,
  MB_ICONERROR = 0x10,
  MB_ICONQUESTION = 0x20,
  MB_ICONWARNING = 0x30,
  MB_ICONINFORMATION = 0x40,
  MB_DEFBUTTON2 = 0x100,
};

// Answers.
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

class IPromptService {
 public:
  virtual ~IPromptService() = default;
  // Shows text in a message box; returns the button pressed (IDOK, IDYES, IDNO).
  // An empty caption means the application's own title.
  virtual int MessageBox(const std::string& text, const std::string& caption, unsigned int type) = 0;
  // Wait cursor: calls nest; each Begin is matched by one End.
  virtual void BeginWaitCursor() = 0;
  virtual void EndWaitCursor() = 0;
  // The error dialog: up to three paragraphs (an empty one is shown empty) and the
  // error-code line; returns when the user has closed it. Services without a dialog
  // of their own show the texts in an OK message box.
  virtual void ShowErrorDialog(const std::string& strFirst, const std::string& strSecond,
                               const std::string& strThird, const std::string& strCode) {
    std::string strText;
    for (const std::string* p : {&strFirst, &strSecond, &strThird, &strCode}) {
      if (p->empty())
        continue;
      if (!strText.empty())
        strText += "\n\n";
      strText += *p;
    }
    MessageBox(strText, "", MB_OK | MB_ICONERROR);
  }
};

// The service in use. Before any is installed, a console service that writes the
// text to standard error and answers every question with its default button.
IPromptService& GetPromptService();

// Installs a service (not owned); nullptr restores the console service.
// Returns the previous one.
IPromptService* SetPromptService(IPromptService* pService);

// Shorthand for GetPromptService().MessageBox(text, "", type).
int AfxMessageBox(const std::string& text, unsigned int type = MB_OK);
