// The guard that allows one SMS window at a time, across processes. A second window
// is refused when a top-level window with the window's title is on the X display, or
// when the per-user lock is held: the lock is taken while the window is open, so the
// guard also works where the display cannot be searched by title (offscreen, Wayland).
#pragma once

#include <string>

class CSingleInstance {
 public:
  CSingleInstance() = default;
  ~CSingleInstance();
  CSingleInstance(const CSingleInstance&) = delete;
  CSingleInstance& operator=(const CSingleInstance&) = delete;

  // Checks for another window titled strTitle and takes the lock. Returns true when
  // no other window exists; the lock is then held until Release (or destruction).
  bool Acquire(const std::string& strTitle);
  void Release();
  bool IsHeld() const { return m_nLockFd >= 0; }

  // $XDG_RUNTIME_DIR/mireth.lock, or /tmp/mireth-<uid>.lock without a runtime folder.
  static std::string GetLockFilePath();

  // Whether a mapped window on the X display pszDisplay (nullptr: $DISPLAY) has the
  // title strTitle exactly (_NET_WM_NAME or WM_NAME). False when the display cannot be
  // opened or X11 support is not built in.
  static bool FindX11WindowByTitle(const char* pszDisplay, const std::string& strTitle);

 private:
  int m_nLockFd = -1;
};
