#include "lists/SortListModel.h"

#include <algorithm>

CSortListModel::CSortListModel(QObject* pParent) : QAbstractTableModel(pParent) {}

int CSortListModel::InsertColumn(int nCol, const QString& strHeading) {
  if (nCol < 0 || nCol > GetColumnCount())
    nCol = GetColumnCount();
  beginInsertColumns(QModelIndex(), nCol, nCol);
  m_columns.insert(m_columns.begin() + nCol, SColumn{strHeading, nullptr});
  for (auto& row : m_texts)
    if (static_cast<size_t>(nCol) <= row.size())
      row.insert(row.begin() + nCol, QString());
  endInsertColumns();
  return nCol;
}

void CSortListModel::SetCellText(int nCol, CellText pfnCellText) {
  if (nCol < 0 || nCol >= GetColumnCount())
    return;
  m_columns[static_cast<size_t>(nCol)].pfnCellText = pfnCellText;
  if (m_nRows > 0)
    emit dataChanged(index(0, nCol), index(m_nRows - 1, nCol));
}

void CSortListModel::SetMessages(const CMessageArray* pMessages) { m_pMessages = pMessages; }

void CSortListModel::ResetRows(int nRows) {
  beginResetModel();
  m_nRows = std::max(0, nRows);
  m_texts.clear();
  if (m_pMessages == nullptr)
    m_texts.resize(static_cast<size_t>(m_nRows), std::vector<QString>(m_columns.size()));
  endResetModel();
}

int CSortListModel::InsertRow(int nRow, const QString& strText) {
  if (nRow < 0 || nRow > m_nRows)
    nRow = m_nRows;
  beginInsertRows(QModelIndex(), nRow, nRow);
  if (m_pMessages == nullptr) {
    std::vector<QString> row(m_columns.size());
    if (!row.empty())
      row[0] = strText;
    m_texts.insert(m_texts.begin() + nRow, std::move(row));
  }
  ++m_nRows;
  endInsertRows();
  return nRow;
}

void CSortListModel::SetText(int nRow, int nCol, const QString& strText) {
  if (m_pMessages != nullptr || nRow < 0 || nRow >= m_nRows || nCol < 0 || nCol >= GetColumnCount())
    return;
  m_texts[static_cast<size_t>(nRow)][static_cast<size_t>(nCol)] = strText;
  emit dataChanged(index(nRow, nCol), index(nRow, nCol));
}

bool CSortListModel::RemoveRow(int nRow) {
  if (nRow < 0 || nRow >= m_nRows)
    return false;
  beginRemoveRows(QModelIndex(), nRow, nRow);
  if (m_pMessages == nullptr)
    m_texts.erase(m_texts.begin() + nRow);
  --m_nRows;
  endRemoveRows();
  return true;
}

void CSortListModel::RemoveRows(const std::vector<int>& rows) {
  if (rows.empty())
    return;
  beginResetModel();
  if (m_pMessages == nullptr) {
    // One pass: keep every row that is not the next one to go.
    size_t nNext = 0, nKept = 0;
    for (size_t i = 0; i < m_texts.size(); ++i) {
      if (nNext < rows.size() && static_cast<size_t>(rows[nNext]) == i) {
        ++nNext;
        continue;
      }
      if (nKept != i)
        m_texts[nKept] = std::move(m_texts[i]);
      ++nKept;
    }
    m_texts.resize(nKept);
  }
  m_nRows = std::max(0, m_nRows - static_cast<int>(rows.size()));
  endResetModel();
}

QString CSortListModel::GetText(int nRow, int nCol) const {
  if (nRow < 0 || nRow >= m_nRows || nCol < 0 || nCol >= GetColumnCount())
    return QString();
  if (m_pMessages == nullptr)
    return m_texts[static_cast<size_t>(nRow)][static_cast<size_t>(nCol)];
  const CellText pfn = m_columns[static_cast<size_t>(nCol)].pfnCellText;
  if (pfn == nullptr || static_cast<size_t>(nRow) >= m_pMessages->size())
    return QString();
  return QString::fromLocal8Bit(pfn(*(*m_pMessages)[static_cast<size_t>(nRow)]));
}

int CSortListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_nRows; }

int CSortListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : GetColumnCount();
}

QVariant CSortListModel::data(const QModelIndex& index, int nRole) const {
  if (!index.isValid())
    return QVariant();
  switch (nRole) {
    case Qt::DisplayRole:
      return GetText(index.row(), index.column());
    case Qt::TextAlignmentRole:
      return int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
      return QVariant();
  }
}

QVariant CSortListModel::headerData(int nSection, Qt::Orientation orientation, int nRole) const {
  if (orientation != Qt::Horizontal || nSection < 0 || nSection >= GetColumnCount())
    return QVariant();
  switch (nRole) {
    case Qt::DisplayRole:
      return m_columns[static_cast<size_t>(nSection)].strHeading;
    case Qt::TextAlignmentRole:
      return int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
      return QVariant();
  }
}

Qt::ItemFlags CSortListModel::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
}
