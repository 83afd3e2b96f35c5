// The virtual phone on its pseudo-terminal: what it takes to start, and a line that
// the next client can open after the last one held it exclusively.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "vphone/VirtualPhone.h"

namespace {

TEST(VirtualPhoneLine, NextClientCanOpenAfterExclusiveUse) {
  CVirtualPhone phone{CVirtualPhoneConfig()};
  std::string strError;
  ASSERT_TRUE(phone.Start(&strError)) << strError;
  const int fd = open(phone.GetSlavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ioctl(fd, TIOCEXCL), 0);
  close(fd);
  // The phone clears the flag once the last client has gone; it does so when the
  // close is reported to it, so look until it has. While the flag is set a user's
  // open fails (the superuser's does not).
  int nExclusive = 1;
  const auto tEnd = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (nExclusive != 0 && std::chrono::steady_clock::now() < tEnd) {
    const int fdNext = open(phone.GetSlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fdNext < 0 || ioctl(fdNext, TIOCGEXCL, &nExclusive) != 0)
      nExclusive = 1;
    if (fdNext >= 0)
      close(fdNext);
    std::this_thread::yield();
  }
  EXPECT_EQ(nExclusive, 0);
  phone.Stop();
}

TEST(VirtualPhoneLine, StartFailsCleanly) {
  CVirtualPhoneConfig noFile, badStorage, notALink;
  noFile.m_strMessagesFile = ::testing::TempDir() + "no-such-messages-file.txt";
  badStorage.m_vecStorages = {"ME", "XX"};
  notALink.m_strLinkPath = ::testing::TempDir();  // a directory, not a link
  for (const auto& [pConfig, pszError] :
       {std::pair{&noFile, "cannot be read"}, {&badStorage, "XX"}, {&notALink, "not a symbolic link"}}) {
    CVirtualPhone phone(*pConfig);
    std::string strError;
    EXPECT_FALSE(phone.Start(&strError));
    EXPECT_NE(strError.find(pszError), std::string::npos) << strError;
  }
}

}  // namespace
