// One Qt application object for the whole test program: icons, pixmaps and the
// launcher window need it. Qt draws offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <memory>

namespace {

class QtEnvironment : public ::testing::Environment {
  void SetUp() override {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    m_app = std::make_unique<QApplication>(m_argc, m_argv);
  }
  void TearDown() override { m_app.reset(); }
  int m_argc = 1;
  char m_name[12] = "mireth-test";
  char* m_argv[2] = {m_name, nullptr};
  std::unique_ptr<QApplication> m_app;
};

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace
