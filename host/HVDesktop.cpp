// HVDesktop: the desktop suite's launcher. Loads the plug-ins, shows each one's icon and
// name, and sends command 1 to the one the user opens. See CHostOptions for the
// command line.

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "host/DesktopWindow.h"
#include "host/HostOptions.h"
#include "host/PluginLoader.h"
#include "host/QVPlugin.h"
#include "mireth_version.h"

namespace fs = std::filesystem;

namespace {

fs::path ExecutableFolder() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::current_path(ec) : exe.parent_path();
}

// The plug-in with the given name, or the first one when the name is empty; null when
// there is none.
void* FindPlugin(const std::string& strName) {
  const int32_t n = QVPlugin_GetCount();
  for (int32_t i = 0; i < n; ++i) {
    void* handle = QVPlugin_GetHandle(i);
    if (strName.empty() || strName == QVPlugin_GetName(handle))
      return handle;
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  CHostOptions options;
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  switch (options.Parse(args)) {
    case CHostOptions::EParse::Help:
      std::fputs(CHostOptions::GetUsage().c_str(), stdout);
      return 0;
    case CHostOptions::EParse::Version:
      std::puts("HVDesktop " MIRETH_VERSION);
      return 0;
    case CHostOptions::EParse::Error:
      std::fprintf(stderr, "HVDesktop: %s\n%s", options.GetError().c_str(), CHostOptions::GetUsage().c_str());
      return 2;
    case CHostOptions::EParse::Run:
      break;
  }

  // Without a display Qt would abort with a message about platform plug-ins; say it
  // plainly instead.
  if (!HasDisplay(std::getenv("QT_QPA_PLATFORM"), std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"))) {
    std::fputs("HVDesktop needs a display: set DISPLAY or run under Xvfb\n", stderr);
    return 1;
  }

  // Qt reads options of its own from the command line, among them "--plugin" (for its
  // input plug-ins); it gets only the program name, the options are ours.
  int qtArgc = 1;
  char* qtArgv[] = {argc > 0 ? argv[0] : const_cast<char*>("HVDesktop"), nullptr};
  QApplication app(qtArgc, qtArgv);
  QApplication::setApplicationName(QStringLiteral("HVDesktop"));

  // What to load: the named libraries and the --plugin-dir folder; with neither, the
  // default folders (the user's, plugins/ beside the program, the installed one) and,
  // in a build tree, the plug-in built there.
  const fs::path exeFolder = ExecutableFolder();
  const std::vector<std::string> folders = options.GetPluginFolders(CPluginLoader::DefaultFolders(
      exeFolder.string(), MIRETH_PLUGINS_FROM_BIN, std::getenv("XDG_DATA_HOME"), std::getenv("HOME")));
  std::vector<std::string> files = options.m_plugins;
  if (options.m_strPluginDir.empty() && options.m_plugins.empty()) {
    std::error_code ec;
    const fs::path built = exeFolder / ".." / "shell" / "libmireth.so";
    if (fs::exists(built, ec))
      files.push_back(built.lexically_normal().string());
  }

  CPluginLoader loader;
  for (const std::string& file : files)
    loader.Load(file);
  for (const std::string& folder : folders)
    loader.LoadFolder(folder);

  std::vector<std::string> notes = loader.GetErrors();
  for (const std::string& error : loader.GetErrors())
    std::fprintf(stderr, "HVDesktop: %s\n", error.c_str());
  if (QVPlugin_GetCount() == 0) {
    std::string searched = "Searched:";
    for (const std::string& f : files)
      searched += " " + f;
    for (const std::string& f : folders)
      searched += " " + f + "/";
    notes.push_back(searched);
  }

  int exitCode = 0;
  {
    CDesktopWindow window(options.GetRecipient());
    window.ShowPlugins(notes);

    if (!options.m_bHaveCommand && options.m_bQuitAfter) {
      for (int32_t i = 0; i < QVPlugin_GetCount(); ++i)
        std::printf("plug-in: %s\n", QVPlugin_GetName(QVPlugin_GetHandle(i)));
    } else {
      if (!options.m_bQuitAfter)
        window.show();
      if (options.m_bHaveCommand) {
        QTimer::singleShot(0, &window, [&] {
          void* handle = FindPlugin(options.m_strPluginName);
          if (handle == nullptr) {
            if (options.m_strPluginName.empty())
              std::fputs("HVDesktop: no plug-in is loaded\n", stderr);
            else
              std::fprintf(stderr, "HVDesktop: no plug-in named \"%s\"\n", options.m_strPluginName.c_str());
            if (options.m_bQuitAfter)
              QApplication::exit(3);
            return;
          }
          // With --quit-after, a window the command opens (modal, as the plug-in's
          // window is) is closed once it is up, so that a script gets the result and
          // the program ends.
          QTimer closer;
          closer.setInterval(0);
          QObject::connect(&closer, &QTimer::timeout, [] {
            if (QWidget* pModal = QApplication::activeModalWidget())
              pModal->close();
          });
          if (options.m_bQuitAfter)
            closer.start();
          const int32_t result = window.SendCommand(handle, options.m_nCommand);
          closer.stop();
          std::printf("result: %d\n", static_cast<int>(result));
          std::fflush(stdout);
          if (options.m_bQuitAfter)
            QApplication::exit(0);
        });
      }
      exitCode = QApplication::exec();
    }
  }
  QVPlugin_RemoveAll();
  return exitCode;
}
