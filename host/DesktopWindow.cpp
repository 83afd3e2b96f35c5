#include "host/DesktopWindow.h"

#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QStatusBar>
#include <QVBoxLayout>

namespace {

constexpr int kHandleRole = Qt::UserRole + 1;

}  // namespace

CDesktopWindow::CDesktopWindow(const RecipientInfo* pRecipient, QWidget* pParent)
    : QMainWindow(pParent), m_pRecipient(pRecipient), m_pList(new QListWidget), m_pNotes(new QLabel) {
  setWindowTitle(QStringLiteral("HVDesktop"));

  auto* pCentral = new QWidget;
  auto* pLayout = new QVBoxLayout(pCentral);
  auto* pHint = new QLabel(tr("Double-click a plug-in to open it."));
  pLayout->addWidget(pHint);

  m_pList->setViewMode(QListView::IconMode);
  m_pList->setIconSize(QSize(48, 48));
  m_pList->setGridSize(QSize(104, 84));
  m_pList->setMovement(QListView::Static);
  m_pList->setResizeMode(QListView::Adjust);
  m_pList->setWordWrap(true);
  m_pList->setUniformItemSizes(true);
  m_pList->setSelectionMode(QAbstractItemView::SingleSelection);
  pLayout->addWidget(m_pList, 1);

  m_pNotes->setWordWrap(true);
  m_pNotes->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_pNotes->hide();
  pLayout->addWidget(m_pNotes);
  setCentralWidget(pCentral);

  if (m_pRecipient != nullptr) {
    const QString name = QString::fromLocal8Bit(m_pRecipient->pszName);
    const int n = m_pRecipient->nCount;
    statusBar()->showMessage(n == 1 ? tr("Recipient: %1 (1 number)").arg(name)
                                    : tr("Recipient: %1 (%2 numbers)").arg(name, QString::number(n)));
  } else {
    statusBar()->showMessage(tr("Ready"));
  }
  connect(m_pList, &QListWidget::itemActivated, this, &CDesktopWindow::OnActivated);
  resize(420, 260);
}

void CDesktopWindow::ShowPlugins(const std::vector<std::string>& notes) {
  m_pList->clear();
  const int32_t n = QVPlugin_GetCount();
  for (int32_t i = 0; i < n; ++i) {
    void* handle = QVPlugin_GetHandle(i);
    const QIcon* pIcon = QVPlugin_GetIcon(handle);
    auto* pItem =
        new QListWidgetItem(pIcon ? *pIcon : QIcon(), QString::fromLocal8Bit(QVPlugin_GetName(handle)));
    pItem->setData(kHandleRole, QVariant::fromValue(reinterpret_cast<quintptr>(handle)));
    pItem->setTextAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_pList->addItem(pItem);
  }
  if (n > 0)
    m_pList->setCurrentRow(0);

  QStringList lines;
  if (n == 0)
    lines << tr("No plug-ins were found.");
  for (const std::string& note : notes)
    lines << QString::fromLocal8Bit(note.c_str());
  m_pNotes->setText(lines.join(QLatin1Char('\n')));
  m_pNotes->setVisible(!lines.isEmpty());
}

int32_t CDesktopWindow::SendCommand(void* handle, int32_t command) {
  const QString name = QString::fromLocal8Bit(QVPlugin_GetName(handle));
  const intptr_t param2 = command == QVPLUGIN_CMD_OPEN ? reinterpret_cast<intptr_t>(m_pRecipient) : 0;
  statusBar()->showMessage(tr("%1: command %2 ...").arg(name).arg(command));
  const int32_t result = QVPlugin_SendCommand(handle, command, 0, param2);
  if (command == QVPLUGIN_CMD_OPEN)
    statusBar()->showMessage(tr("%1: window closed (result %2)").arg(name).arg(result));
  else
    statusBar()->showMessage(tr("%1: command %2, result %3").arg(name).arg(command).arg(result));
  return result;
}

void CDesktopWindow::OnActivated(QListWidgetItem* pItem) {
  if (pItem == nullptr)
    return;
  void* handle = reinterpret_cast<void*>(pItem->data(kHandleRole).value<quintptr>());
  SendCommand(handle, QVPLUGIN_CMD_OPEN);
}
