// Helpers of the model tests: a prompt service that records what it shows, a
// temporary data folder, whole-file reads and writes, and a scoped fault hook.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "model/StoreFile.h"
#include "platform/PromptService.h"

class CRecordingPrompt final : public IPromptService {
 public:
  CRecordingPrompt() { m_pOld = SetPromptService(this); }
  ~CRecordingPrompt() override { SetPromptService(m_pOld); }
  int MessageBox(const std::string& text, const std::string&, unsigned int type) override {
    m_texts.push_back(text);
    m_types.push_back(type);
    return IDOK;
  }
  void BeginWaitCursor() override {}
  void EndWaitCursor() override {}

  std::vector<std::string> m_texts;
  std::vector<unsigned int> m_types;

 private:
  IPromptService* m_pOld;
};

// A fresh folder, removed with everything in it at the end. Path() ends in '/'.
class CTempFolder {
 public:
  CTempFolder() {
    std::string strTemplate = std::filesystem::temp_directory_path().string() + "/mireth-model-XXXXXX";
    char* p = mkdtemp(strTemplate.data());
    EXPECT_NE(p, nullptr);
    m_strPath = strTemplate + "/";
  }
  ~CTempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(m_strPath, ec);
  }
  const std::string& Path() const { return m_strPath; }
  // Names of the entries of the folder.
  std::vector<std::string> List() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(m_strPath))
      names.push_back(e.path().filename().string());
    return names;
  }

 private:
  std::string m_strPath;
};

inline std::string ReadFileBytes(const std::string& strPath) {
  std::ifstream in(strPath, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFileBytes(const std::string& strPath, const std::string& bytes) {
  std::ofstream out(strPath, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values)
    s += static_cast<char>(v);
  return s;
}

// Installs a fault hook for the life of the object.
class CFaultHookScope {
 public:
  explicit CFaultHookScope(StoreFaultHook hook) { SetStoreFaultHook(std::move(hook)); }
  ~CFaultHookScope() { SetStoreFaultHook(nullptr); }
};
