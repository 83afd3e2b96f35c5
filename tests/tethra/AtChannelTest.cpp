// The AT channel against a scripted modem: echo, line ends, URCs, the prompt, "SIM
// busy", time-outs, noise and a line that goes away.
#include <gtest/gtest.h>

#include <chrono>

#include "tests/tethra/PhoneTestSupport.h"
#include "tethra/AtChannel.h"
#include "tethra/AtResponse.h"

namespace {

using namespace std::string_literals;

int64_t MillisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
      .count();
}

TEST(AtChannelTest, ReadsRepliesAndErrorsInEveryForm) {
  const AtFinal ok = AT_FINAL_OK, error = AT_FINAL_ERROR, cme = AT_FINAL_CME, cms = AT_FINAL_CMS;
  struct Case {
    const char* pszName;
    std::string strReply;
    size_t nChunk;
    AtFinal eFinal;
    int nCode;            // the error's number
    const char* pszInfo;  // the information line's value, "" for none
  } const cases[] = {
      {"echo on, CRLF", "AT+CGMI\r\r\nNokia\r\n\r\nOK\r\n", 4096, ok, -1, "Nokia"},
      {"CR only", "\rNokia\r\rOK\r", 4096, ok, -1, "Nokia"},
      {"LF only, echo", "AT+CGMI\nNokia\nOK\n", 4096, ok, -1, "Nokia"},
      {"byte by byte", "AT+CGMI\r\r\n\r\n  Nokia  \r\n\r\n\r\nOK\r\n", 1, ok, -1, "Nokia"},
      {"prefixed answer", "\r\n+CGMI: Nokia\r\n\r\nOK\r\n", 3, ok, -1, "Nokia"},
      {"lower-case echo", "at+cgmi\r\r\nNokia\r\nOK\r\n", 5, ok, -1, "Nokia"},
      {"error", "\r\nERROR\r\n", 4096, error, -1, ""},
      {"its own word for an error", "\r\nCOMMAND NOT SUPPORT\r\n", 4096, error, -1, ""},
      {"CME number", "\r\n+CME ERROR: 10\r\n", 4096, cme, 10, ""},
      {"CMS number", "\r\n+CMS ERROR: 330\r\n", 4096, cms, 330, ""},
      {"CMS in words", "\r\n+CMS ERROR: SMSC address unknown\r\n", 4096, cms, 330, ""},
      {"CME in words", "\r\n+CME ERROR: SIM PIN required\r\n", 4096, cme, 11, ""},
      {"unknown words", "\r\n+CME ERROR: something new\r\n", 4096, cme, -1, ""},
      {"no number", "\r\n+CME ERROR:\r\n", 4096, cme, -1, ""},
      // A notice whose PDU line never comes does not swallow the result after it.
      {"notice without its PDU", "\r\n+CMT: ,24\r\n+CMS ERROR: 500\r\n", 4096, cms, 500, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszName);
    CScriptedTransport t;
    t.SetChunkSize(c.nChunk);
    t.Expect("AT+CGMI\r", c.strReply);
    CAtChannel channel(t, 1000);
    CAtReply reply;
    EXPECT_EQ(channel.Command("AT+CGMI", reply), c.eFinal == ok ? AT_STATUS_OK : AT_STATUS_ERROR);
    EXPECT_EQ(std::tie(reply.eFinal, reply.nErrorCode), std::tie(c.eFinal, c.nCode));
    ASSERT_EQ(reply.lines.size(), *c.pszInfo != 0 ? 1u : 0u);
    if (!reply.lines.empty()) {
      EXPECT_EQ(AtInfoValue(reply.lines[0], "+CGMI"), c.pszInfo);
    }
  }
}

TEST(AtChannelTest, KeepsUnsolicitedCodesOutOfAListing) {
  // Two messages; URCs before, between and inside the entries, a status report with
  // its own PDU line, then a flood of signal reports before the final OK.
  std::string reply = "AT+CMGL=4\r\r\n+CMTI: \"SM\",3\r\n+CMGL: 1,1,,30\r\n"s + kHowAreYou + "\r\n";
  reply += "RING\r\n\r\n+CREG: 1\r\n^RSSI:17\r\n";
  reply += "+CDS: 25\r\n07911326040000F006FF0B911346610089F6208062917314082080629173240800\r\n";
  reply += "+CMGL: 2,0,\"Bob, Jr\",30\r\n^BOOT:12345,0,0,0,6\r\n"s + kHowAreYou + "\r\n";
  for (int i = 0; i < 200; ++i)
    reply += "^RSSI:" + std::to_string(i % 31) + "\r\n";
  reply += "\r\nOK\r\n";
  for (size_t nChunk : {size_t(4096), size_t(7), size_t(1)}) {
    SCOPED_TRACE(nChunk);
    CScriptedTransport t;
    t.SetChunkSize(nChunk);
    t.Expect("AT+CMGL=4\r", reply);
    CAtChannel channel(t, 2000);
    CAtReply r;
    ASSERT_EQ(channel.Command("AT+CMGL=4", r), AT_STATUS_OK);
    std::vector<CAtListEntry> entries;
    std::vector<CAtBadEntry> bad;
    AtParseCmglListing(r.lines, entries, bad);
    EXPECT_TRUE(bad.empty());
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(std::tie(entries[0].header.nIndex, entries[1].header.nStat, entries[1].strPdu),
              std::make_tuple(1, 0, kHowAreYou));
    std::vector<std::string> urcs = channel.TakeUrcs();
    ASSERT_EQ(urcs.size(), 206u);
    EXPECT_EQ(urcs[0] + "|" + urcs[4].substr(0, 10) + "|" + urcs[5] + "|" + urcs[205],
              "+CMTI: \"SM\",3|+CDS: 25\n0|^BOOT:12345,0,0,0,6|^RSSI:13");
  }
  // A phone that floods the line: only the newest codes are kept, within the bound.
  std::string flood = "AT\r\r\n";
  for (size_t i = 0; i <= CAtReplyParser::MAX_URCS; ++i)
    flood += "+CMTI: \"SM\"," + std::to_string(i) + "\r\n";
  CScriptedTransport t;
  t.Expect("AT\r", flood + "OK\r\n");
  CAtChannel channel(t, 2000);
  CAtReply r;
  ASSERT_EQ(channel.Command("AT", r), AT_STATUS_OK);
  const std::vector<std::string> urcs = channel.TakeUrcs();
  EXPECT_EQ(
      std::make_pair(urcs.size(), urcs.back()),
      std::make_pair(CAtReplyParser::MAX_URCS, "+CMTI: \"SM\"," + std::to_string(CAtReplyParser::MAX_URCS)));
}

TEST(AtChannelTest, WritesDataAfterThePromptOnly) {
  struct Case {
    const char* pszName;
    std::string strPrompt, strResult;  // the answers to the command and to the data
    AtStatus eStatus;
    std::vector<std::string> writes;
    std::vector<std::string> lines;
  };
  const std::string cmd = "AT+CMGS=23\r", data = kHelloSubmit + "\x1A";
  const AtStatus ok = AT_STATUS_OK;
  const Case cases[] = {
      // Echo on: the PDU comes back with Ctrl-Z.
      {"echo on", cmd + "\r\n> ", data + "\r\n+CMGS: 42\r\n\r\nOK\r\n", ok, {cmd, data}, {"+CMGS: 42"}},
      {"bare prompt", "\r\n>", " \r\n+CMTI: \"ME\",1\r\n+CMGS: 7\r\nOK\r\n", ok, {cmd, data}, {"+CMGS: 7"}},
      {"refused before the prompt: no data", "\r\n+CMS ERROR: 304\r\n", "", AT_STATUS_ERROR, {cmd}, {}},
      {"no prompt: ESC leaves the text entry", cmd, "", AT_STATUS_TIMEOUT, {cmd, "\x1B"}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pszName);
    CScriptedTransport t;
    t.SetChunkSize(5);
    t.Expect(cmd, c.strPrompt);
    t.Expect(data, c.strResult);
    CAtChannel channel(t, 200);
    CAtReply reply;
    EXPECT_EQ(channel.CommandWithData("AT+CMGS=23", kHelloSubmit, reply), c.eStatus);
    EXPECT_EQ(t.m_writes, c.writes);
    EXPECT_EQ(reply.lines, c.lines);
  }
}

TEST(AtChannelTest, RetriesWhileTheSimIsBusy) {
  CScriptedTransport t;
  t.Expect("AT+CPMS=?\r", "\r\n+CME ERROR: 14\r\n");
  t.Expect("AT+CPMS=?\r", "\r\n+CME ERROR: SIM busy\r\n");
  t.Expect("AT+CPMS=?\r", "\r\n+CPMS: (\"SM\"),(\"SM\"),(\"SM\")\r\n\r\nOK\r\n");
  t.Expect("AT+CPMS=?\r", "\r\n+CME ERROR: 10\r\n");
  CAtChannel channel(t, 5000);
  CAtReply reply;
  ASSERT_EQ(channel.Command("AT+CPMS=?", reply), AT_STATUS_OK);
  ASSERT_EQ(reply.lines.size(), 1u);
  // Other errors are not retried.
  EXPECT_EQ(channel.Command("AT+CPMS=?", reply), AT_STATUS_ERROR);
  EXPECT_EQ(channel.GetCommandCount(), 4u);

  // Busy for ever: gives up by the time-out with the busy error.
  CScriptedTransport busy;
  for (int i = 0; i < 100; ++i)
    busy.Expect("AT+CMGL=4\r", "\r\n+CMS ERROR: 314\r\n");
  CAtChannel busyChannel(busy, 200);
  EXPECT_EQ(busyChannel.Command("AT+CMGL=4", reply), AT_STATUS_ERROR);
  EXPECT_TRUE(CAtChannel::IsBusyReply(reply));
  EXPECT_LT(busy.StepsLeft(), 99u);
}

TEST(AtChannelTest, TimesOutWhenTheFinalResultNeverComes) {
  // A silent phone is one of the phone session's set-ups. A phone that only ever sends URCs, or a port that
  // chatters text of its own (a console, a GPS port), does not keep the command alive: it ends at its
  // time-out, and what is kept of the chatter is bounded, even of lines that look like the command's own.
  CAtReply reply;
  for (const char* pszChatter : {"\r\n^RSSI:5\r\n", "$GPGGA,123519,4807.038,N,01131.000,E,1,08*47\r\n",
                                 "READY FOR INPUT\r\n", "+CGMM: again\r\n"}) {
    SCOPED_TRACE(pszChatter);
    CScriptedTransport console;
    console.Expect("AT+CGMM\r", "");
    std::string strBurst;
    for (int i = 0; i < 200; ++i)
      strBurst += pszChatter;
    console.SetIdleSource([&] { return strBurst; });
    CAtChannel consoleChannel(console, 300);
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(consoleChannel.Command("AT+CGMM", reply), AT_STATUS_TIMEOUT);
    EXPECT_LE(reply.lines.size(), CAtReplyParser::MAX_REPLY_LINES);
    EXPECT_LT(MillisecondsSince(begin), 20000);
  }
}

TEST(AtChannelTest, TakesAnAnswerLineThatComesWithoutAFinalResult) {
  // "+CPIN: READY" and nothing after it: the answer once a short grace has passed;
  // a late OK is read past and does not end the next command. (With its OK or as an
  // error, the answer is one of the phone session's set-ups.)
  CScriptedTransport t;
  t.Expect("AT+CPIN?\r", "\r\n+CPIN: READY\r\n");
  t.Expect("AT+CMGF=0\r", "\r\nOK\r\n");
  CAtChannel channel(t, 2000);
  CAtReply reply;
  ASSERT_EQ(channel.CommandAnswered("AT+CPIN?", "+CPIN:", reply), AT_STATUS_OK);
  ASSERT_EQ(reply.lines.size(), 1u);
  EXPECT_EQ(reply.lines[0], "+CPIN: READY");
  EXPECT_EQ(channel.Command("AT+CMGF=0", reply), AT_STATUS_OK);
}

TEST(AtChannelTest, SkipsNoiseAndReportsALostLine) {
  // Noise waiting before the command, noise glued in front of the echo, bytes that
  // are no text at all before the reply; then a result and a URC in one read: the URC
  // must not become part of the next reply.
  CScriptedTransport t;
  t.Push("\xFF\xFE\x00\x13garbage\r\n\x80\x81\r#!x"s);
  t.Expect("AT+CGMR\r", "AT+CGMR\r\xC3\x28\x01\xFF\r\n\r\nV 1.02\r\n\r\nOK\r\n+CMTI: \"SM\",9\r\n"s);
  t.Expect("AT+CGMI\r", "\r\nMaker\r\n\r\nOK\r\n");
  CAtChannel channel(t, 1000);
  CAtReply reply;
  ASSERT_EQ(channel.Command("AT+CGMR", reply), AT_STATUS_OK);
  EXPECT_EQ(reply.lines, std::vector<std::string>{"V 1.02"});
  ASSERT_EQ(channel.Command("AT+CGMI", reply), AT_STATUS_OK);
  EXPECT_EQ(reply.lines, std::vector<std::string>{"Maker"});
  EXPECT_EQ(channel.TakeUrcs(), std::vector<std::string>{"+CMTI: \"SM\",9"});

  // A write that fails is a line gone (a hang-up inside a listing is one of the
  // phone session's fetches).
  t.FailWrites();
  EXPECT_EQ(channel.Command("AT", reply), AT_STATUS_LINE_GONE);
}

}  // namespace
