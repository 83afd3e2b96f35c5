// The settings file's text form: reading hand-written export files, and where and why
// malformed files are refused.
#include <gtest/gtest.h>

#include "platform/RegistryFile.h"
#include "res/StringTable.h"

namespace {

using EType = CRegistryFile::EType;
using SValue = CRegistryFile::SValue;

// The value, or a Raw value named "missing" when there is none.
SValue Value(const CRegistryFile& f, const char* pszKey, const char* pszName) {
  const CRegistryFile::SKey* k = f.FindKey(pszKey);
  const SValue* p = k ? CRegistryFile::FindValue(*k, pszName) : nullptr;
  return p ? *p : SValue{"missing", EType::Raw, "", 0};
}

TEST(RegistryFile, ReadsAHandWrittenExport) {
  const std::string text =
      "\xEF\xBB\xBF"
      "Windows Registry Editor Version 5.00\r\n"
      "\r\n"
      "; settings of the SMS window\r\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth\\Options]\r\n"
      "\"Baud Rate\"=dword:00002580\r\n"
      "  \"Time Out\" = DWORD:2710  \r\n"
      "\"Service Center\"=\"say \\\"hi\\\" to C:\\\\Temp\\\\\"\r\n"
      "@=\"default\"\r\n"
      "\"Blob\"=hex:01,02,\\\r\n"
      "  03,04\r\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth\\Data]\n"  // LF alone is fine too
      "\"Empty\"=\"\"\n"
      "[hkey_current_user\\software\\kelvane\\mireth\\options]\r\n"  // the same key again
      "\"baud rate\"=dword:0001c200\r\n"
      "\"Storage\"=dword:ffffffff";  // no line end at the very end
  CRegistryFile f;
  CRegistryFile::SError err;
  ASSERT_TRUE(f.Parse(text, err)) << "line " << err.nLine << ": " << LoadString(err.nReasonID);
  ASSERT_EQ(f.GetKeys().size(), 2u);
  EXPECT_EQ(f.GetKeys()[0].strPath, "SOFTWARE\\Kelvane\\Mireth\\Options");
  const char* pszOptions = "software\\KELVANE\\mireth\\options";
  // The later line wins; the first spelling of the name stays.
  EXPECT_EQ(Value(f, pszOptions, "BAUD RATE"), (SValue{"Baud Rate", EType::Number, "", 115200}));
  EXPECT_EQ(Value(f, pszOptions, "Time Out"), (SValue{"Time Out", EType::Number, "", 10000}));
  EXPECT_EQ(Value(f, pszOptions, "Storage").nNumber, 0xFFFFFFFFu);
  EXPECT_EQ(Value(f, pszOptions, "Service Center"),
            (SValue{"Service Center", EType::Text, "say \"hi\" to C:\\Temp\\", 0}));
  EXPECT_EQ(Value(f, pszOptions, "").strText, "default");
  EXPECT_EQ(Value(f, pszOptions, "Blob"), (SValue{"Blob", EType::Raw, "hex:01,02,\\\n  03,04", 0}));
  EXPECT_EQ(Value(f, "SOFTWARE\\Kelvane\\Mireth\\Data", "Empty"), (SValue{"Empty", EType::Text, "", 0}));
  // Parents of a listed key exist; other keys do not.
  EXPECT_TRUE(f.KeyExists("SOFTWARE\\Kelvane"));
  EXPECT_FALSE(f.KeyExists("SOFTWARE\\Kelv"));
  EXPECT_EQ(f.FindKey("SOFTWARE\\Kelvane"), nullptr);
  // Written and read again: the same contents.
  CRegistryFile g;
  ASSERT_TRUE(g.Parse(f.Write(), err));
  EXPECT_EQ(g, f);

  // The desktop's own export: UTF-16LE with a byte-order mark.
  const std::u16string u = u"REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n\"N\u00e9\"=\"\U0001F600\"\r\n";
  std::string bytes = "\xFF\xFE";
  for (char16_t c : u)
    bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  ASSERT_TRUE(f.Parse(bytes, err)) << LoadString(err.nReasonID);
  EXPECT_EQ(Value(f, "A", "N\xC3\xA9").strText, "\xF0\x9F\x98\x80");
  EXPECT_TRUE(f.Parse(" \r\n\n", err));
  EXPECT_TRUE(f.GetKeys().empty());
}

TEST(RegistryFile, MalformedFilesNameTheLineAndReason) {
  const std::string kHead = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n";
  const std::string kUtf16 = std::string(
      "\xFF\xFE"
      "R\0\r\0\n\0\0\xD8",
      10);  // an unpaired surrogate
  // The text, and the line and reason of its refusal.
  const std::tuple<std::string, int, unsigned int> kCases[] = {
      {"Windows Registry Editor Version 4.00\r\n", 1, IDS_REGERR_HEADER},
      {"[HKEY_CURRENT_USER\\K]\r\n", 1, IDS_REGERR_HEADER},
      {kUtf16, 2, IDS_REGERR_UTF16},
      {kUtf16.substr(0, 9), 2, IDS_REGERR_UTF16},  // odd length
      {kHead + "garbage\r\n", 4, IDS_REGERR_BAD_LINE},
      {kHead + "\"a\"=\"unterminated\r\n", 4, IDS_REGERR_UNTERMINATED},
      {kHead + "\"a\"=\"ends in backslash\\\"\r\n", 4, IDS_REGERR_UNTERMINATED},
      {kHead + "\"a\"=\"C:\\Temp\"\r\n", 4, IDS_REGERR_BAD_ESCAPE},
      {kHead + "\"a\r\n", 4, IDS_REGERR_BAD_NAME},
      {kHead + "\"a\"=\"x\" y\r\n", 4, IDS_REGERR_TRAILING},
      {kHead + "\"a\"=dword:123456789\r\n", 4, IDS_REGERR_BAD_DWORD},
      {kHead + "\"a\"=qword:1\r\n", 4, IDS_REGERR_BAD_TYPE},
      {kHead + "\"a\"=hex:01,\\\r\n", 4, IDS_REGERR_CONTINUATION},
      {kHead + "\"a\"=hex:01,\\\r\n\"b\"=\"c\"\r\n", 5, IDS_REGERR_BAD_TYPE},
      {"Windows Registry Editor Version 5.00\r\n\r\n\"a\"=\"b\"\r\n", 3, IDS_REGERR_VALUE_BEFORE_KEY},
      {kHead + "[HKEY_LOCAL_MACHINE\\K]\r\n", 4, IDS_REGERR_BAD_KEY},
      {kHead + "[HKEY_CURRENT_USER\\K] x\r\n", 4, IDS_REGERR_BAD_KEY},
      {kHead + "[HKEY_CURRENT_USER\\A\\\\B]\r\n", 4, IDS_REGERR_BAD_KEY},
      {kHead + "\r\n\"a\"=\"b" + std::string(1, '\0') + "\"\r\n", 5, IDS_REGERR_NUL},
  };
  for (const auto& [text, nLine, nReason] : kCases) {
    CRegistryFile f;
    CRegistryFile::SError err;
    EXPECT_FALSE(f.Parse(text, err)) << testing::PrintToString(text);
    EXPECT_EQ(err.nLine, nLine) << testing::PrintToString(text);
    EXPECT_EQ(err.nReasonID, nReason)
        << testing::PrintToString(text) << " gave: " << LoadString(err.nReasonID);
    EXPECT_TRUE(f.GetKeys().empty());
  }
}

}  // namespace
