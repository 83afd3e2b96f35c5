// Helpers of the model tests: a prompt service that records what it shows, a
// temporary data folder, a little-endian byte builder, record makers and a scoped
// fault hook.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "model/RecordList.h"
#include "model/StoreFile.h"
#include "platform/PromptService.h"
#include "shell/TestSandbox.h"
#include "tests/support/TestIo.h"

class CRecordingPrompt final : public IPromptService {
 public:
  CRecordingPrompt() { m_pOld = SetPromptService(this); }
  ~CRecordingPrompt() override { SetPromptService(m_pOld); }
  int MessageBox(const std::string& text, const std::string&, unsigned int type) override {
    m_texts.push_back(text);
    EXPECT_EQ(type, static_cast<unsigned int>(MB_OK)) << text;
    return IDOK;
  }
  void BeginWaitCursor() override {}
  void EndWaitCursor() override {}
  std::vector<std::string> m_texts;

 private:
  IPromptService* m_pOld;
};

// A fresh folder, removed with everything in it at the end. Path() ends in '/'.
class CTempFolder : public CTestSandbox {
 public:
  CTempFolder() : CTestSandbox("mireth-model"), m_strPath(Root().string() + "/") {}
  const std::string& Path() const { return m_strPath; }
  size_t Count() const {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(m_strPath), {}));
  }

 private:
  std::string m_strPath;
};

using test_io::ReadFile;
using test_io::WriteFile;

// Little-endian bytes, built by hand from the store layout.
struct CBytes {
  std::string s;
  CBytes& b(int v) {
    s += static_cast<char>(v);
    return *this;
  }
  CBytes& w(unsigned v) { return b(v & 0xFF).b((v >> 8) & 0xFF); }
  CBytes& l(uint32_t v) { return w(v & 0xFFFF).w(v >> 16); }
  CBytes& d(double v) {
    char c[8];
    std::memcpy(c, &v, 8);
    s.append(c, 8);
    return *this;
  }
  CBytes& text(const std::string& t) {
    s += t;
    return *this;
  }
  CBytes& str(const std::string& t) { return b(static_cast<int>(t.size())).text(t); }  // < 255
  // The header of a new class: FFFF, schema 1, the name.
  CBytes& cls(const std::string& name) {
    return w(0xFFFF).w(1).w(static_cast<unsigned>(name.size())).text(name);
  }
};

// The bytes of a whole list as WriteRecordBytes gives them.
template <class List>
std::string ListBytes(const List& list) {
  std::string bytes;
  EXPECT_TRUE(WriteRecordBytes(list, bytes).IsOk());
  return bytes;
}

inline std::unique_ptr<CAddress> MakeAddress(const std::string& strNumber, const std::string& strName) {
  auto p = std::make_unique<CAddress>();
  p->m_strNumber = strNumber;
  p->m_strName = strName;
  return p;
}

inline std::unique_ptr<CMessage> MakeMessage(const std::string& strNumber, const std::string& strText) {
  auto p = std::make_unique<CMessage>();
  p->m_strNumber = strNumber;
  p->m_strMessage = strText;
  return p;
}

// Installs a fault hook for the life of the object.
struct CFaultHookScope {
  explicit CFaultHookScope(StoreFaultHook hook) { SetStoreFaultHook(std::move(hook)); }
  ~CFaultHookScope() { SetStoreFaultHook(nullptr); }
};

// A hook that fails call nCall of one step with the given fault.
inline StoreFaultHook FailAt(StoreStep step, size_t nCall, CStoreFault::Kind kind, int nCause) {
  return [=](StoreStep s, size_t n) {
    CStoreFault f;
    if (s == step && n == nCall)
      f = {kind, nCause};
    return f;
  };
}

// The spare folder of the user, pointed at a fresh folder for one test.
class CSpareFolderScope {
 public:
  CSpareFolderScope() { m_sandbox.SetEnv("XDG_CACHE_HOME", m_sandbox.Root().string()); }
  // The spare folder itself (made by the first save that needs it).
  std::string Spare() const { return (m_sandbox.Root() / "mireth").string(); }
  size_t Files(const std::string& strSuffix) const {
    size_t n = 0;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(Spare(), ec))
      n += e.path().string().ends_with(strSuffix);
    return n;
  }

 private:
  CTestSandbox m_sandbox{"mireth-spare"};
};
