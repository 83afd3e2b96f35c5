// The host's plug-in table and default command procedure (libqvplugin).
#include <gtest/gtest.h>

#include <QIcon>
#include <QPixmap>

#include <cstring>
#include <vector>

#include "host/QVPlugin.h"

namespace {

struct SeenCall {
  int32_t hostValue, command, param1;
  intptr_t param2;
};
std::vector<SeenCall> g_seen;

// A command procedure as plug-ins write it: its own work, then the default procedure.
int32_t ForwardingProc(int32_t hostValue, int32_t command, int32_t param1, intptr_t param2) {
  g_seen.push_back({hostValue, command, param1, param2});
  return QVPlugin_DefCommandProc(hostValue, command, param1, param2);
}

// A procedure that answers by itself.
int32_t AnsweringProc(int32_t hostValue, int32_t command, int32_t param1, intptr_t param2) {
  g_seen.push_back({hostValue, command, param1, param2});
  return -5;
}

class QVPluginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QVPlugin_RemoveAll();
    g_seen.clear();
  }
  void TearDown() override { QVPlugin_RemoveAll(); }
};

TEST_F(QVPluginTest, RegistrationKeepsNameIconAndOrder) {
  char name[] = "Alpha";
  void* h1 = QVPlugin_Create(name, nullptr, ForwardingProc);
  std::strcpy(name, "XXXXX");  // the host keeps its own copy of the name
  QPixmap pixmap(48, 48);
  pixmap.fill(Qt::red);
  auto* pIcon = new QIcon(pixmap);
  void* h2 = QVPlugin_Create("Beta", pIcon, ForwardingProc);

  ASSERT_NE(h1, nullptr);
  ASSERT_NE(h2, nullptr);
  EXPECT_STREQ(QVPlugin_GetName(h1), "Alpha");
  EXPECT_STREQ(QVPlugin_GetName(h2), "Beta");
  EXPECT_EQ(QVPlugin_GetIcon(h1), nullptr);
  EXPECT_EQ(QVPlugin_GetIcon(h2), pIcon);

  EXPECT_EQ(QVPlugin_GetCount(), 2);
  EXPECT_EQ(QVPlugin_GetHandle(0), h1);
  EXPECT_EQ(QVPlugin_GetHandle(1), h2);
  EXPECT_EQ(QVPlugin_GetHandle(2), nullptr);
  EXPECT_EQ(QVPlugin_GetHandle(-1), nullptr);

  const int32_t v1 = QVPlugin_GetHostValue(h1), v2 = QVPlugin_GetHostValue(h2);
  EXPECT_NE(v1, 0);
  EXPECT_NE(v2, 0);
  EXPECT_NE(v1, v2);

  // Incomplete registrations are refused; the icon handed over is still disposed of
  // (the leak checker of the sanitizer build would see it otherwise).
  EXPECT_EQ(QVPlugin_Create(nullptr, new QIcon(pixmap), ForwardingProc), nullptr);
  EXPECT_EQ(QVPlugin_Create("Gamma", new QIcon(pixmap), nullptr), nullptr);
  EXPECT_EQ(QVPlugin_GetCount(), 2);

  // After removal, handles are gone and host values are not given out again.
  QVPlugin_RemoveAll();
  EXPECT_EQ(QVPlugin_GetCount(), 0);
  EXPECT_EQ(QVPlugin_GetHandle(0), nullptr);
  void* h3 = QVPlugin_Create("Gamma", nullptr, ForwardingProc);
  const int32_t v3 = QVPlugin_GetHostValue(h3);
  EXPECT_NE(v3, v1);
  EXPECT_NE(v3, v2);
  EXPECT_EQ(QVPlugin_GetName(nullptr), nullptr);
  EXPECT_EQ(QVPlugin_GetHostValue(nullptr), 0);
}

TEST_F(QVPluginTest, CommandsReachTheProcedureAndTheDefaultProcessing) {
  void* hA = QVPlugin_Create("Alpha", nullptr, ForwardingProc);
  void* hB = QVPlugin_Create("Beta", nullptr, AnsweringProc);
  const int32_t vA = QVPlugin_GetHostValue(hA);
  RecipientInfo info{"Ann", 2, "a\r\nb"};

  // Command 1 with a recipient: the procedure gets the plug-in's host value and the
  // arguments as sent; the default processing counts the closed window and answers 1.
  EXPECT_EQ(QVPlugin_SendCommand(hA, 1, 9, reinterpret_cast<intptr_t>(&info)), 1);
  ASSERT_EQ(g_seen.size(), 1u);
  EXPECT_EQ(g_seen[0].hostValue, vA);
  EXPECT_EQ(g_seen[0].command, 1);
  EXPECT_EQ(g_seen[0].param1, 9);
  EXPECT_EQ(g_seen[0].param2, reinterpret_cast<intptr_t>(&info));
  EXPECT_EQ(QVPlugin_GetClosedCount(hA), 1);
  QVPluginDefaultCall last{};
  ASSERT_TRUE(QVPlugin_GetLastDefaultCall(&last));
  EXPECT_EQ(last.hostValue, vA);
  EXPECT_EQ(last.command, 1);
  EXPECT_EQ(last.param1, 9);
  EXPECT_EQ(last.param2, reinterpret_cast<intptr_t>(&info));
  EXPECT_EQ(last.result, 1);

  // Other commands: the default processing answers with the command number.
  EXPECT_EQ(QVPlugin_SendCommand(hA, 7, 0, 0), 7);
  EXPECT_EQ(QVPlugin_SendCommand(hA, -3, 4, 0), -3);
  EXPECT_EQ(QVPlugin_GetClosedCount(hA), 1);

  // A procedure's own answer is what the host gets.
  EXPECT_EQ(QVPlugin_SendCommand(hB, 1, 0, 0), -5);
  EXPECT_EQ(g_seen.back().hostValue, QVPlugin_GetHostValue(hB));
  EXPECT_EQ(QVPlugin_GetClosedCount(hB), 0);

  // Nothing reaches a procedure through a null handle.
  const size_t before = g_seen.size();
  EXPECT_EQ(QVPlugin_SendCommand(nullptr, 1, 0, 0), 0);
  EXPECT_EQ(g_seen.size(), before);

  // The default procedure does not know host values that no plug-in holds.
  EXPECT_EQ(QVPlugin_DefCommandProc(vA + 1000, 7, 1, 2), 0);
  ASSERT_TRUE(QVPlugin_GetLastDefaultCall(&last));
  EXPECT_EQ(last.hostValue, vA + 1000);
  EXPECT_EQ(last.param2, 2);
  EXPECT_EQ(last.result, 0);

  QVPlugin_RemoveAll();
  EXPECT_FALSE(QVPlugin_GetLastDefaultCall(&last));
}

}  // namespace
