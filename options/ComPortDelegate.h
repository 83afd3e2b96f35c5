// How the COM port list draws its items when it is open: each COM name with the
// device that the port map gives it ("COM3   /dev/ttyUSB0"), so that the user can
// tell which name is which device. The items themselves hold the bare names, which
// are what the page selects, reads and stores; the device is kept in the item's
// data (kDeviceRole).
#pragma once

#include <QStyledItemDelegate>

class QComboBox;

class CComPortDelegate : public QStyledItemDelegate {
  Q_OBJECT

 public:
  // The item data role that holds the device path of a COM name.
  static constexpr int kDeviceRole = Qt::UserRole + 1;

  explicit CComPortDelegate(QObject* pParent = nullptr) : QStyledItemDelegate(pParent) {}

  // The text an item shows in the open list: the name, then the device if any.
  static QString GetItemLabel(const QString& strName, const QString& strDevice);
  // Widens the open list of pList so that the longest item label fits.
  static void FitPopupWidth(QComboBox* pList);

 protected:
  void initStyleOption(QStyleOptionViewItem* pOption, const QModelIndex& index) const override;
};
