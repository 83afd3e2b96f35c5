#include "shell/DialogTemplate.h"

#include <QFontMetrics>
#include <QVariant>

namespace {

// a * b / c rounded to the nearest integer, halves away from zero.
int MulDivRound(int a, int b, int c) {
  long long n = static_cast<long long>(a) * b;
  long long q = (n >= 0 ? n + c / 2 : n - c / 2) / c;
  return static_cast<int>(q);
}

}  // namespace

CDialogUnits::CDialogUnits(const QFont& font) {
  QFontMetrics fm(font);
  // The average width of the 52 Latin letters, rounded, as the dialog manager has
  // always measured it; the height is the font's full line height.
  const int nWidth52 =
      fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  m_nBaseX = (nWidth52 / 26 + 1) / 2;
  m_nBaseY = fm.height();
  if (m_nBaseX < 1)
    m_nBaseX = 1;
  if (m_nBaseY < 1)
    m_nBaseY = 1;
}

int CDialogUnits::ToPixelsX(int nUnits) const { return MulDivRound(nUnits, m_nBaseX, 4); }

int CDialogUnits::ToPixelsY(int nUnits) const { return MulDivRound(nUnits, m_nBaseY, 8); }

QRect CDialogUnits::MapRect(int nLeft, int nTop, int nWidth, int nHeight) const {
  // Map both corners, so that adjacent controls stay adjacent after rounding.
  const int x0 = ToPixelsX(nLeft);
  const int y0 = ToPixelsY(nTop);
  const int x1 = ToPixelsX(nLeft + nWidth);
  const int y1 = ToPixelsY(nTop + nHeight);
  return QRect(x0, y0, x1 - x0, y1 - y0);
}

QSize CDialogUnits::MapSize(int nWidth, int nHeight) const {
  return QSize(ToPixelsX(nWidth), ToPixelsY(nHeight));
}

void SetControlId(QWidget* pControl, int nId) {
  if (pControl == nullptr)
    return;
  pControl->setObjectName(QString::number(nId));
  pControl->setProperty(kControlIdProperty, nId);
}

int GetControlId(const QWidget* pControl) {
  if (pControl == nullptr)
    return 0;
  const QVariant v = pControl->property(kControlIdProperty);
  return v.isValid() ? v.toInt() : 0;
}

QString ToWindowText(const std::string& strText) {
  std::string strOut;
  strOut.reserve(strText.size());
  for (size_t i = 0; i < strText.size(); ++i) {
    if (strText[i] == '\r' && i + 1 < strText.size() && strText[i + 1] == '\n')
      continue;
    strOut += strText[i];
  }
  return QString::fromLocal8Bit(strOut);
}
