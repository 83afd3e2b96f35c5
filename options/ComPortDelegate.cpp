#include "options/ComPortDelegate.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFontMetrics>
#include <QStyle>
#include <algorithm>

QString CComPortDelegate::GetItemLabel(const QString& strName, const QString& strDevice) {
  if (strDevice.isEmpty())
    return strName;
  return strName + QStringLiteral("   ") + strDevice;
}

void CComPortDelegate::FitPopupWidth(QComboBox* pList) {
  if (pList == nullptr)
    return;
  const QFontMetrics metrics(pList->view()->font());
  int nWidest = 0;
  for (int i = 0; i < pList->count(); ++i) {
    const QString strLabel = GetItemLabel(pList->itemText(i), pList->itemData(i, kDeviceRole).toString());
    nWidest = std::max(nWidest, metrics.horizontalAdvance(strLabel));
  }
  // Room for the item's margins and a scroll bar.
  const int nMargins = 4 * pList->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, pList) +
                       pList->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, pList) + 16;
  pList->view()->setMinimumWidth(std::max(pList->width(), nWidest + nMargins));
}

void CComPortDelegate::initStyleOption(QStyleOptionViewItem* pOption, const QModelIndex& index) const {
  QStyledItemDelegate::initStyleOption(pOption, index);
  pOption->text = GetItemLabel(pOption->text, index.data(kDeviceRole).toString());
}
