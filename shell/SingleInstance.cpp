#include "shell/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QGuiApplication>
#include <cerrno>
#include <cstdlib>
#include <vector>

#ifdef MIRETH_HAVE_X11
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#endif

#ifdef MIRETH_HAVE_X11
namespace {

// Windows may vanish while the tree is walked; their errors mean nothing here.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

std::string Latin1ToUtf8(const unsigned char* p, unsigned long n) {
  std::string s;
  for (unsigned long i = 0; i < n; ++i) {
    const unsigned char c = p[i];
    if (c < 0x80) {
      s += static_cast<char>(c);
    } else {
      s += static_cast<char>(0xC0 | (c >> 6));
      s += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return s;
}

bool HasTitle(Display* pDisplay, Window window, const std::string& strTitle, Atom atomNetWmName,
              Atom atomUtf8) {
  Atom type = None;
  int nFormat = 0;
  unsigned long nItems = 0, nAfter = 0;
  unsigned char* pData = nullptr;
  if (XGetWindowProperty(pDisplay, window, atomNetWmName, 0, 4096, False, atomUtf8, &type, &nFormat, &nItems,
                         &nAfter, &pData) == Success &&
      pData != nullptr) {
    const bool bMatch =
        type == atomUtf8 && nFormat == 8 && std::string(reinterpret_cast<char*>(pData), nItems) == strTitle;
    XFree(pData);
    if (bMatch)
      return true;
  }

  XTextProperty prop{};
  if (XGetWMName(pDisplay, window, &prop) == 0 || prop.value == nullptr)
    return false;
  bool bMatch = false;
  if (prop.format == 8 && prop.encoding == XA_STRING) {
    bMatch = Latin1ToUtf8(prop.value, prop.nitems) == strTitle;
  } else if (prop.format == 8 && prop.encoding == atomUtf8) {
    bMatch = std::string(reinterpret_cast<char*>(prop.value), prop.nitems) == strTitle;
  } else {
    char** ppList = nullptr;
    int nCount = 0;
    if (Xutf8TextPropertyToTextList(pDisplay, &prop, &ppList, &nCount) >= Success && ppList) {
      bMatch = nCount > 0 && strTitle == ppList[0];
      XFreeStringList(ppList);
    }
  }
  XFree(prop.value);
  return bMatch;
}

bool IsMapped(Display* pDisplay, Window window) {
  XWindowAttributes attributes{};
  return XGetWindowAttributes(pDisplay, window, &attributes) != 0 && attributes.map_state != IsUnmapped;
}

}  // namespace
#endif

CSingleInstance::~CSingleInstance() { Release(); }

bool CSingleInstance::FindX11WindowByTitle(const char* pszDisplay, const std::string& strTitle) {
#ifdef MIRETH_HAVE_X11
  Display* pDisplay = XOpenDisplay(pszDisplay);
  if (pDisplay == nullptr)
    return false;
  XErrorHandler pOldHandler = XSetErrorHandler(IgnoreXError);
  const Atom atomNetWmName = XInternAtom(pDisplay, "_NET_WM_NAME", False);
  const Atom atomUtf8 = XInternAtom(pDisplay, "UTF8_STRING", False);

  // Walk the tree from each root rather than asking a window manager for its client
  // list: there may be no window manager. Top-level windows lie at most a few levels
  // down (inside the manager's frames).
  constexpr int kMaxDepth = 4;
  bool bFound = false;
  for (int nScreen = 0; nScreen < ScreenCount(pDisplay) && !bFound; ++nScreen) {
    std::vector<std::pair<Window, int>> stack{{RootWindow(pDisplay, nScreen), 0}};
    while (!stack.empty() && !bFound) {
      const auto [window, nDepth] = stack.back();
      stack.pop_back();
      if (nDepth > 0 && HasTitle(pDisplay, window, strTitle, atomNetWmName, atomUtf8) &&
          IsMapped(pDisplay, window)) {
        bFound = true;
        break;
      }
      if (nDepth >= kMaxDepth)
        continue;
      Window root = 0, parent = 0;
      Window* pChildren = nullptr;
      unsigned int nChildren = 0;
      if (XQueryTree(pDisplay, window, &root, &parent, &pChildren, &nChildren) != 0) {
        for (unsigned int i = 0; i < nChildren; ++i)
          stack.emplace_back(pChildren[i], nDepth + 1);
        if (pChildren != nullptr)
          XFree(pChildren);
      }
    }
  }
  XSync(pDisplay, False);
  XSetErrorHandler(pOldHandler);
  XCloseDisplay(pDisplay);
  return bFound;
#else
  (void)pszDisplay;
  (void)strTitle;
  return false;
#endif
}

std::string CSingleInstance::GetLockFilePath() {
  const char* pszRuntime = std::getenv("XDG_RUNTIME_DIR");
  if (pszRuntime != nullptr && pszRuntime[0] == '/')
    return std::string(pszRuntime) + "/mireth.lock";
  return "/tmp/mireth-" + std::to_string(::getuid()) + ".lock";
}

bool CSingleInstance::Acquire(const std::string& strTitle) {
  if (m_nLockFd >= 0)
    return true;
  // Searching by title makes sense where this process's windows are X windows too.
  if (QGuiApplication::platformName() == QLatin1String("xcb") && FindX11WindowByTitle(nullptr, strTitle))
    return false;

  const std::string strPath = GetLockFilePath();
  const int fd = ::open(strPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0)
    return true;  // no lock to be had: the title search is the only guard
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int nError = errno;
    ::close(fd);
    return nError != EWOULDBLOCK;
  }
  m_nLockFd = fd;
  return true;
}

void CSingleInstance::Release() {
  if (m_nLockFd < 0)
    return;
  ::flock(m_nLockFd, LOCK_UN);
  ::close(m_nLockFd);
  m_nLockFd = -1;
}
