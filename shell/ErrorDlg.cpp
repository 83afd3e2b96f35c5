#include "shell/ErrorDlg.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <utility>

#include "res/Resources.h"
#include "res/StringTable.h"
#include "shell/DialogTemplate.h"
#include "shell/PageControls.h"

namespace {

QLabel* AddStatic(QWidget* pParent, const CDialogUnits& units, int nId, unsigned int nText, int x, int y,
                  int cx, int cy) {
  auto* pLabel = new QLabel(WindowText(nText), pParent);
  pLabel->setTextFormat(Qt::PlainText);
  pLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  pLabel->setGeometry(units.MapRect(x, y, cx, cy));
  if (nId != 0)
    SetControlId(pLabel, nId);
  return pLabel;
}

}  // namespace

CErrorDlg::CErrorDlg(std::string strFirst, std::string strSecond, std::string strThird, std::string strCode,
                     QWidget* pParent)
    : QDialog(pParent),
      m_strFirst(std::move(strFirst)),
      m_strSecond(std::move(strSecond)),
      m_strThird(std::move(strThird)),
      m_strCode(std::move(strCode)) {
  setObjectName(QString::number(IDD));
  setWindowTitle(WindowText(IDS_ERRDLG_TITLE));

  // The template, in dialog units (left, top, width, height).
  const CDialogUnits units(font());
  setFixedSize(units.MapSize(293, 159));
  m_pPicture = AddStatic(this, units, IDC_PICTURE, IDS_ERRDLG_PICTURE, 25, 10, 31, 24);
  AddStatic(this, units, 0, IDS_ERRDLG_HEADING, 59, 22, 180, 10);
  m_pFirst = AddStatic(this, units, IDC_FIRST, IDS_ERRDLG_FIRST, 7, 40, 264, 19);
  m_pSecond = AddStatic(this, units, IDC_SECOND, IDS_ERRDLG_SECOND, 7, 63, 272, 35);
  m_pThird = AddStatic(this, units, IDC_THIRD, IDS_ERRDLG_THIRD, 7, 99, 268, 33);
  m_pCodeLine = AddStatic(this, units, IDC_CODE, IDS_ERRDLG_CODE, 8, 144, 110, 11);
  for (QLabel* pParagraph : {m_pFirst, m_pSecond, m_pThird})
    pParagraph->setWordWrap(true);

  m_pContinue = new QPushButton(WindowText(IDS_ERRDLG_CONTINUE), this);
  m_pContinue->setGeometry(units.MapRect(163, 140, 96, 14));
  SetControlId(m_pContinue, IDC_CONTINUE);
  m_pContinue->setDefault(true);
  connect(m_pContinue, &QPushButton::clicked, this, &QDialog::accept);
}

int CErrorDlg::DoModal() {
  if (!m_bInitialized) {
    m_bInitialized = true;
    OnInitDialog();
  }
  return exec();
}

bool CErrorDlg::OnInitDialog() {
  m_pFirst->setText(ToWindowText(m_strFirst));
  m_pSecond->setText(ToWindowText(m_strSecond));
  m_pThird->setText(ToWindowText(m_strThird));
  m_pCodeLine->setText(ToWindowText(m_strCode));
  m_rcPicture = m_pPicture->geometry();  // already in the dialog's client coordinates
  m_pPicture->hide();
  FitParagraphs();
  return true;
}

void CErrorDlg::FitParagraphs() {
  // The template's boxes hold their texts in the font they were drawn for; a wider
  // or taller desktop font may need more lines. A box that needs them grows
  // downwards, and what lies below it (the next paragraphs, the code line, the
  // button and the dialog's foot) moves down as far.
  int nShift = 0;
  for (QLabel* pParagraph : {m_pFirst, m_pSecond, m_pThird}) {
    QRect box = pParagraph->geometry().translated(0, nShift);
    const int nNeeded = NeededHeight(*pParagraph);
    if (nNeeded > box.height()) {
      nShift += nNeeded - box.height();
      box.setHeight(nNeeded);
    }
    pParagraph->setGeometry(box);
  }
  if (nShift == 0)
    return;
  for (QWidget* pBelow : {static_cast<QWidget*>(m_pCodeLine), static_cast<QWidget*>(m_pContinue)})
    pBelow->move(pBelow->x(), pBelow->y() + nShift);
  setFixedSize(width(), height() + nShift);
}

int CErrorDlg::NeededHeight(const QLabel& label) {
  if (label.text().isEmpty())
    return 0;
  const QFontMetrics fm(label.font());
  const QRect bounds =
      fm.boundingRect(QRect(0, 0, label.width(), 1 << 20),
                      Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextExpandTabs, label.text());
  return qMax(bounds.height(), label.heightForWidth(label.width()));
}

void CErrorDlg::showEvent(QShowEvent* pEvent) {
  if (!m_bInitialized) {
    m_bInitialized = true;
    OnInitDialog();
  }
  QDialog::showEvent(pEvent);
}

void CErrorDlg::paintEvent(QPaintEvent* pEvent) {
  QDialog::paintEvent(pEvent);
  DrawPicture();
}

void CErrorDlg::DrawPicture() {
  if (m_rcPicture.isEmpty())
    return;
  const QPixmap picture = LoadBitmapResource(IDB_ERROR_PICTURE);
  if (picture.isNull())
    return;
  // Copied unscaled from the picture's top left corner, cut to the placeholder.
  QPainter painter(this);
  const int cx = qMin(m_rcPicture.width(), picture.width());
  const int cy = qMin(m_rcPicture.height(), picture.height());
  painter.drawPixmap(m_rcPicture.topLeft(), picture, QRect(0, 0, cx, cy));
}
