// The archive layout of the store files, byte for byte, and the reader's answers to
// broken and foreign files.
#include <algorithm>
#include <cerrno>

#include "ModelTestSupport.h"
#include "model/Archive.h"
#include "model/StoreLists.h"

namespace {

TEST(Archive, ListsAreWrittenInTheStoreLayout) {
  // The class header once, then the class reference 01 80.
  CAddressArray list;
  list.push_back(MakeAddress("111", "Ann"));
  list.push_back(MakeAddress("222", "Bob"));
  const std::string bytes = ListBytes(list);
  EXPECT_EQ(bytes,
            CBytes().w(2).cls("CAddress").str("111").str("Ann").b(0x01).b(0x80).str("222").str("Bob").s);
  CAddressArray back;
  ASSERT_TRUE(ReadRecordBytes(bytes.data(), bytes.size(), back).IsOk());
  ASSERT_EQ(back.size(), 2u);
  EXPECT_TRUE(IsSameRecord(*back[0], *list[0]) && IsSameRecord(*back[1], *list[1]));
  EXPECT_EQ(DetectRecordClass(bytes.data(), bytes.size()), StoreRecordClass::address);
  EXPECT_EQ(DetectRecordClass("\0\0", 2), StoreRecordClass::none);
}

TEST(Archive, MessageFieldsInOrderAndTheDefaultMessage) {
  CMessage m;
  m.m_strSenderName = "S", m.m_strName = "N", m.m_strNumber = "123";
  m.m_nStatus = 1, m.m_nStorage = 2, m.m_nType = -3, m.m_bFlag = 0x7E;
  m.m_strDateTime = "dt", m.m_dtDateTime = CDateTime(45293.25, CDateTime::invalid);
  m.m_strExtra = "x", m.m_strServiceCenter = "sc", m.m_bReplyCharges = 1;
  m.m_wFirstOctet = 0x0131, m.m_nValidity = 167, m.m_strMessage = "Hi", m.m_strPdu = "00";
  CMessageArray list;
  list.push_back(std::make_unique<CMessage>());
  *list[0] = m;  // assignment copies every field, or the bytes below differ
  std::string bytes = ListBytes(list);
  CBytes expected;
  expected.w(1).cls("CMessage").str("S").str("N").str("123").l(1).l(2).l(static_cast<uint32_t>(-3));
  expected.b(0x7E).str("dt").l(1).d(45293.25).str("x").str("sc").l(1).w(0x0131).l(167);
  EXPECT_EQ(bytes, expected.str("Hi").str("00").s);
  CMessageArray back;
  ASSERT_TRUE(ReadRecordBytes(bytes.data(), bytes.size(), back).IsOk());
  ASSERT_EQ(back.size(), 1u);
  EXPECT_TRUE(IsSameRecord(*back[0], m));
  EXPECT_EQ(DetectRecordClass(bytes.data(), bytes.size()), StoreRecordClass::message);

  // A default message reads back equal: flag 1 and a valid zero date.
  *list[0] = CMessage();
  bytes = ListBytes(list);
  back.clear();
  ASSERT_TRUE(ReadRecordBytes(bytes.data(), bytes.size(), back).IsOk());
  EXPECT_TRUE(IsSameRecord(*back[0], CMessage()));
  EXPECT_EQ(back[0]->m_bFlag, 1);
  EXPECT_EQ(back[0]->m_dtDateTime, CDateTime(0.0, CDateTime::valid));
}

TEST(Archive, StringLengthFormsAndUtf16Strings) {
  const std::pair<size_t, std::string> forms[] = {
      {0, CBytes().b(0).s},
      {254, CBytes().b(0xFE).s},
      {255, CBytes().b(0xFF).w(0xFF).s},
      {65533, CBytes().b(0xFF).w(0xFFFD).s},
      {65534, CBytes().b(0xFF).w(0xFFFF).l(0xFFFE).s},
  };
  for (const auto& [n, prefix] : forms) {
    CAddressArray list;
    list.push_back(MakeAddress(std::string(n, 'x'), ""));
    const std::string bytes = ListBytes(list);
    EXPECT_EQ(bytes, CBytes().w(1).cls("CAddress").text(prefix).text(std::string(n, 'x')).b(0).s) << n;
    CAddressArray back;
    ASSERT_TRUE(ReadRecordBytes(bytes.data(), bytes.size(), back).IsOk());
    EXPECT_EQ(back[0]->m_strNumber.size(), n);
  }
  // Longer forms than needed, and UTF-16LE strings after the mark FF FE FF, read as UTF-8.
  const std::pair<std::string, std::string> reads[] = {
      {CBytes().b(0xFF).w(3).text("abc").s, "abc"},
      {CBytes().b(0xFF).w(0xFFFF).l(2).text("de").s, "de"},
      {CBytes().b(0xFF).w(0xFFFE).b(5).w(0x41).w(0xE9).w(0x20AC).w(0xD83D).w(0xDE00).s,
       "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
      {CBytes().b(0xFF).w(0xFFFE).b(3).w(0xD83D).w(0x41).w(0xDE00).s, "?A?"},
      {CBytes().b(0xFF).w(0xFFFE).b(0xFF).w(2).w(0x48).w(0x69).s, "Hi"},
  };
  for (const auto& [field, strText] : reads) {
    const std::string bytes = CBytes().w(1).cls("CAddress").text(field).str("n").s;
    CAddressArray back;
    ASSERT_TRUE(ReadRecordBytes(bytes.data(), bytes.size(), back).IsOk()) << strText;
    EXPECT_EQ(back[0]->m_strNumber, strText);
    EXPECT_EQ(back[0]->m_strName, "n");
  }
}

// A file many times the reader's buffer: values and texts of every length cross the
// buffer's edge at every offset, and each reads back whole.
TEST(Archive, ValuesAcrossTheReadBufferEdgeReadBackWhole) {
  std::string bytes;
  CMemFile out(&bytes);
  CArchive writer(&out, CArchive::store, 16);
  for (uint32_t i = 0; i < 80; ++i)
    writer << static_cast<uint8_t>(i) << std::string(i % 37, static_cast<char>('a' + i % 26))
           << i * 0x01020304u << i + 0.5;
  writer.Close();
  for (size_t nBuffer : {16, 17, 23, 4096}) {
    SCOPED_TRACE(nBuffer);
    CMemFile in(bytes.data(), bytes.size());
    CArchive reader(&in, CArchive::load, nBuffer);
    for (uint32_t i = 0; i < 80; ++i) {
      uint8_t b = 0;
      std::string text;
      uint32_t dw = 0;
      double d = 0;
      reader >> b >> text >> dw >> d;
      ASSERT_EQ(b, i);
      ASSERT_EQ(text, std::string(i % 37, static_cast<char>('a' + i % 26))) << i;
      ASSERT_EQ(dw, i * 0x01020304u) << i;
      ASSERT_EQ(d, i + 0.5) << i;
    }
    EXPECT_EQ(reader.GetRemaining(), 0u);
  }
}

// Texts read in place stay whole until the keep ends, while the buffer under them is
// refilled, moved and grown: short and long texts (the last, longer than the buffer) and a
// UTF-16 text, which is converted aside.
TEST(Archive, KeptTextsStayWholeUntilTheKeepEnds) {
  std::vector<std::string> texts;
  std::string bytes;
  CMemFile out(&bytes);
  CArchive writer(&out, CArchive::store);
  for (size_t i = 0; i < 60; ++i) {
    texts.push_back(std::string(i == 59 ? 5000 : i % 37, static_cast<char>('a' + i % 26)));
    if (i != 7) {
      writer << texts.back();
      continue;
    }
    const std::string wide = CBytes().b(0xFF).w(0xFFFE).b(2).w(0x48).w(0xE9).s;
    writer.Write(wide.data(), wide.size());
    texts.back() = "H\xC3\xA9";
  }
  writer.Close();
  for (size_t nBuffer : {16, 23, 4096}) {
    CMemFile in(bytes.data(), bytes.size());
    CArchive reader(&in, CArchive::load, nBuffer);
    for (size_t nFirst = 0; nFirst < texts.size(); nFirst += 10) {
      std::string spill[10];
      CArchive::CKeptText kept[10];
      reader.BeginKeep();
      for (size_t i = 0; i < 10; ++i)
        kept[i] = reader.ReadKeptText(spill[i]);
      for (size_t i = 0; i < 10; ++i)
        ASSERT_EQ(reader.KeptView(kept[i], spill[i]), texts[nFirst + i]) << nBuffer << " " << nFirst + i;
      reader.EndKeep();
    }
    EXPECT_EQ(reader.GetRemaining(), 0u) << nBuffer;
  }
}

// What the system says when a store file cannot be written or read, as the cause whose
// text the user is shown.
TEST(Archive, SystemErrorsMapToTheirFileCause) {
  const std::pair<int, int> cases[] = {
      {ENOSPC, CFileException::diskFull},         {EDQUOT, CFileException::diskFull},
      {EFBIG, CFileException::diskFull},          {EACCES, CFileException::accessDenied},
      {EROFS, CFileException::accessDenied},      {ENOENT, CFileException::fileNotFound},
      {EMFILE, CFileException::tooManyOpenFiles}, {EIO, CFileException::hardIO},
      {ENOLCK, CFileException::lockViolation},    {0, CFileException::none},
  };
  for (const auto& [nErrno, nCause] : cases)
    EXPECT_EQ(CFileException::CauseFromErrno(nErrno), nCause) << nErrno;
}

TEST(Archive, BrokenAndForeignFilesGiveTheirCause) {
  const std::string addr = CBytes().cls("CAddress").str("1").str("A").s;
  const int eof = CArchiveException::endOfFile, index = CArchiveException::badIndex,
            cls = CArchiveException::badClass, schema = CArchiveException::badSchema;
  // The bytes, the cause given, and how many records are kept.
  const std::tuple<std::string, int, size_t> cases[] = {
      {"", eof, 0},
      {CBytes().w(0xFFFF).w(1).s, eof, 0},                                       // long count cut
      {CBytes().w(1).w(0xFFFF).w(1).w(8).text("CAddr").s, eof, 0},               // class name cut
      {CBytes().w(2).text(addr).s, eof, 1},                                      // second record missing
      {CBytes().w(1).cls("CAddress").b(0xFF).w(0xFFFE).b(3).w(0x41).s, eof, 0},  // UTF-16 cut
      {CBytes().w(1).w(0x8001).s, index, 0},                                     // reference first
      {CBytes().w(1).w(0).s, index, 0},                                          // null entry
      {CBytes().w(2).text(addr).w(2).s, index, 1},                               // back-reference
      {CBytes().w(2).text(addr).w(0x8002).s, index, 1},                          // class number of a record
      {CBytes().w(2).text(addr).w(0x7FFF).l(2).s, index, 1},                     // big back-reference
      {CBytes().w(1).cls("CObject").s, cls, 0},
      {CBytes().w(1).cls(std::string(64, 'C')).s, cls, 0},
      {CBytes().w(1).cls("caddress").s, cls, 0},             // letter case counts
      {CBytes().w(2).text(addr).cls("CMessage").s, cls, 1},  // a message among addresses
      {CBytes().w(1).w(0xFFFF).w(2).w(8).text("CAddress").s, schema, 0},
      {CBytes().w(1).w(0xFFFF).w(0).w(8).text("CAddress").s, schema, 0},
  };
  for (const auto& [bytes, nCause, nKept] : cases) {
    CAddressArray list;
    const CStoreResult r = ReadRecordBytes(bytes.data(), bytes.size(), list);
    EXPECT_EQ(r.m_kind, CStoreResult::archiveError) << testing::PrintToString(bytes);
    EXPECT_EQ(r.m_nCause, nCause) << testing::PrintToString(bytes);
    EXPECT_EQ(list.size(), nKept) << testing::PrintToString(bytes);
  }
  // A second class header of the same class is read; an address file is no message list.
  const std::string good = CBytes().w(3).text(addr).w(0x8001).str("2").str("B").text(addr).s;
  CAddressArray addresses;
  EXPECT_TRUE(ReadRecordBytes(good.data(), good.size(), addresses).IsOk());
  EXPECT_EQ(addresses.size(), 3u);
  CMessageArray messages;
  EXPECT_EQ(ReadRecordBytes(good.data(), good.size(), messages).m_nCause, cls);
  EXPECT_TRUE(messages.empty());
}

// A three-record inbox cut at every byte: no crash, the records before the cut kept,
// the end of the file given as the cause.
TEST(Archive, AFileCutAtAnyByteKeepsTheRecordsBeforeTheCut) {
  CMessageArray list;
  std::vector<size_t> ends;  // where each record ends
  for (int i = 0; i < 3; ++i) {
    list.push_back(MakeMessage("+4917" + std::to_string(i), std::string(40 + i * 30, 'a' + i)));
    list.back()->m_dtDateTime = CDateTime(2024, 1, 2 + i, 3, 4, 5);
    ends.push_back(ListBytes(list).size());
  }
  const std::string full = ListBytes(list);
  for (size_t nCut = 0; nCut < full.size(); ++nCut) {
    // A copy of exactly nCut bytes, so that the sanitizer sees any read beyond it.
    const std::vector<char> cut(full.begin(), full.begin() + static_cast<long>(nCut));
    const size_t nKept =
        static_cast<size_t>(std::count_if(ends.begin(), ends.end(), [&](size_t e) { return e <= nCut; }));
    CMessageArray back;
    const CStoreResult r = ReadRecordBytes(cut.data(), cut.size(), back);
    ASSERT_EQ(r.m_kind, CStoreResult::archiveError) << nCut;
    ASSERT_EQ(r.m_nCause, CArchiveException::endOfFile) << nCut;
    ASSERT_EQ(back.size(), nKept) << nCut;
    for (size_t i = 0; i < back.size(); ++i)
      ASSERT_TRUE(IsSameRecord(*back[i], *list[i])) << nCut;
  }
}

// A list long enough to be filled on other threads reads back whole and in order; cut
// inside a record of a later batch, or of the last, it keeps the records before the
// cut and no others.
TEST(Archive, ALongListReadsBackInOrderAndACutKeepsWhatCameBefore) {
  CMessageArray list;
  for (size_t i = 0; i < 3172; ++i) {  // three full batches of 1,024 and part of a fourth
    // The number marks the record in the bytes; texts of 0 to 400 bytes take every
    // length form, some with a two-byte character.
    list.push_back(MakeMessage("#" + std::to_string(i) + "#", std::string(i * 7 % 401, 'a' + i % 26)));
    if (i % 5 == 0)
      list.back()->m_strMessage += "\xC3\xA9";
    list.back()->m_nStatus = static_cast<int32_t>(i);
  }
  const std::string full = ListBytes(list);
  CMessageArray back;
  ASSERT_TRUE(ReadRecordBytes(full.data(), full.size(), back).IsOk());
  ASSERT_EQ(back.size(), list.size());
  for (size_t i = 0; i < list.size(); ++i)
    ASSERT_TRUE(IsSameRecord(*back[i], *list[i])) << i;
  for (size_t nCutIn : {1500u, 2048u, 3171u}) {
    const size_t nCut = full.find("#" + std::to_string(nCutIn) + "#") + 1;
    const std::vector<char> cut(full.begin(), full.begin() + static_cast<long>(nCut));
    CMessageArray kept;
    const CStoreResult r = ReadRecordBytes(cut.data(), cut.size(), kept);
    EXPECT_EQ(r.m_nCause, CArchiveException::endOfFile) << nCutIn;
    ASSERT_EQ(kept.size(), nCutIn);
    for (size_t i = 0; i < kept.size(); ++i)
      ASSERT_TRUE(IsSameRecord(*kept[i], *list[i])) << nCutIn << " " << i;
  }
}

}  // namespace
