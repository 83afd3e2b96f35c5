// HVDesktop's window: one entry per registered plug-in, its icon (48 x 48) with its
// name underneath. Activating an entry (double-click or Enter) sends it command 1,
// with the recipient given on the command line, if any.
#pragma once

#include <QMainWindow>

#include <string>
#include <vector>

#include "host/QVPlugin.h"

class QLabel;
class QListWidget;
class QListWidgetItem;

class CDesktopWindow : public QMainWindow {
  Q_OBJECT

 public:
  // pRecipient (may be null) must outlive the window.
  explicit CDesktopWindow(const RecipientInfo* pRecipient, QWidget* pParent = nullptr);

  // Shows every registered plug-in; the notes (load failures, where was searched) go
  // below the list.
  void ShowPlugins(const std::vector<std::string>& notes);

  // Sends a command to a plug-in, shows the outcome in the status bar and returns the
  // command procedure's result. Command 1 carries the recipient.
  int32_t SendCommand(void* handle, int32_t command);

  QListWidget* GetList() const { return m_pList; }

 private:
  void OnActivated(QListWidgetItem* pItem);

  const RecipientInfo* m_pRecipient;
  QListWidget* m_pList;
  QLabel* m_pNotes;
};
