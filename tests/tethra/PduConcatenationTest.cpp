// Putting concatenated parts back together, built from hand-made parts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/tethra/PduTestSupport.h"
#include "tethra/PduConcatenation.h"
#include "tethra/PduDecoder.h"

namespace {

const std::string& kFrom = kOa;   // +31641600986
const std::string& kOther = kDa;  // +46708251358

// A 7-bit DELIVER with a header: UDL in septets, user data in hex.
CPduMessage Part(const std::string& strFrom, const char* pszUdl, const char* pszUd, const char* pszDcs = "00",
                 const std::string& strTime = kTime) {
  return Decode("0044" + strFrom + "00" + pszDcs + strTime + pszUdl + pszUd);
}

// Ref(n, c, time): part n of a two-part message with reference 7 holding the 7-bit
// character c.
CPduMessage Ref(int nPart, char cText, const std::string& strTime) {
  static const char* const kHex = "0123456789ABCDEF";
  std::string strUd = std::string("05000307020") + static_cast<char>('0' + nPart);
  // After the 6-octet header one fill bit, then the character's seven bits.
  const int nOctet = (cText << 1) & 0xFF;
  strUd += kHex[nOctet >> 4];
  strUd += kHex[nOctet & 0xF];
  return Part(kFrom, "08", strUd.c_str(), "00", strTime);
}

}  // namespace

TEST(PduConcatenation, PartsMeetOnlyInTheirOwnMessageAndAreJoinedWhole) {
  // Time stamps (swapped semi-octets): 2024-12-31 23:59:58 (now), ten minutes earlier
  // (soon) and three weeks earlier (old). Each group's text, or the parts it misses.
  const std::string now = kTime, soon = "42211332954540", old = "42210132958540";
  struct Case {
    const char* pszName;
    std::vector<CPduMessage> in;
    std::vector<std::string> texts;
    size_t nDuplicates;
  };
  const Case cases[] = {
      // Groups come in the order of their first part; the same reference from another
      // sender is another message.
      {"two senders and a single message",
       {Part(kFrom, "09", "0500032A0202DE6B"), Decode(Hex("00 04" + kFrom + "0000" + kTime + "02 EF35")),
        Part(kOther, "0A", "0500032A020190E910"), Part(kFrom, "0A", "0500032A020190E910"),
        Part(kFrom, "0A", "0500032A020190E910")},
       {"Hi!ok", "ok", "missing 2"},
       1},
      {"interleaved",
       {Ref(1, 'a', old), Ref(1, 'c', now), Ref(2, 'd', now), Ref(2, 'b', old)},
       {"ab", "cd"},
       0},
      {"minutes apart",
       {Ref(1, 'a', soon), Ref(2, 'b', now), Ref(1, 'c', old), Ref(2, 'd', old)},
       {"ab", "cd"},
       0},
      // A second, different copy of part 1 stays visible.
      {"second copy", {Ref(1, 'a', now), Ref(2, 'b', now), Ref(1, 'x', now)}, {"ab", "missing 2"}, 0},
      // An exact repeat of a part is a duplicate, not a message.
      {"exact repeat", {Ref(1, 'a', now), Ref(1, 'a', now), Ref(2, 'b', now)}, {"ab"}, 1},
      {"lone parts weeks apart", {Ref(1, 'a', old), Ref(2, 'b', now)}, {"missing 2", "missing 1"}, 0},
      // The same reference with another number of parts, or in a SUBMIT, is another
      // message.
      {"total and type in the key",
       {Part(kFrom, "0A", "0500032A020190E910"), Part(kFrom, "0A", "0500032A030290E910"),
        Decode(Hex("00 41 00" + kFrom + "0000 0A 0500032A020290E910"))},
       {"missing 2", "missing 1 3", "missing 1"},
       0},
      // Another sender's phone cut "a€b" between the escape and its code (61 1B | 65
      // 62), and a UCS2 surrogate pair D83D DE00 in two.
      {"escape pair cut",
       {Part(kFrom, "09", "050003070201C21B"), Part(kFrom, "09", "050003070202CA62")},
       {"a€b"},
       0},
      {"surrogate pair cut",
       {Part(kFrom, "08", "050003090201D83D", "08"), Part(kFrom, "08", "050003090202DE00", "08")},
       {"😀"},
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszName);
    const auto groups = CPduConcatenation::Group(c.in);
    std::vector<std::string> texts;
    size_t nDuplicates = 0, nParts = 0;
    for (const CPduConcatGroup& g : groups) {
      std::string strText = g.IsComplete() ? g.m_strText : "missing";
      for (int n : g.GetMissing())
        strText += " " + std::to_string(n);
      texts.push_back(strText);
      nDuplicates += g.m_duplicates.size();
      for (int n : g.m_parts)
        nParts += n >= 0;
    }
    EXPECT_EQ(texts, c.texts);
    EXPECT_EQ(nDuplicates, c.nDuplicates);
    EXPECT_EQ(nParts + nDuplicates, c.in.size());  // every part is somewhere
  }
  // On its own, the first part of each cut pair reads as what it holds alone.
  EXPECT_EQ(Part(kFrom, "09", "050003070201C21B").m_strText, "a ");
  EXPECT_EQ(Part(kFrom, "08", "050003090201D83D", "08").m_strText, "?");
}
