// Icons and bitmaps by resource number, and the help file as the plug-in's help window
// reads it: one topic per page, reachable by the anchors "#0x20081" (Compose) to
// "#0x20084" (Options), and no link into nowhere.
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>

#include "res/Resources.h"

namespace {

// A real drawing: a fair part of it opaque, outlined in the common ink colour.
void ExpectDrawing(const QPixmap& pm, const QSize& size) {
  ASSERT_EQ(pm.size(), size);
  const QImage img = pm.toImage().convertToFormat(QImage::Format_ARGB32);
  int nOpaque = 0;
  bool bInk = false;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      const QRgb px = img.pixel(x, y);
      nOpaque += qAlpha(px) >= 250;
      // Near enough: small sizes blend the outline with what lies beside it.
      bInk |= qAlpha(px) >= 250 && std::abs(qRed(px) - 0x23) <= 40 && std::abs(qGreen(px) - 0x32) <= 40 &&
              std::abs(qBlue(px) - 0x4d) <= 40;
    }
  EXPECT_GT(nOpaque, size.width() * size.height() / 8);
  EXPECT_TRUE(bInk);
}

TEST(Resources, EveryIconAndBitmapComesInItsSizes) {
  const std::pair<int, QList<int>> icons[] = {
      {IDI_MIRETH, {48}},    {IDI_SMS_MESSAGE, {16, 32, 48}}, {IDI_COMPOSE, {16, 32}}, {IDI_OUTBOX, {16, 32}},
      {IDI_INBOX, {16, 32}}, {IDI_OPTIONS, {16, 32}},         {IDI_SEND, {16, 32}}};
  for (const auto& [nId, sizes] : icons) {
    SCOPED_TRACE(nId);
    const QIcon icon = LoadIconResource(nId);
    QList<int> available;
    for (const QSize& s : icon.availableSizes())
      available.push_back(s.width() == s.height() ? s.width() : -1);
    std::sort(available.begin(), available.end());
    EXPECT_EQ(available, sizes);
    for (int n : sizes)
      ExpectDrawing(icon.pixmap(n, n), QSize(n, n));
  }
  EXPECT_NE(LoadIconResource(IDI_INBOX).pixmap(32, 32).toImage(),
            LoadIconResource(IDI_OUTBOX).pixmap(32, 32).toImage());
  ExpectDrawing(LoadBitmapResource(IDB_ERROR_PICTURE), QSize(32, 32));
  // Icons are not bitmaps, and unknown numbers give nothing.
  for (int nId : {0, -1, 150, IDB_ERROR_PICTURE, 31235})
    EXPECT_TRUE(LoadIconResource(nId).isNull()) << nId;
  for (int nId : {0, IDI_MIRETH, 151})
    EXPECT_TRUE(LoadBitmapResource(nId).isNull()) << nId;
}

TEST(HelpFile, OneTopicPerPageAndEveryLinkHasItsAnchor) {
  QFile f(QStringLiteral(MIRETH_HELP_FILE));
  ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << MIRETH_HELP_FILE;
  const QString html = QString::fromUtf8(f.readAll());
  // The anchors a Qt text document finds, each with the text up to the next anchor.
  QTextDocument doc;
  doc.setHtml(html);
  QMap<QString, QString> topics;
  QString current;
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      for (const QString& name : it.fragment().charFormat().anchorNames())
        topics[current = name];
      if (!current.isEmpty())
        topics[current] += it.fragment().text();
    }
    if (!current.isEmpty())
      topics[current] += QLatin1Char('\n');
  }
  const std::pair<const char*, QStringList> pages[] = {
      // labels of each page's controls
      {"0x20081", {"Select a preset message or type a message:", "Message Lifetime:", "SIM Card"}},
      {"0x20082", {"Received messages:", "Get messages", "Will accept reply charges"}},
      {"0x20083", {"Outgoing (sent) and stored messages:", "Resend now", "At Service Center"}},
      {"0x20084",
       {"Service center:", "COM Ports:", "Delete all messages on the phone", "Refresh phone options"}},
      {"problems", {"dialout", "ModemManager", "rfcomm", "Service Center Address"}},
      {"ports", {"Mireth\\Ports"}},
  };
  for (const auto& [pszAnchor, labels] : pages) {
    ASSERT_TRUE(topics.contains(QLatin1String(pszAnchor))) << pszAnchor;
    for (const QString& label : labels)
      EXPECT_TRUE(topics[QLatin1String(pszAnchor)].contains(label))
          << pszAnchor << ": " << label.toStdString();
  }
  static const QRegularExpression link(QStringLiteral("href=\"#([^\"]+)\""));
  int nLinks = 0;
  for (auto m = link.globalMatch(html); m.hasNext(); ++nLinks) {
    const QString target = m.next().captured(1);
    EXPECT_TRUE(topics.contains(target)) << target.toStdString();
  }
  EXPECT_GE(nLinks, 4);
}

}  // namespace
