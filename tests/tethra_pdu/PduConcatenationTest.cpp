// Putting concatenated parts back together, built from hand-made parts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tethra/PduConcatenation.h"
#include "tethra/PduDecoder.h"

namespace {

const std::string kFrom = "0B911346610089F6";   // +31641600986
const std::string kOther = "0B916407281553F8";  // +46708251358
const std::string kTime = "42211332958540";

CPduMessage Decode(const std::string& strHex) {
  auto r = CPduDecoder::Decode(strHex);
  EXPECT_TRUE(r.IsOk()) << r.GetError() << " in " << strHex;
  return r.IsOk() ? r.Value() : CPduMessage();
}

// A 7-bit DELIVER with a header: UDL in septets, user data in hex.
CPduMessage Part(const std::string& strFrom, const char* pszUdl, const char* pszUd, const char* pszDcs = "00") {
  return Decode("00" "44" + strFrom + "00" + pszDcs + kTime + pszUdl + pszUd);
}

}  // namespace

TEST(PduConcatenation, GroupsPartsAndJoinsThemInOrder) {
  std::vector<CPduMessage> in;
  in.push_back(Part(kFrom, "09", "0500032A0202DE6B"));    // 0: ref 2A, part 2 of 2, "ok"
  in.push_back(Decode("00" "04" + kFrom + "0000" + kTime + "02" "EF35"));  // 1: a single message, "ok"
  in.push_back(Part(kOther, "0A", "0500032A020190E910"));  // 2: other sender, ref 2A, part 1 of 2
  in.push_back(Part(kFrom, "0A", "0500032A020190E910"));   // 3: ref 2A, part 1 of 2, "Hi!"
  in.push_back(Part(kFrom, "0A", "0500032A020190E910"));   // 4: the same part again

  const auto groups = CPduConcatenation::Group(in);
  ASSERT_EQ(groups.size(), 3u);

  // Groups come in the order of their first part.
  const CPduConcatGroup& a = groups[0];
  EXPECT_TRUE(a.m_bConcatenated && a.IsComplete());
  EXPECT_EQ(a.m_strAddress, "+31641600986");
  EXPECT_EQ(a.m_nReference, 0x2A);
  EXPECT_EQ(a.m_parts, (std::vector<int>{3, 0}));
  EXPECT_EQ(a.m_duplicates, (std::vector<size_t>{4}));
  EXPECT_EQ(a.m_strText, "Hi!ok");
  EXPECT_FALSE(groups[1].m_bConcatenated);
  EXPECT_EQ(groups[1].m_parts, (std::vector<int>{1}));
  EXPECT_EQ(groups[1].m_strText, "ok");

  // The same reference from another sender is another message, still incomplete.
  const CPduConcatGroup& other = groups[2];
  EXPECT_EQ(other.m_strAddress, "+46708251358");
  EXPECT_FALSE(other.IsComplete());
  EXPECT_EQ(other.GetMissing(), (std::vector<int>{2}));
  EXPECT_TRUE(other.m_strText.empty());
}

TEST(PduConcatenation, PairsSplitAcrossPartsAreJoinedWhole) {
  // Another sender's phone cut "a€b" between the escape and its code: part 1 holds
  // 61 1B, part 2 holds 65 62.
  std::vector<CPduMessage> in;
  in.push_back(Part(kFrom, "09", "050003070201C21B"));
  in.push_back(Part(kFrom, "09", "050003070202CA62"));
  EXPECT_EQ(in[0].m_strText, "a ");  // on its own the escape reads as a space
  auto groups = CPduConcatenation::Group(in);
  ASSERT_EQ(groups.size(), 1u);
  EXPECT_EQ(groups[0].m_strText, "a€b");

  // UCS2: the surrogate pair D83D DE00 cut in two.
  in.clear();
  in.push_back(Part(kFrom, "08", "050003090201D83D", "08"));
  in.push_back(Part(kFrom, "08", "050003090202DE00", "08"));
  EXPECT_EQ(in[0].m_strText, "?");
  groups = CPduConcatenation::Group(in);
  ASSERT_EQ(groups.size(), 1u);
  EXPECT_EQ(groups[0].m_strText, "😀");
}

TEST(PduConcatenation, KeyIncludesTotalAndType) {
  std::vector<CPduMessage> in;
  in.push_back(Part(kFrom, "0A", "0500032A020190E910"));  // ref 2A, 2 parts
  in.push_back(Part(kFrom, "0A", "0500032A030190E910"));  // ref 2A, 3 parts: another message
  // A SUBMIT to the same number with the same reference: another message too.
  in.push_back(Decode("00" "41" "00" + kFrom + "0000" "0A" "0500032A020190E910"));
  const auto groups = CPduConcatenation::Group(in);
  ASSERT_EQ(groups.size(), 3u);
  EXPECT_EQ(groups[1].GetMissing(), (std::vector<int>{2, 3}));
  EXPECT_EQ(groups[2].m_type, PduType::SUBMIT);
}
