// The rows of a message list as a table model. A page binds its message array and
// gives each column a cell function; row i then shows element i of the array, and
// the cell texts are made when the view asks for them (only the rows on screen), so
// filling n rows costs one model reset, not n inserts and no per-cell objects.
//
// The row count is the model's own: it follows the array only when the page refills
// the list (ResetRows) or inserts and removes rows, so a page that grows its array
// and does not refill keeps showing the old rows, as a list control would. A row
// beyond the end of the array shows empty cells.
//
// A list with no array bound keeps the texts it is given (InsertRow, SetText), for
// callers that fill a list cell by cell.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <string>
#include <vector>

#include "model/Lists.h"

class CSortListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // The text of one cell for a message, in the locale's character set.
  using CellText = std::string (*)(const CMessage&);

  explicit CSortListModel(QObject* pParent = nullptr);

  // Columns: the heading, left-aligned, and how a message gives its cell.
  int InsertColumn(int nCol, const QString& strHeading);
  void SetCellText(int nCol, CellText pfnCellText);
  int GetColumnCount() const { return static_cast<int>(m_columns.size()); }

  // Binds the array whose elements the rows show (nullptr: texts kept by the model).
  // The rows are not refilled.
  void SetMessages(const CMessageArray* pMessages);
  const CMessageArray* GetMessages() const { return m_pMessages; }

  // The rows become nRows rows (of the bound array: elements 0..nRows-1; of a list
  // with texts: nRows empty rows), with one reset of the model.
  void ResetRows(int nRows);
  // Inserts one row at nRow (clamped to the ends) and returns its index; with texts
  // kept by the model, the row gets strText in column 0.
  int InsertRow(int nRow, const QString& strText);
  // Sets one cell's text; only for a list with texts kept by the model.
  void SetText(int nRow, int nCol, const QString& strText);
  bool RemoveRow(int nRow);
  // Removes the rows of nRows (ascending, distinct, all valid) in one reset.
  void RemoveRows(const std::vector<int>& rows);
  QString GetText(int nRow, int nCol) const;
  int GetRowCount() const { return m_nRows; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int nRole) const override;
  QVariant headerData(int nSection, Qt::Orientation orientation, int nRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  struct SColumn {
    QString strHeading;
    CellText pfnCellText = nullptr;
  };
  std::vector<SColumn> m_columns;
  const CMessageArray* m_pMessages = nullptr;
  int m_nRows = 0;
  std::vector<std::vector<QString>> m_texts;  // rows of a list without an array
};
