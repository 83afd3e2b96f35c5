#include "compose/MessageEdit.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMimeData>
#include <QSignalBlocker>
#include <QTextCursor>
#include <limits>

namespace {

bool IsLineBreak(QChar c) {
  return c == u'\n' || c == QChar::ParagraphSeparator || c == QChar::LineSeparator;
}

// Counted characters of one character that starts at strText[i]; nUnits is set to
// the number of 16-bit units it takes.
int CountAt(const QString& strText, qsizetype i, qsizetype& nUnits) {
  const QChar c = strText.at(i);
  nUnits = 1;
  if (c.isHighSurrogate() && i + 1 < strText.size() && strText.at(i + 1).isLowSurrogate()) {
    nUnits = 2;
    return 1;
  }
  return IsLineBreak(c) ? 2 : 1;
}

}  // namespace

CMessageEdit::CMessageEdit(QWidget* pParent) : QPlainTextEdit(pParent) {
  // As in a dialog's edit control: Tab moves on to the next control, Enter stays in
  // the edit as a line break, and the text is plain.
  setTabChangesFocus(true);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // A text dragged within the edit is inserted before the original is removed, which
  // the limit could cut short and so lose text: dropping is not offered.
  setAcceptDrops(false);
  viewport()->setAcceptDrops(false);
}

int CMessageEdit::CountCharacters(const QString& strText) {
  int nCount = 0;
  for (qsizetype i = 0; i < strText.size();) {
    qsizetype nUnits = 1;
    nCount += CountAt(strText, i, nUnits);
    i += nUnits;
  }
  return nCount;
}

QString CMessageEdit::CutToRoom(const QString& strText, int nRoom) {
  int nCount = 0;
  qsizetype i = 0;
  while (i < strText.size()) {
    qsizetype nUnits = 1;
    const int n = CountAt(strText, i, nUnits);
    if (nCount + n > nRoom)
      break;
    nCount += n;
    i += nUnits;
  }
  return strText.left(i);
}

QString CMessageEdit::NormaliseLineBreaks(const QString& strText) {
  QString str = strText;
  str.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  str.replace(u'\r', u'\n');
  return str;
}

std::string CMessageEdit::GetFieldText() const {
  QString str = toPlainText();
  str.replace(QChar::ParagraphSeparator, u'\n');
  str.replace(QChar::LineSeparator, u'\n');
  str.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
  return str.toLocal8Bit().toStdString();
}

void CMessageEdit::SetFieldText(const std::string& strText) {
  QString str = NormaliseLineBreaks(QString::fromLocal8Bit(strText));
  if (m_nLimit > 0)
    str = CutToRoom(str, m_nLimit);
  const QSignalBlocker blocker(this);
  setPlainText(str);
  moveCursor(QTextCursor::End);
}

int CMessageEdit::RoomForInsertion() const {
  if (m_nLimit <= 0)
    return std::numeric_limits<int>::max();
  const int nSelected = CountCharacters(textCursor().selectedText());
  const int nRoom = m_nLimit - (GetCountedLength() - nSelected);
  return nRoom > 0 ? nRoom : 0;
}

void CMessageEdit::keyPressEvent(QKeyEvent* pEvent) {
  if (m_nLimit > 0 && !isReadOnly()) {
    // What the keystroke would insert: a line break for Enter (with any modifier),
    // its text for a key that types. Shortcuts type nothing themselves (Ctrl+V
    // pastes through insertFromMimeData, which keeps the limit); Ctrl with Alt is
    // AltGr on some systems, which does type.
    const Qt::KeyboardModifiers mods = pEvent->modifiers();
    const bool bShortcut =
        ((mods & (Qt::ControlModifier | Qt::MetaModifier)) != 0 && (mods & Qt::AltModifier) == 0) ||
        pEvent->matches(QKeySequence::Paste);
    int nInserted = 0;
    if (pEvent->key() == Qt::Key_Return || pEvent->key() == Qt::Key_Enter) {
      nInserted = 2;
    } else if (!bShortcut) {
      const QString strText = pEvent->text();
      if (!strText.isEmpty() && (strText.at(0).isPrint() || strText.at(0) == u'\t'))
        nInserted = CountCharacters(strText);
    }
    if (nInserted > 0 && nInserted > RoomForInsertion()) {
      QApplication::beep();
      pEvent->accept();
      return;
    }
  }
  QPlainTextEdit::keyPressEvent(pEvent);
}

void CMessageEdit::insertFromMimeData(const QMimeData* pSource) {
  if (pSource == nullptr || !pSource->hasText() || isReadOnly())
    return;
  const QString strText = NormaliseLineBreaks(pSource->text());
  const QString strFits = m_nLimit > 0 ? CutToRoom(strText, RoomForInsertion()) : strText;
  if (strFits.size() < strText.size())
    QApplication::beep();
  if (strFits.isEmpty())
    return;
  textCursor().insertText(strFits);
  ensureCursorVisible();
}

void CMessageEdit::inputMethodEvent(QInputMethodEvent* pEvent) {
  const QString strCommit = pEvent->commitString();
  if (m_nLimit > 0 && !strCommit.isEmpty()) {
    const QString strFits = CutToRoom(NormaliseLineBreaks(strCommit), RoomForInsertion());
    if (strFits != strCommit) {
      QApplication::beep();
      QInputMethodEvent cut(pEvent->preeditString(), pEvent->attributes());
      cut.setCommitString(strFits, pEvent->replacementStart(), pEvent->replacementLength());
      QPlainTextEdit::inputMethodEvent(&cut);
      pEvent->accept();
      return;
    }
  }
  QPlainTextEdit::inputMethodEvent(pEvent);
}
