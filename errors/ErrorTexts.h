// The texts of error reports: the paragraphs and the code line of the error dialog
// for a phone status code, and the one-line texts of file and archive error causes
// that the store files show in a message box.
#pragma once

#include <string>

// Up to three paragraphs of explanation (an empty one is shown empty) and the code
// line, "Error Code: " followed by the code in signed decimal.
struct CErrorParagraphs {
  std::string strFirst, strSecond, strThird, strCode;
};

// The paragraphs for a phone status code; a code without an entry of its own gets
// the unknown-error texts.
CErrorParagraphs GetErrorParagraphs(int nCode);

// Text of an archive-error cause: cause 0 empties strText, causes 1 to 7 set their
// text, any other cause leaves strText as it was.
void GetArchiveErrorText(int nCause, std::string& strText);

// Text of a file-error cause: causes 1 to 6 and 9 to 14 set their text; causes 7 and
// 8, 0 and any other cause leave strText as it was.
void GetFileErrorText(int nCause, std::string& strText);
