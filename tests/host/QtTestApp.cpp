// One Qt application object for the whole test program: icons and pixmaps need it.
// Qt draws offscreen (the tests set QT_QPA_PLATFORM=offscreen; it is the default here).
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#ifdef QT_WIDGETS_LIB
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#endif

namespace {

class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    m_app = std::make_unique<TestApplication>(m_argc, m_argv);
  }
  void TearDown() override { m_app.reset(); }

 private:
  int m_argc = 1;
  char m_name[16] = "mireth-test";
  char* m_argv[2] = {m_name, nullptr};
  std::unique_ptr<TestApplication> m_app;
};

const ::testing::Environment* const g_env = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace
