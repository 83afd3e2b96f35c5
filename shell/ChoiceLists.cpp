#include "shell/ChoiceLists.h"

#include <QComboBox>
#include <QEvent>
#include <QWidget>

namespace {

// Swallows wheel events of a list that lacks the focus, so that neither the list nor
// the page under it reacts.
class CWheelGuard : public QObject {
 public:
  explicit CWheelGuard(QObject* pParent) : QObject(pParent) {}

 protected:
  bool eventFilter(QObject* pWatched, QEvent* pEvent) override {
    if (pEvent->type() != QEvent::Wheel)
      return false;
    const auto* pList = qobject_cast<QComboBox*>(pWatched);
    return pList != nullptr && !pList->hasFocus();
  }
};

}  // namespace

void PrepareChoiceList(QComboBox* pList) {
  if (pList == nullptr)
    return;
  pList->setFocusPolicy(Qt::StrongFocus);
  pList->installEventFilter(new CWheelGuard(pList));
  // A style that opens the list as a menu over the field sizes it to every item;
  // the scrolled list form keeps to the visible-item count.
  pList->setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
  if (pList->maxVisibleItems() > kMaxVisibleChoices)
    pList->setMaxVisibleItems(kMaxVisibleChoices);
}

void PrepareChoiceLists(QWidget* pParent) {
  if (pParent == nullptr)
    return;
  for (QComboBox* pList : pParent->findChildren<QComboBox*>())
    PrepareChoiceList(pList);
}
