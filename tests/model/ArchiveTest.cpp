// The archive layout of the store files, byte for byte, and the reader's answers to
// broken and foreign files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "ModelTestSupport.h"
#include "model/Archive.h"
#include "model/RecordList.h"

namespace {

// Little-endian bytes, built by hand from the layout.
struct CBytes {
  std::string s;
  CBytes& b(int v) { s += static_cast<char>(v); return *this; }
  CBytes& w(unsigned v) { return b(v & 0xFF).b((v >> 8) & 0xFF); }
  CBytes& l(uint32_t v) { return w(v & 0xFFFF).w(v >> 16); }
  CBytes& d(double v) { char c[8]; std::memcpy(c, &v, 8); s.append(c, 8); return *this; }
  CBytes& text(const std::string& t) { s += t; return *this; }
  CBytes& str(const std::string& t) { return b(static_cast<int>(t.size())).text(t); }  // < 255
};

std::unique_ptr<CAddress> Address(const std::string& strNumber, const std::string& strName) {
  auto p = std::make_unique<CAddress>();
  p->SetNumber(strNumber);
  p->SetName(strName);
  return p;
}

TEST(Archive, ListsAreWrittenInTheStoreLayout) {
  std::string bytes;
  // An empty list of either class is the two bytes 00 00.
  ASSERT_TRUE(WriteRecordBytes(CMessageArray{}, bytes).IsOk());
  EXPECT_EQ(bytes, Bytes({0, 0}));
  ASSERT_TRUE(WriteRecordBytes(CAddressArray{}, bytes).IsOk());
  EXPECT_EQ(bytes, Bytes({0, 0}));

  // One service centre "12345" with an empty name.
  CAddressArray one;
  one.push_back(Address("12345", ""));
  ASSERT_TRUE(WriteRecordBytes(one, bytes).IsOk());
  EXPECT_EQ(bytes, CBytes().w(1).w(0xFFFF).w(1).w(8).text("CAddress").str("12345").str("").s);

  // Two records: the class header once, then the class reference 01 80.
  CAddressArray two;
  two.push_back(Address("111", "Ann"));
  two.push_back(Address("222", "Bob"));
  ASSERT_TRUE(WriteRecordBytes(two, bytes).IsOk());
  EXPECT_EQ(bytes, CBytes().w(2).w(0xFFFF).w(1).w(8).text("CAddress").str("111").str("Ann")
                       .b(0x01).b(0x80).str("222").str("Bob").s);

  CAddressArray back;
  ASSERT_TRUE(ReadRecordBytes(bytes.data(), bytes.size(), back).IsOk());
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0]->GetNumber(), "111");
  EXPECT_EQ(back[1]->GetName(), "Bob");
}

TEST(Archive, MessageFieldsAreStoredInSerializeOrder) {
  CMessage m;
  m.m_strSenderName = "S";
  m.m_strName = "N";
  m.m_strNumber = "123";
  m.m_nStatus = 1;
  m.m_nStorage = 2;
  m.m_nType = -3;
  m.m_bFlag = 0x7E;
  m.m_strDateTime = "dt";
  m.m_dtDateTime = CDateTime(45293.25, CDateTime::invalid);
  m.m_strExtra = "x";
  m.m_strServiceCenter = "sc";
  m.m_bReplyCharges = 1;
  m.m_wFirstOctet = 0x0131;
  m.m_nValidity = 167;
  m.m_strMessage = "Hi";
  m.m_strPdu = "00";
  CMessageArray list;
  list.push_back(std::make_unique<CMessage>());
  *list[0] = m;
  std::string bytes;
  ASSERT_TRUE(WriteRecordBytes(list, bytes).IsOk());
  std::string expected = CBytes().w(1).w(0xFFFF).w(1).w(8).text("CMessage")
                             .str("S").str("N").str("123")
                             .l(1).l(2).l(static_cast<uint32_t>(-3))
                             .b(0x7E)
                             .str("dt")
                             .l(1).d(45293.25)
                             .str("x").str("sc")
                             .l(1).w(0x0131).l(167)
                             .str("Hi").str("00").s;
  EXPECT_EQ(bytes, expected);

  CMessageArray back;
  ASSERT_TRUE(ReadRecordBytes(bytes.data(), bytes.size(), back).IsOk());
  ASSERT_EQ(back.size(), 1u);
  EXPECT_TRUE(IsSameRecord(*back[0], m));
}

TEST(Archive, DefaultMessageReadsBackEqual) {
  CMessageArray list;
  list.push_back(std::make_unique<CMessage>());
  std::string bytes;
  ASSERT_TRUE(WriteRecordBytes(list, bytes).IsOk());
  CMessageArray back;
  ASSERT_TRUE(ReadRecordBytes(bytes.data(), bytes.size(), back).IsOk());
  ASSERT_EQ(back.size(), 1u);
  const CMessage& m = *back[0];
  EXPECT_EQ(m.m_bFlag, 1);
  EXPECT_EQ(m.m_dtDateTime.GetStatus(), CDateTime::valid);
  EXPECT_EQ(m.m_dtDateTime.GetDate(), 0.0);
  EXPECT_TRUE(m.m_strSenderName.empty() && m.m_strName.empty() && m.m_strNumber.empty() &&
              m.m_strDateTime.empty() && m.m_strExtra.empty() && m.m_strMessage.empty() &&
              m.m_strPdu.empty() && m.m_strServiceCenter.empty());
  EXPECT_EQ(m.m_nStatus | m.m_nStorage | m.m_nType | m.m_bReplyCharges | m.m_wFirstOctet |
                m.m_nValidity, 0);
}

TEST(Archive, StringLengthForms) {
  struct Case {
    size_t n;
    std::string prefix;
  };
  const Case cases[] = {
      {0, Bytes({0x00})},
      {254, Bytes({0xFE})},
      {255, Bytes({0xFF, 0xFF, 0x00})},
      {65533, Bytes({0xFF, 0xFD, 0xFF})},
      {65534, Bytes({0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00})},
      {70000, Bytes({0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00})},
  };
  for (const Case& c : cases) {
    CAddressArray list;
    list.push_back(Address(std::string(c.n, 'x'), ""));
    std::string bytes;
    ASSERT_TRUE(WriteRecordBytes(list, bytes).IsOk());
    const size_t nHeader = 2 + 6 + 8;
    ASSERT_EQ(bytes.size(), nHeader + c.prefix.size() + c.n + 1) << c.n;
    EXPECT_EQ(bytes.substr(nHeader, c.prefix.size()), c.prefix) << c.n;
    CAddressArray back;
    ASSERT_TRUE(ReadRecordBytes(bytes.data(), bytes.size(), back).IsOk());
    EXPECT_EQ(back[0]->GetNumber().size(), c.n);
  }
  // A short string in a longer form than needed is read all the same.
  std::string bytes = CBytes().w(1).w(0xFFFF).w(1).w(8).text("CAddress")
                          .b(0xFF).w(3).text("abc").b(0xFF).w(0xFFFF).l(2).text("de").s;
  CAddressArray back;
  ASSERT_TRUE(ReadRecordBytes(bytes.data(), bytes.size(), back).IsOk());
  EXPECT_EQ(back[0]->GetNumber(), "abc");
  EXPECT_EQ(back[0]->GetName(), "de");
}

TEST(Archive, Utf16StringsAreReadAsUtf8) {
  auto header = [] { return CBytes().w(1).w(0xFFFF).w(1).w(8).text("CAddress"); };
  struct Case {
    std::string units;  // UTF-16LE code units, with their length form
    std::string strText;
  };
  const Case cases[] = {
      // "Aé€" and a character outside the basic plane (U+1F600, a surrogate pair).
      {CBytes().b(5).w(0x41).w(0xE9).w(0x20AC).w(0xD83D).w(0xDE00).s,
       "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
      // Unpaired surrogates have no equivalent.
      {CBytes().b(3).w(0xD83D).w(0x41).w(0xDE00).s, "?A?"},
      {CBytes().b(1).w(0xD800).s, "?"},
      // The longer length forms work after the mark too.
      {CBytes().b(0xFF).w(2).w(0x48).w(0x69).s, "Hi"},
      {CBytes().b(0).s, ""},
  };
  for (const Case& c : cases) {
    std::string bytes = header().b(0xFF).w(0xFFFE).text(c.units).str("n").s;
    CAddressArray back;
    ASSERT_TRUE(ReadRecordBytes(bytes.data(), bytes.size(), back).IsOk());
    EXPECT_EQ(back[0]->GetNumber(), c.strText);
    EXPECT_EQ(back[0]->GetName(), "n");
  }
  // Units cut off by the end of the file, or a second mark, end the file.
  for (const std::string& units : {CBytes().b(3).w(0x41).s, CBytes().b(0xFF).w(0xFFFE).s}) {
    std::string bytes = header().b(0xFF).w(0xFFFE).text(units).s;
    CAddressArray back;
    CStoreResult r = ReadRecordBytes(bytes.data(), bytes.size(), back);
    EXPECT_EQ(r.m_kind, CStoreResult::archiveError);
    EXPECT_EQ(r.m_nCause, CArchiveException::endOfFile);
    EXPECT_TRUE(back.empty());
  }
}

TEST(Archive, CountsOfAtLeast0xFFFFTakeSixBytes) {
  CAddressArray list;
  for (int i = 0; i < 0xFFFF; ++i)
    list.push_back(std::make_unique<CAddress>());
  std::string bytes;
  ASSERT_TRUE(WriteRecordBytes(list, bytes).IsOk());
  EXPECT_EQ(bytes.substr(0, 8), Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0xFF}));
  EXPECT_EQ(bytes.size(), 6 + 14 + 2 + (0xFFFF - 1) * 4u);
  CAddressArray back;
  ASSERT_TRUE(ReadRecordBytes(bytes.data(), bytes.size(), back).IsOk());
  EXPECT_EQ(back.size(), 0xFFFFu);

  // A small count in the long form is read too.
  std::string small = CBytes().w(0xFFFF).l(1).w(0xFFFF).w(1).w(8).text("CAddress").str("1").str("").s;
  back.clear();
  ASSERT_TRUE(ReadRecordBytes(small.data(), small.size(), back).IsOk());
  EXPECT_EQ(back.size(), 1u);
}

TEST(Archive, BrokenAndForeignFilesGiveTheirCause) {
  const std::string addr = CBytes().w(0xFFFF).w(1).w(8).text("CAddress").str("1").str("A").s;
  const std::string addrRef = CBytes().w(0x8001).str("2").str("B").s;
  const std::string msgHeader = CBytes().w(0xFFFF).w(1).w(8).text("CMessage").s;
  struct Case {
    const char* pszWhat;
    std::string bytes;
    int nCause;
    size_t nKept;
  };
  const Case cases[] = {
      {"zero length", "", CArchiveException::endOfFile, 0},
      {"half a count", Bytes({1}), CArchiveException::endOfFile, 0},
      {"long count cut", Bytes({0xFF, 0xFF, 1, 0}), CArchiveException::endOfFile, 0},
      {"no tag", Bytes({1, 0}), CArchiveException::endOfFile, 0},
      {"half a tag", Bytes({1, 0, 0xFF}), CArchiveException::endOfFile, 0},
      {"class name cut", CBytes().w(1).w(0xFFFF).w(1).w(8).text("CAddr").s,
       CArchiveException::endOfFile, 0},
      {"field cut", CBytes().w(1).w(0xFFFF).w(1).w(8).text("CAddress").b(5).text("12").s,
       CArchiveException::endOfFile, 0},
      {"second record missing", CBytes().w(2).text(addr).s, CArchiveException::endOfFile, 1},
      {"class reference first", CBytes().w(1).w(0x8001).s, CArchiveException::badIndex, 0},
      {"class number 0", CBytes().w(1).w(0x8000).s, CArchiveException::badIndex, 0},
      {"null entry", CBytes().w(1).w(0).s, CArchiveException::badIndex, 0},
      {"back-reference", CBytes().w(2).text(addr).w(2).s, CArchiveException::badIndex, 1},
      {"reference ahead", CBytes().w(2).text(addr).w(5).s, CArchiveException::badIndex, 1},
      {"class number of a record", CBytes().w(2).text(addr).w(0x8002).s,
       CArchiveException::badIndex, 1},
      {"big back-reference", CBytes().w(2).text(addr).w(0x7FFF).l(2).s,
       CArchiveException::badIndex, 1},
      {"unknown class", CBytes().w(1).w(0xFFFF).w(1).w(7).text("CObject").s,
       CArchiveException::badClass, 0},
      {"class name of 64", CBytes().w(1).w(0xFFFF).w(1).w(64).text(std::string(64, 'C')).s,
       CArchiveException::badClass, 0},
      {"class name of 63", CBytes().w(1).w(0xFFFF).w(1).w(63).text(std::string(63, 'C')).s,
       CArchiveException::badClass, 0},
      {"letter case counts", CBytes().w(1).w(0xFFFF).w(1).w(8).text("caddress").s,
       CArchiveException::badClass, 0},
      {"schema 2", CBytes().w(1).w(0xFFFF).w(2).w(8).text("CAddress").s,
       CArchiveException::badSchema, 0},
      {"schema 0", CBytes().w(1).w(0xFFFF).w(0).w(8).text("CAddress").s,
       CArchiveException::badSchema, 0},
      {"a message among addresses", CBytes().w(2).text(addr).text(msgHeader).s,
       CArchiveException::badClass, 1},
      {"a message file", CBytes().w(1).text(msgHeader).s, CArchiveException::badClass, 0},
  };
  for (const Case& c : cases) {
    CAddressArray list;
    CStoreResult r = ReadRecordBytes(c.bytes.data(), c.bytes.size(), list);
    EXPECT_EQ(r.m_kind, CStoreResult::archiveError) << c.pszWhat;
    EXPECT_EQ(r.m_nCause, c.nCause) << c.pszWhat;
    ASSERT_EQ(list.size(), c.nKept) << c.pszWhat;
    for (const auto& p : list)
      ASSERT_NE(p, nullptr) << c.pszWhat;
  }
  // The well-formed pair reads, and a second class header of the same class too.
  std::string good = CBytes().w(3).text(addr).text(addrRef).text(addr).s;
  CAddressArray list;
  EXPECT_TRUE(ReadRecordBytes(good.data(), good.size(), list).IsOk());
  EXPECT_EQ(list.size(), 3u);
  // An address file is refused as a message list.
  CMessageArray messages;
  CStoreResult r = ReadRecordBytes(good.data(), good.size(), messages);
  EXPECT_EQ(r.m_kind, CStoreResult::archiveError);
  EXPECT_EQ(r.m_nCause, CArchiveException::badClass);
  EXPECT_TRUE(messages.empty());
}

}  // namespace

namespace {

CMessageArray ThreeMessages() {
  CMessageArray list;
  for (int i = 0; i < 3; ++i) {
    auto p = std::make_unique<CMessage>();
    p->m_strNumber = "+4917" + std::to_string(i);
    p->m_strMessage = std::string(40 + i * 30, static_cast<char>('a' + i));
    p->m_strPdu = "0791947106004034040C91" + std::string(20, 'F');
    p->m_dtDateTime = CDateTime(2024, 1, 2 + i, 3, 4, 5);
    list.push_back(std::move(p));
  }
  return list;
}

TEST(Archive, AFileCutAtAnyByteKeepsTheRecordsBeforeTheCut) {
  CMessageArray list = ThreeMessages();
  std::string full;
  ASSERT_TRUE(WriteRecordBytes(list, full).IsOk());
  // Where each record ends, from writing the lists of one and two records.
  std::vector<size_t> ends;
  for (size_t n = 1; n <= 3; ++n) {
    CMessageArray part;
    for (size_t i = 0; i < n; ++i) {
      part.push_back(std::make_unique<CMessage>());
      *part.back() = *list[i];
    }
    std::string bytes;
    ASSERT_TRUE(WriteRecordBytes(part, bytes).IsOk());
    ends.push_back(bytes.size());
  }
  ASSERT_EQ(ends.back(), full.size());
  for (size_t nCut = 0; nCut < full.size(); ++nCut) {
    // A copy of exactly nCut bytes, so that the sanitizer sees any read beyond it.
    std::vector<char> cut(full.begin(), full.begin() + static_cast<long>(nCut));
    CMessageArray back;
    CStoreResult r = ReadRecordBytes(cut.data(), cut.size(), back);
    ASSERT_EQ(r.m_kind, CStoreResult::archiveError) << nCut;
    ASSERT_EQ(r.m_nCause, CArchiveException::endOfFile) << nCut;
    size_t nComplete = static_cast<size_t>(std::count_if(ends.begin(), ends.end(),
                                                         [&](size_t e) { return e <= nCut; }));
    ASSERT_EQ(back.size(), nComplete) << nCut;
    for (size_t i = 0; i < back.size(); ++i)
      ASSERT_TRUE(IsSameRecord(*back[i], *list[i])) << nCut;
  }
}

TEST(Archive, ModeAndBufferRules) {
  std::string out;
  CMemFile sink(&out);
  CArchive ar(&sink, CArchive::store, 16);
  uint8_t b = 0;
  try {
    ar >> b;
    ADD_FAILURE() << "reading from a storing archive";
  } catch (const CArchiveException& e) {
    EXPECT_EQ(e.m_cause, CArchiveException::writeOnly);
  }
  // Nothing reaches the file before the buffer fills or the archive is closed.
  ar << static_cast<uint32_t>(0x04030201);
  EXPECT_TRUE(out.empty());
  ar << std::string(40, 'z');
  EXPECT_FALSE(out.empty());
  ar.Close();
  EXPECT_EQ(out.size(), 4 + 1 + 40u);
  EXPECT_EQ(out.substr(0, 5), Bytes({1, 2, 3, 4, 40}));

  CMemFile source(out.data(), out.size());
  CArchive in(&source, CArchive::load, 16);
  try {
    in << b;
    ADD_FAILURE() << "writing to a loading archive";
  } catch (const CArchiveException& e) {
    EXPECT_EQ(e.m_cause, CArchiveException::readOnly);
  }
  uint32_t dw = 0;
  std::string str;
  in >> dw >> str;
  EXPECT_EQ(dw, 0x04030201u);
  EXPECT_EQ(str, std::string(40, 'z'));
}

TEST(Archive, DetectsTheClassOfAFile) {
  std::string bytes;
  CMessageArray messages = ThreeMessages();
  ASSERT_TRUE(WriteRecordBytes(messages, bytes).IsOk());
  EXPECT_EQ(DetectRecordClass(bytes.data(), bytes.size()), StoreRecordClass::message);
  CAddressArray addresses;
  addresses.push_back(Address("1", "A"));
  ASSERT_TRUE(WriteRecordBytes(addresses, bytes).IsOk());
  EXPECT_EQ(DetectRecordClass(bytes.data(), bytes.size()), StoreRecordClass::address);
  EXPECT_EQ(DetectRecordClass("\0\0", 2), StoreRecordClass::none);
  EXPECT_EQ(DetectRecordClass("", 0), StoreRecordClass::none);
}

}  // namespace
