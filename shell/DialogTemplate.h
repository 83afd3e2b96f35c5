// Helpers for building windows from dialog templates: conversion of dialog units to
// pixels with the dialog's font, and numeric control ids kept on the widgets so that
// code and tests can find a control by the id the template gives it.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>
#include <string>

// Dialog units of one font: a horizontal unit is a quarter of the font's average
// character width, a vertical unit an eighth of its height.
class CDialogUnits {
 public:
  explicit CDialogUnits(const QFont& font);
  CDialogUnits(int nBaseX, int nBaseY) : m_nBaseX(nBaseX), m_nBaseY(nBaseY) {}

  int GetBaseX() const { return m_nBaseX; }
  int GetBaseY() const { return m_nBaseY; }

  int ToPixelsX(int nUnits) const;
  int ToPixelsY(int nUnits) const;
  // Left, top, width and height in dialog units to a rectangle in pixels.
  QRect MapRect(int nLeft, int nTop, int nWidth, int nHeight) const;
  QSize MapSize(int nWidth, int nHeight) const;

 private:
  int m_nBaseX;
  int m_nBaseY;
};

// A text of the string table for a window: from the locale's character set, with its
// "\r\n" line breaks made "\n".
QString ToWindowText(const std::string& strText);

// Name of the property that holds a control's numeric id.
inline constexpr const char* kControlIdProperty = "ctrlId";

// Gives a control its template id: the object name becomes the number ("1051") and
// the "ctrlId" property holds it as an int.
void SetControlId(QWidget* pControl, int nId);
// The id set by SetControlId, or 0 when the widget has none.
int GetControlId(const QWidget* pControl);

// The control with that id below pParent, or nullptr when there is none (or it is
// not a T).
template <class T = QWidget>
T* FindControl(const QWidget* pParent, int nId) {
  if (pParent == nullptr)
    return nullptr;
  return pParent->findChild<T*>(QString::number(nId));
}
