// HVDesktop's command line and its display check.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/HostOptions.h"

namespace {

TEST(HostOptions, FullCommandLine) {
  CHostOptions o;
  ASSERT_EQ(o.Parse({"--plugin", "/a/libx.so", "--plugin", "/b/liby.so", "--plugin-name", "Mireth",
                     "--recipient-name", "Ann Lee", "--recipient-number", "+4711",
                     "--recipient-number", "0815", "--recipient-number", "12 34", "--command", "-7",
                     "--quit-after"}),
            CHostOptions::EParse::Run)
      << o.GetError();
  EXPECT_EQ(o.m_plugins, (std::vector<std::string>{"/a/libx.so", "/b/liby.so"}));
  EXPECT_EQ(o.m_strPluginName, "Mireth");
  EXPECT_TRUE(o.m_bHaveCommand);
  EXPECT_EQ(o.m_nCommand, -7);
  EXPECT_TRUE(o.m_bQuitAfter);

  const RecipientInfo* p = o.GetRecipient();
  ASSERT_NE(p, nullptr);
  EXPECT_STREQ(p->pszName, "Ann Lee");
  EXPECT_EQ(p->nCount, 3);
  EXPECT_STREQ(p->pszNumbers, "+4711\r\n0815\r\n12 34");

  // Named plug-ins replace the default folders; --plugin-dir replaces both.
  EXPECT_TRUE(o.GetPluginFolders({"/usr/lib/hv/plugins"}).empty());
  o.m_strPluginDir = "/opt/p";
  EXPECT_EQ(o.GetPluginFolders({"/usr/lib/hv/plugins"}), (std::vector<std::string>{"/opt/p"}));
}

TEST(HostOptions, DefaultsAndPartialRecipient) {
  CHostOptions none;
  ASSERT_EQ(none.Parse({}), CHostOptions::EParse::Run);
  EXPECT_EQ(none.GetRecipient(), nullptr);  // nothing handed over: a null pointer
  EXPECT_FALSE(none.m_bHaveCommand);
  EXPECT_FALSE(none.m_bQuitAfter);
  EXPECT_EQ(none.GetPluginFolders({"/d1", "/d2"}), (std::vector<std::string>{"/d1", "/d2"}));

  CHostOptions nameOnly;
  ASSERT_EQ(nameOnly.Parse({"--recipient-name", "Bo"}), CHostOptions::EParse::Run);
  const RecipientInfo* p = nameOnly.GetRecipient();
  ASSERT_NE(p, nullptr);
  EXPECT_STREQ(p->pszName, "Bo");
  EXPECT_EQ(p->nCount, 0);
  EXPECT_STREQ(p->pszNumbers, "");
}

TEST(HostOptions, BadCommandLinesAreRefusedWithAReason) {
  struct Case {
    std::vector<std::string> args;
    std::string why;
  };
  const std::vector<Case> cases = {
      {{"--command", "abc"}, "abc"},
      {{"--command", "7x"}, "7x"},
      {{"--command", ""}, "--command"},
      {{"--command", "2147483648"}, "2147483648"},
      {{"--command"}, "missing value after --command"},
      {{"--plugin"}, "missing value after --plugin"},
      {{"--recipient-number"}, "missing value after --recipient-number"},
      {{"--frobnicate"}, "unknown option: --frobnicate"},
      {{"libmireth.so"}, "unknown option: libmireth.so"},
  };
  for (const Case& c : cases) {
    CHostOptions o;
    EXPECT_EQ(o.Parse(c.args), CHostOptions::EParse::Error) << c.why;
    EXPECT_NE(o.GetError().find(c.why), std::string::npos) << o.GetError();
  }
  CHostOptions edge;
  EXPECT_EQ(edge.Parse({"--command", "-2147483648"}), CHostOptions::EParse::Run);
  EXPECT_EQ(edge.m_nCommand, INT32_MIN);

  CHostOptions help;
  EXPECT_EQ(help.Parse({"--plugin", "x", "--help", "--bogus"}), CHostOptions::EParse::Help);
  EXPECT_NE(CHostOptions::GetUsage().find("--recipient-number"), std::string::npos);
}

TEST(HostOptions, DisplayCheck) {
  // Nothing set: no display.
  EXPECT_FALSE(HasDisplay(nullptr, nullptr, nullptr));
  EXPECT_FALSE(HasDisplay("", "", ""));
  // X11 or Wayland without a platform chosen.
  EXPECT_TRUE(HasDisplay(nullptr, ":99", nullptr));
  EXPECT_TRUE(HasDisplay(nullptr, nullptr, "wayland-0"));
  // Platforms that need no display server.
  EXPECT_TRUE(HasDisplay("offscreen", nullptr, nullptr));
  EXPECT_TRUE(HasDisplay("minimal", nullptr, nullptr));
  EXPECT_TRUE(HasDisplay("vnc:size=800x600", nullptr, nullptr));
  // A chosen platform needs its own server.
  EXPECT_FALSE(HasDisplay("xcb", nullptr, "wayland-0"));
  EXPECT_TRUE(HasDisplay("xcb", ":0", nullptr));
  EXPECT_FALSE(HasDisplay("wayland", ":0", nullptr));
  EXPECT_TRUE(HasDisplay("wayland-egl", nullptr, "wayland-1"));
  // Fall-backs: any that can start will do.
  EXPECT_TRUE(HasDisplay("wayland;xcb", ":0", nullptr));
  EXPECT_FALSE(HasDisplay("wayland;xcb", nullptr, nullptr));
}

}  // namespace
