// The settings file's text form: reading hand-written export files, the exact text
// the writer produces, and where and why malformed files are refused.
#include <gtest/gtest.h>

#include <string>

#include "platform/RegistryFile.h"
#include "res/StringTable.h"

namespace {

using EType = CRegistryFile::EType;

const CRegistryFile::SValue* Value(const CRegistryFile& f, const char* pKey, const char* pName) {
  const CRegistryFile::SKey* k = f.FindKey(pKey);
  return k ? CRegistryFile::FindValue(*k, pName) : nullptr;
}

}  // namespace

TEST(RegistryFile, ReadsAHandWrittenExport) {
  const std::string text =
      "\xEF\xBB\xBF"
      "Windows Registry Editor Version 5.00\r\n"
      "\r\n"
      "; settings of the SMS window\r\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth\\Options]\r\n"
      "\"Baud Rate\"=dword:00002580\r\n"
      "\"COM Port\"=\"COM3\"\r\n"
      "  \"Time Out\" = DWORD:2710  \r\n"
      "\"Service Center\"=\"say \\\"hi\\\" to C:\\\\Temp\\\\\"\r\n"
      "@=\"default\"\r\n"
      "\"Blob\"=hex:01,02,\\\r\n"
      "  03,04\r\n"
      "\r\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth\\Data]\n"   // LF alone is fine too
      "\"Data Folder\"=\"/home/u/SMSData/\"\n"
      "\"Empty\"=\"\"\n"
      "[hkey_current_user\\software\\kelvane\\mireth\\options]\r\n"  // the same key again
      "\"baud rate\"=dword:0001c200\r\n"
      "\"Storage\"=dword:ffffffff";  // no line end at the very end
  CRegistryFile f;
  CRegistryFile::SError err;
  ASSERT_TRUE(f.Parse(text, err)) << "line " << err.nLine << ": " << LoadString(err.nReasonID);

  ASSERT_EQ(f.GetKeys().size(), 2u);
  EXPECT_EQ(f.GetKeys()[0].strPath, "SOFTWARE\\Kelvane\\Mireth\\Options");
  EXPECT_EQ(f.GetKeys()[1].strPath, "SOFTWARE\\Kelvane\\Mireth\\Data");

  const auto* pBaud = Value(f, "software\\KELVANE\\mireth\\options", "BAUD RATE");
  ASSERT_NE(pBaud, nullptr);
  EXPECT_EQ(pBaud->eType, EType::Number);
  EXPECT_EQ(pBaud->nNumber, 115200u);         // the later line wins
  EXPECT_EQ(pBaud->strName, "Baud Rate");     // the first spelling stays
  EXPECT_EQ(Value(f, "SOFTWARE\\Kelvane\\Mireth\\Options", "Time Out")->nNumber, 10000u);
  EXPECT_EQ(Value(f, "SOFTWARE\\Kelvane\\Mireth\\Options", "Storage")->nNumber, 0xFFFFFFFFu);
  EXPECT_EQ(Value(f, "SOFTWARE\\Kelvane\\Mireth\\Options", "COM Port")->strText, "COM3");
  EXPECT_EQ(Value(f, "SOFTWARE\\Kelvane\\Mireth\\Options", "Service Center")->strText,
            "say \"hi\" to C:\\Temp\\");
  EXPECT_EQ(Value(f, "SOFTWARE\\Kelvane\\Mireth\\Options", "")->strText, "default");
  const auto* pBlob = Value(f, "SOFTWARE\\Kelvane\\Mireth\\Options", "Blob");
  ASSERT_NE(pBlob, nullptr);
  EXPECT_EQ(pBlob->eType, EType::Raw);
  EXPECT_EQ(pBlob->strText, "hex:01,02,\\\n  03,04");
  EXPECT_EQ(Value(f, "SOFTWARE\\Kelvane\\Mireth\\Data", "Data Folder")->strText, "/home/u/SMSData/");
  EXPECT_EQ(Value(f, "SOFTWARE\\Kelvane\\Mireth\\Data", "Empty")->strText, "");

  // Parents of a listed key exist; other keys do not.
  EXPECT_TRUE(f.KeyExists("SOFTWARE\\Kelvane"));
  EXPECT_TRUE(f.KeyExists(""));
  EXPECT_FALSE(f.KeyExists("SOFTWARE\\Kelv"));
  EXPECT_FALSE(f.KeyExists("SOFTWARE\\Kelvane\\Mireth\\Inbox"));
  EXPECT_EQ(f.FindKey("SOFTWARE\\Kelvane"), nullptr);

  // Written and read again: the same contents.
  CRegistryFile g;
  ASSERT_TRUE(g.Parse(f.Write(), err));
  EXPECT_EQ(g, f);
}

TEST(RegistryFile, WritesTheExportFormat) {
  CRegistryFile f;
  CRegistryFile::SKey* pKey = f.CreateKey("SOFTWARE\\Kelvane\\Mireth\\Options");
  ASSERT_NE(pKey, nullptr);
  CRegistryFile::SetValue(*pKey, {"Baud Rate", EType::Number, "", 9600});
  CRegistryFile::SetValue(*pKey, {"COM Port", EType::Text, "COM3", 0});
  CRegistryFile::SetValue(*pKey, {"Quote\"d", EType::Text, "a\\b\"c", 0});
  CRegistryFile::SetValue(*pKey, {"", EType::Number, "", 0xDEADBEEF});
  CRegistryFile::SetValue(*pKey, {"com port", EType::Text, "COM4", 0});  // replaces, keeps place and spelling

  EXPECT_EQ(f.Write(),
            "Windows Registry Editor Version 5.00\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\SOFTWARE]\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane]\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth]\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Mireth\\Options]\r\n"
            "\"Baud Rate\"=dword:00002580\r\n"
            "\"COM Port\"=\"COM4\"\r\n"
            "\"Quote\\\"d\"=\"a\\\\b\\\"c\"\r\n"
            "@=dword:deadbeef\r\n"
            "\r\n");

  EXPECT_EQ(f.CreateKey("SOFTWARE\\\\Bad"), nullptr);
  EXPECT_EQ(f.CreateKey("SOFTWARE\\Bad\\"), nullptr);
  EXPECT_TRUE(CRegistryFile::DeleteValue(*f.FindKey("SOFTWARE\\Kelvane\\Mireth\\Options"), "BAUD RATE"));
  EXPECT_FALSE(CRegistryFile::DeleteValue(*f.FindKey("SOFTWARE\\Kelvane\\Mireth\\Options"), "Baud Rate"));
}

TEST(RegistryFile, EmptyAndUtf16Files) {
  CRegistryFile f;
  CRegistryFile::SError err;
  EXPECT_TRUE(f.Parse("", err));
  EXPECT_TRUE(f.Parse(" \r\n\n", err));
  EXPECT_TRUE(f.GetKeys().empty());
  EXPECT_TRUE(f.Parse("REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n\"x\"=\"y\"\n", err));
  ASSERT_NE(Value(f, "A", "x"), nullptr);

  // The desktop's own export: UTF-16LE with a byte-order mark; "é" and a character
  // outside the basic plane come out as UTF-8.
  const std::u16string u =
      u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n\"N\u00e9\"=\"\U0001F600\"\r\n";
  std::string bytes = "\xFF\xFE";
  for (char16_t c : u) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  ASSERT_TRUE(f.Parse(bytes, err)) << LoadString(err.nReasonID);
  const auto* p = Value(f, "A", "N\xC3\xA9");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->strText, "\xF0\x9F\x98\x80");

  // An unpaired surrogate on the second line.
  std::string bad = bytes.substr(0, 2 + 2 * 38);  // BOM, header and "\r\n"
  bad += std::string("\x00\xD8\x41\x00", 4);
  EXPECT_FALSE(f.Parse(bad, err));
  EXPECT_EQ(err.nReasonID, IDS_REGERR_UTF16);
  EXPECT_EQ(err.nLine, 2);
  EXPECT_FALSE(f.Parse(bytes + "x", err));  // odd length
  EXPECT_EQ(err.nReasonID, IDS_REGERR_UTF16);
}

TEST(RegistryFile, MalformedFilesNameTheLineAndReason) {
  const std::string kHead = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n";
  const struct {
    std::string text;
    int nLine;
    unsigned int nReason;
  } kCases[] = {
      {"Windows Registry Editor Version 4.00\r\n", 1, IDS_REGERR_HEADER},
      {"\r\nWindows Registry Editor Version 5.00\r\n", 1, IDS_REGERR_HEADER},
      {"[HKEY_CURRENT_USER\\K]\r\n", 1, IDS_REGERR_HEADER},
      {kHead + "garbage\r\n", 4, IDS_REGERR_BAD_LINE},
      {kHead + "\"a\"\r\n", 4, IDS_REGERR_BAD_LINE},
      {kHead + "\"a\"=\"unterminated\r\n", 4, IDS_REGERR_UNTERMINATED},
      {kHead + "\"a\"=\"ends in backslash\\\"\r\n", 4, IDS_REGERR_UNTERMINATED},
      {kHead + "\"a\"=\"C:\\Temp\"\r\n", 4, IDS_REGERR_BAD_ESCAPE},
      {kHead + "\"a=\"x\"\r\n", 4, IDS_REGERR_BAD_LINE},
      {kHead + "\"a\r\n", 4, IDS_REGERR_BAD_NAME},
      {kHead + "\"a\"=\"x\" y\r\n", 4, IDS_REGERR_TRAILING},
      {kHead + "\"a\"=dword:\r\n", 4, IDS_REGERR_BAD_DWORD},
      {kHead + "\"a\"=dword:123456789\r\n", 4, IDS_REGERR_BAD_DWORD},
      {kHead + "\"a\"=dword:12g4\r\n", 4, IDS_REGERR_BAD_DWORD},
      {kHead + "\"a\"=dword:-1\r\n", 4, IDS_REGERR_BAD_DWORD},
      {kHead + "\"a\"=qword:1\r\n", 4, IDS_REGERR_BAD_TYPE},
      {kHead + "\"a\"=-\r\n", 4, IDS_REGERR_BAD_TYPE},
      {kHead + "\"a\"=hex:zz\r\n", 4, IDS_REGERR_BAD_TYPE},
      {kHead + "\"a\"=hex:01,\\\r\n", 4, IDS_REGERR_CONTINUATION},
      {kHead + "\"a\"=hex:01,\\\r\n\"b\"=\"c\"\r\n", 5, IDS_REGERR_BAD_TYPE},
      {"Windows Registry Editor Version 5.00\r\n\r\n\"a\"=\"b\"\r\n", 3, IDS_REGERR_VALUE_BEFORE_KEY},
      {kHead + "[HKEY_LOCAL_MACHINE\\K]\r\n", 4, IDS_REGERR_BAD_KEY},
      {kHead + "[HKEY_CURRENT_USER\\K\r\n", 4, IDS_REGERR_BAD_KEY},
      {kHead + "[HKEY_CURRENT_USER\\K] x\r\n", 4, IDS_REGERR_BAD_KEY},
      {kHead + "[HKEY_CURRENT_USER\\]\r\n", 4, IDS_REGERR_BAD_KEY},
      {kHead + "[HKEY_CURRENT_USER\\A\\\\B]\r\n", 4, IDS_REGERR_BAD_KEY},
      {kHead + "[HKEY_CURRENT_USERX]\r\n", 4, IDS_REGERR_BAD_KEY},
      {kHead + "\r\n\"a\"=\"b" + std::string(1, '\0') + "\"\r\n", 5, IDS_REGERR_NUL},
  };
  for (const auto& c : kCases) {
    CRegistryFile f;
    CRegistryFile::SError err;
    EXPECT_FALSE(f.Parse(c.text, err)) << c.text;
    EXPECT_EQ(err.nLine, c.nLine) << c.text;
    EXPECT_EQ(err.nReasonID, c.nReason) << c.text << " gave: " << LoadString(err.nReasonID);
    EXPECT_TRUE(f.GetKeys().empty());
    EXPECT_TRUE(HasString(err.nReasonID));
  }
}
