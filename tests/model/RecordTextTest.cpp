// A message record's texts after the operations that move them between blocks: a
// load packs them into the record's one block, a copy into the copy's own, an
// assignment gives a single field its own; a text taken out must outlive them all.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "model/Archive.h"
#include "model/Message.h"
#include "model/RecordList.h"

namespace {

// The eight texts of a record, in the order the store files write them.
using Texts = std::array<std::string, 8>;

Texts TextsOf(const CMessage& m) {
  return {m.m_strSenderName, m.m_strName,          m.m_strNumber,  m.m_strDateTime,
          m.m_strExtra,      m.m_strServiceCenter, m.m_strMessage, m.m_strPdu};
}

// Each field assigned: each text then has a block of its own.
void AssignTexts(CMessage& m, const Texts& t) {
  m.m_strSenderName = t[0];
  m.m_strName = t[1];
  m.m_strNumber = t[2];
  m.m_strDateTime = t[3];
  m.m_strExtra = t[4];
  m.m_strServiceCenter = t[5];
  m.m_strMessage = t[6];
  m.m_strPdu = t[7];
}

std::unique_ptr<CMessage> MakeRecord(const Texts& t) {
  auto p = std::make_unique<CMessage>();
  AssignTexts(*p, t);
  p->m_nStatus = 3;
  p->m_wFirstOctet = 0x24;
  return p;
}

// Records with empty texts, texts at the length-form edges (254 and 255 bytes, 65534
// and 65535), one longer than the archive's buffer, and bytes a C string would cut.
std::vector<Texts> Samples() {
  return {
      {"", "", "", "", "", "", "", ""},
      {"Ann", "", "+491701234567", "01/02/24 13:04:05", "SM:3", "+491710760000", "Hello", "0791"},
      {"", std::string(254, 'n'), "1", std::string(255, 'd'), "", "", std::string(65534, 'm'),
       std::string(65535, 'P')},
      {std::string("a\0b", 3), "x", "", "", std::string(1, '\0'), "", std::string(200000, 'z'), "07"},
  };
}

CMessageArray Load(const CMessageArray& list) {
  std::string bytes;
  EXPECT_TRUE(WriteRecordBytes(list, bytes).IsOk());
  CMessageArray back;
  EXPECT_TRUE(ReadRecordBytes(bytes.data(), bytes.size(), back).IsOk());
  return back;
}

TEST(RecordTexts, EveryTextSurvivesLoadCopyRefillAndTheSourceGoing) {
  const std::vector<Texts> samples = Samples();
  CMessageArray list;
  for (const Texts& t : samples)
    list.push_back(MakeRecord(t));

  // Each step yields a record and the texts it must have; the source of the step is
  // gone before the texts are read.
  struct Step {
    const char* pszName;
    std::function<void(CMessage& into, size_t i)> fn;
  };
  const Step steps[] = {
      {"copy of a loaded record, list freed", [&](CMessage& into, size_t i) { into = *Load(list)[i]; }},
      {"copy over a record whose texts have blocks of their own, one longer, the others too small",
       [&](CMessage& into, size_t i) {
         into = *MakeRecord(Texts{std::string(300000, 'q'), "w", "e", "r", "t", "y", "u", "i"});
         into = *list[i];
       }},
      {"refilled record of a stream",
       [&](CMessage& into, size_t i) {
         std::string bytes;
         ASSERT_TRUE(WriteRecordBytes(list, bytes).IsOk());
         CMemFile file(bytes.data(), bytes.size());
         CArchive ar(&file, CArchive::load);
         CMessage record;
         size_t n = 0;
         ReadRecordStream(ar, record, [&](const CMessage& m) {
           if (n++ == i)
             into = m;
         });
         EXPECT_EQ(n, samples.size());
       }},
  };
  for (const Step& step : steps) {
    for (size_t i = 0; i < samples.size(); ++i) {
      CMessage record;
      step.fn(record, i);
      EXPECT_EQ(TextsOf(record), samples[i]) << step.pszName << ", record " << i;
      EXPECT_TRUE(IsSameRecord(record, *list[i])) << step.pszName << ", record " << i;
    }
  }
}

TEST(RecordTexts, OneFieldChangedAfterALoadLeavesTheOthersAndOutlivesTheRecord) {
  const Texts t = Samples()[1];
  CMessageArray list;
  list.push_back(MakeRecord(t));
  CMessageArray back = Load(list);
  CMessage& m = *back[0];

  // Assigning views of the field itself or of a neighbour in the same block.
  struct Case {
    const char* pszName;
    std::function<void()> fn;
    std::string strMessage;
  };
  const Case cases[] = {
      {"shorter", [&] { m.m_strMessage = "Hi"; }, "Hi"},
      {"longer than the block", [&] { m.m_strMessage = std::string(5000, 'L'); }, std::string(5000, 'L')},
      {"a part of itself", [&] { m.m_strMessage = m.m_strMessage.View().substr(4000, 3); }, "LLL"},
      {"its neighbour in the block", [&] { m.m_strMessage = m.m_strPdu; }, t[7]},
      {"appended to", [&] { m.m_strMessage += m.m_strNumber; }, t[7] + t[2]},
      {"cleared", [&] { m.m_strMessage.clear(); }, ""},
  };
  for (const Case& c : cases) {
    c.fn();
    Texts expected = t;
    expected[6] = c.strMessage;
    EXPECT_EQ(TextsOf(m), expected) << c.pszName;
    EXPECT_EQ(std::string(m.m_strMessage.c_str()), c.strMessage) << c.pszName << ": no NUL at the end";
  }

  // Texts taken out of a loaded record: copies and moves stay valid once it is gone.
  CRecordText copied = back[0]->m_strPdu;
  CRecordText moved = std::move(back[0]->m_strNumber);
  std::string str = back[0]->m_strServiceCenter;
  back.clear();
  EXPECT_EQ(copied, t[7]);
  EXPECT_EQ(moved, t[2]);
  EXPECT_EQ(str, t[5]);
  EXPECT_EQ(std::string(copied.c_str()), t[7]);
}

}  // namespace
