// Loading the messages file: good lines, and bad ones named by their line number.

#include <gtest/gtest.h>

#include <sstream>

#include "vphone/MessageStore.h"
#include "vphone/MessagesFile.h"
#include "tests/support/SmsVectors.h"

using vphone::CMessagesFile;
using vphone::CMessageStore;

namespace {

CMessageStore TwoStorages(int nSim = 30) {
  CMessageStore store;
  EXPECT_TRUE(store.AddStorage("ME", 100));
  EXPECT_TRUE(store.AddStorage("SM", nSim));
  return store;
}

// Reads the text; returns "" when it loads, else the error.
std::string Load(const std::string& strText, CMessageStore& store) {
  std::istringstream in(strText);
  std::string strError;
  return CMessagesFile::Read(in, "msgs.txt", store, strError) ? std::string() : strError;
}

TEST(MessagesFileTest, LoadsLinesInOrderSkippingComments) {
  CMessageStore store = TwoStorages();
  std::string strText = std::string("# a comment\n\n   \n") + "SM 1 " + kHowAreYou +
                        "   # trailing comment\n" + "sm 0 " + kHowAreYou +
                        "\r\n" +  // lower case storage, CR LF line end
                        "ME 2 " + kHelloSubmit + "\n" + "\tSM\t3\t" + kHelloSubmit;  // tabs, no final newline
  EXPECT_EQ(Load(strText, store), "");
  EXPECT_EQ(store.GetIndexes("SM"), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(store.Get("SM", 2)->m_nStatus, 0);
  EXPECT_EQ(store.Get("SM", 3)->m_nStatus, 3);
  EXPECT_EQ(store.Get("SM", 3)->m_nTpduLength, 23);
  EXPECT_EQ(store.Get("ME", 1)->m_strPdu, kHelloSubmit);
}

TEST(MessagesFileTest, BadLinesNameTheLine) {
  struct {
    std::string strLine;
    std::string strError;
  } cases[] = {
      {"SM 1", "msgs.txt:2: expected STORAGE STATUS PDU"},
      {std::string("BM 1 ") + kHowAreYou, "msgs.txt:2: unknown storage \"BM\" (the phone has ME, SM)"},
      {std::string("SM 4 ") + kHowAreYou, "msgs.txt:2: status must be 0 (REC UNREAD)"},
      {std::string("SM 01 ") + kHowAreYou, "msgs.txt:2: status must be"},
      {"SM 1 07911326040000F", "msgs.txt:2: the PDU is not an even number of hexadecimal digits"},
      {std::string("SM 2 ") + kHowAreYou, "msgs.txt:2: bad PDU: not an SMS-SUBMIT"},
      {std::string("SM 0 ") + kHelloSubmit, "msgs.txt:2: bad PDU: not an SMS-DELIVER"},
      {std::string("SM 0 ") + kHowAreYou + " extra", "msgs.txt:2: unexpected text after the PDU: extra"},
  };
  for (const auto& c : cases) {
    CMessageStore store = TwoStorages();
    std::string strError = Load(std::string("# first\n") + c.strLine + "\nSM 1 " + kHowAreYou + "\n", store);
    EXPECT_EQ(strError.rfind(c.strError, 0), 0u) << c.strLine << " -> " << strError;
    EXPECT_TRUE(store.GetIndexes("SM").empty()) << c.strLine;  // the bad line stopped the load
  }
}

TEST(MessagesFileTest, AFullStorageStopsTheLoad) {
  CMessageStore store = TwoStorages(2);
  std::string strLine = std::string("SM 1 ") + kHowAreYou + "\n";
  EXPECT_EQ(Load(strLine + strLine + strLine, store), "msgs.txt:3: storage SM is full (2 messages)");
  EXPECT_EQ(store.GetUsed("SM"), 2);
}

}  // namespace
