// The error dialog ("SMS Error", dialog 150): a picture, a fixed heading, up to three
// paragraphs explaining a phone status code and the error-code line, closed with
// "Click here to continue". The template is laid out in dialog units of the font in
// use, and a paragraph that needs more lines than its box holds in that font gets
// them, with everything below it moved down.
#pragma once

#include <QDialog>
#include <QRect>
#include <string>

class QLabel;
class QPushButton;
class QPaintEvent;
class QShowEvent;

class CErrorDlg : public QDialog {
  Q_OBJECT

 public:
  // Ids of the dialog's controls.
  enum : int {
    IDC_PICTURE = 1059,
    IDC_FIRST = 1060,
    IDC_SECOND = 1061,
    IDC_THIRD = 1062,
    IDC_CODE = 1066,
    IDC_CONTINUE = 1,
  };
  static constexpr int IDD = 150;

  CErrorDlg(std::string strFirst, std::string strSecond, std::string strThird, std::string strCode,
            QWidget* pParent = nullptr);

  // Runs the dialog modally; the result means nothing.
  int DoModal();

  const std::string& GetFirst() const { return m_strFirst; }
  const std::string& GetSecond() const { return m_strSecond; }
  const std::string& GetThird() const { return m_strThird; }
  const std::string& GetCode() const { return m_strCode; }
  // Where the picture is painted, in the dialog's client coordinates (taken at
  // initialisation; empty before).
  QRect GetPictureRect() const { return m_rcPicture; }

 protected:
  // Puts the texts into their controls, notes the picture's place and hides its
  // placeholder. Runs once, before the dialog is first shown.
  virtual bool OnInitDialog();
  void showEvent(QShowEvent* pEvent) override;
  void paintEvent(QPaintEvent* pEvent) override;

 private:
  void DrawPicture();
  // Grows each paragraph box that its text overflows in the dialog's font, moving
  // what lies below it down; the template's geometry stays where the texts fit.
  void FitParagraphs();
  // The height a label's text takes, wrapped at the label's width.
  static int NeededHeight(const QLabel& label);

  QLabel* m_pPicture = nullptr;
  QLabel* m_pCodeLine = nullptr;
  QLabel* m_pThird = nullptr;
  QLabel* m_pSecond = nullptr;
  QLabel* m_pFirst = nullptr;
  QPushButton* m_pContinue = nullptr;
  std::string m_strFirst;
  std::string m_strSecond;
  std::string m_strThird;
  std::string m_strCode;
  QRect m_rcPicture;
  bool m_bInitialized = false;
};
