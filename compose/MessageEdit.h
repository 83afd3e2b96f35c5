// The message edit of the Compose page: a multi-line plain-text edit whose Enter
// inserts a line break and whose text is limited to a number of characters counted
// as the page counts them (a line break counts two: carriage return and line feed).
// The limit holds for typing, pasting and input methods alike: a keystroke that would
// pass it is refused with a beep, and a pasted text is cut to what still fits.
#pragma once

#include <QPlainTextEdit>
#include <QString>
#include <string>

class CMessageEdit : public QPlainTextEdit {
  Q_OBJECT

 public:
  explicit CMessageEdit(QWidget* pParent = nullptr);

  // The limit in counted characters; 0 for none.
  void SetLimit(int nLimit) { m_nLimit = nLimit; }
  int GetLimit() const { return m_nLimit; }

  // Counted characters of the text shown.
  int GetCountedLength() const { return CountCharacters(toPlainText()); }

  // The text as the records hold it (line breaks as carriage return + line feed, in
  // the locale's character set), and back. Setting raises no change signal and cuts
  // a text longer than the limit to the limit.
  std::string GetFieldText() const;
  void SetFieldText(const std::string& strText);

  // Counted characters of a text of the edit (line breaks as '\n' or as the
  // document's separators; a character outside the 16-bit range counts one).
  static int CountCharacters(const QString& strText);
  // The longest beginning of strText that counts at most nRoom characters, never
  // splitting a character.
  static QString CutToRoom(const QString& strText, int nRoom);
  // Line breaks of any kind ("\r\n", "\r") made '\n'.
  static QString NormaliseLineBreaks(const QString& strText);

 protected:
  void keyPressEvent(QKeyEvent* pEvent) override;
  void insertFromMimeData(const QMimeData* pSource) override;
  void inputMethodEvent(QInputMethodEvent* pEvent) override;

 private:
  // Characters that may still be inserted with the current selection replaced; a
  // large number when there is no limit.
  int RoomForInsertion() const;

  int m_nLimit = 0;
};
