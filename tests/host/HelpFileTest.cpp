// The help file as the plug-in's help window reads it: one topic per page, reachable by
// the anchors "#0x20081" (Compose) to "#0x20084" (Options), and no link into nowhere.
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QString>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>

namespace {

QString ReadHelp() {
  QFile f(QStringLiteral(MIRETH_HELP_FILE));
  if (!f.open(QIODevice::ReadOnly)) return QString();
  return QString::fromUtf8(f.readAll());
}

// The anchors a Qt text document finds in the file, each with the text from it to the
// next anchor.
QMap<QString, QString> Topics(const QString& html) {
  QTextDocument doc;
  doc.setHtml(html);
  QMap<QString, QString> topics;
  QString current;
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      const QTextFragment frag = it.fragment();
      for (const QString& name : frag.charFormat().anchorNames()) {
        current = name;
        topics[current];
      }
      if (!current.isEmpty()) topics[current] += frag.text();
    }
    if (!current.isEmpty()) topics[current] += QLatin1Char('\n');
  }
  return topics;
}

TEST(HelpFile, OneTopicPerPageWithItsControls) {
  const QString html = ReadHelp();
  ASSERT_FALSE(html.isEmpty()) << MIRETH_HELP_FILE;
  const QMap<QString, QString> topics = Topics(html);

  struct Page {
    const char* anchor;
    QStringList mentions;  // labels of the page's controls
  };
  const QList<Page> pages = {
      {"0x20081", {"Name", "Number", "Select a preset message or type a message:", "Send",
                   "Message Lifetime:", "Store Messages in:", "Mobile Phone", "SIM Card"}},
      {"0x20082", {"Received messages:", "From", "Date and Time", "Get messages", "Delete",
                   "Will accept reply charges"}},
      {"0x20083", {"Outgoing (sent) and stored messages:", "To", "Status", "Retrieve",
                   "Resend now", "Delete", "At Service Center"}},
      {"0x20084", {"Service center:", "COM Ports:", "Baud rate:", "Time-out in",
                   "Attempt to send (default):", "Store messages on:",
                   "Delete messages from the phone if they are deleted from the desktop",
                   "Delete all messages on the phone", "Model:", "Version:", "Manufacturer:",
                   "Refresh phone options"}},
  };
  for (const Page& p : pages) {
    SCOPED_TRACE(p.anchor);
    const QString anchor = QString::fromLatin1(p.anchor);
    ASSERT_TRUE(topics.contains(anchor));
    for (const QString& label : p.mentions)
      EXPECT_TRUE(topics[anchor].contains(label)) << label.toStdString();
  }
  // The troubles users meet most, each explained.
  ASSERT_TRUE(topics.contains(QStringLiteral("problems")));
  for (const char* subject : {"dialout", "ModemManager", "ID_MM_DEVICE_IGNORE", "rfcomm",
                              "timed-out", "Service Center Address"})
    EXPECT_TRUE(topics[QStringLiteral("problems")].contains(QLatin1String(subject))) << subject;
  ASSERT_TRUE(topics.contains(QStringLiteral("ports")));
  EXPECT_TRUE(topics[QStringLiteral("ports")].contains(QStringLiteral("Mireth\\Ports")));
}

TEST(HelpFile, EveryLinkWithinTheFileHasItsAnchor) {
  const QString html = ReadHelp();
  ASSERT_FALSE(html.isEmpty());
  const QMap<QString, QString> topics = Topics(html);
  static const QRegularExpression link(QStringLiteral("href=\"#([^\"]+)\""));
  int links = 0;
  for (auto m = link.globalMatch(html); m.hasNext(); ++links) {
    const QString target = m.next().captured(1);
    EXPECT_TRUE(topics.contains(target)) << target.toStdString();
  }
  EXPECT_GE(links, 4);
}

}  // namespace
