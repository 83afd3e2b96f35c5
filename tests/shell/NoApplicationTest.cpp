// A host without an application object: the command procedure makes one for the
// call and takes it down again.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cstdlib>
#include <filesystem>

#include "ScriptedPromptService.h"
#include "shell/PluginEntry.h"
#include "shell/SingleInstance.h"

TEST(NoApplicationTest, TheWindowCommandBringsItsOwnApplication) {
  ASSERT_EQ(QCoreApplication::instance(), nullptr);
  const std::filesystem::path runtime =
      std::filesystem::temp_directory_path() / ("mireth-noapp-" + std::to_string(::getpid()));
  std::filesystem::create_directories(runtime);
  ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  if (std::getenv("QT_QPA_PLATFORM") == nullptr)
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);

  // Another window holds the guard, so the call ends with the refusal.
  const int fd = ::open(CSingleInstance::GetLockFilePath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);

  CScriptedPromptService prompt;
  RunMessageWindow(nullptr);
  ASSERT_EQ(prompt.m_boxes.size(), 1u);
  EXPECT_EQ(prompt.m_boxes[0].strText, "You can run only one instance of SMS at a time.");
  EXPECT_EQ(QCoreApplication::instance(), nullptr);

  ::close(fd);
  std::filesystem::remove_all(runtime);
}
