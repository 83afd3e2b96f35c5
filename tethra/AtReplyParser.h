// Splits the bytes a modem sends back into lines and sorts each line: the echo of
// the command, information lines of the reply, unsolicited result codes (URCs such
// as +CMTI, RING, +CREG, ^RSSI) that may arrive at any moment, and the final result
// (OK, ERROR, +CME ERROR: n, +CMS ERROR: n). It also spots the "> " prompt of the
// commands that take data (+CMGS, +CMGW).
//
// The parser does no I/O: the channel feeds it whatever bytes arrive, in pieces of
// any size, and it never fails on any input. Lines end at \r or \n (either alone or
// both); blank lines are skipped; control bytes are dropped; a line that is not
// valid UTF-8 is noise and skipped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum AtFinal {
  AT_FINAL_NONE,  // no final result yet
  AT_FINAL_OK,
  AT_FINAL_ERROR,  // plain ERROR (or a vendor's wording of it)
  AT_FINAL_CME,    // +CME ERROR: n (equipment)
  AT_FINAL_CMS     // +CMS ERROR: n (message service)
};

// The reply to one command.
struct CAtReply {
  AtFinal eFinal = AT_FINAL_NONE;
  int nErrorCode = -1;             // n of +CME/+CMS ERROR; -1 when not given or unknown
  std::string strErrorText;        // the text after "ERROR: ", as the modem sent it
  std::vector<std::string> lines;  // information lines, in order, trimmed
  bool bPrompt = false;            // the "> " prompt was seen

  bool IsOk() const { return eFinal == AT_FINAL_OK; }
  void Clear() { *this = CAtReply(); }
};

class CAtReplyParser {
 public:
  // Longest line kept; the rest of a longer line is dropped and the line is noise.
  static constexpr size_t MAX_LINE = 8192;
  // URCs kept until taken; older ones are dropped first.
  static constexpr size_t MAX_URCS = 256;
  // Most information lines, and bytes in them, kept of one reply: a device that
  // never stops talking cannot fill the memory. Lines past either are noise.
  static constexpr size_t MAX_REPLY_LINES = 16384;
  static constexpr size_t MAX_REPLY_BYTES = 4 * 1024 * 1024;

  CAtReplyParser() = default;

  // Starts the reply to strCommand (as written, without the \r). With bExpectPrompt
  // the parser stops at the "> " prompt so that the data can be written. A partial
  // line received before is kept: it ends with the next line end.
  void Begin(const std::string& strCommand, bool bExpectPrompt = false);
  // After the prompt, once the data is written: the echo of strData is dropped and
  // the parser reads on to the final result.
  void BeginData(const std::string& strData);
  // No command under way: every line is a URC or noise.
  void Idle();

  // Consumes bytes up to and including the line that completes the reply (final
  // result, or the prompt when one is expected) and returns how many it took; the
  // rest belongs to what follows. Takes all bytes when the reply is not complete.
  size_t Feed(const char* pData, size_t nSize);

  bool IsDone() const { return m_reply.eFinal != AT_FINAL_NONE; }
  bool HasPrompt() const { return m_reply.bPrompt; }
  const CAtReply& GetReply() const { return m_reply; }
  CAtReply& GetReply() { return m_reply; }

  // Unsolicited result codes seen so far (a URC that carries a PDU on the next line,
  // +CMT/+CDS/+CBM, is returned as the two lines joined by "\n"); empties the queue.
  std::vector<std::string> TakeUrcs();
  // Counts the lines that surely belong to the reply (echo, prompt, information
  // lines that carry the command's prefix, PDU lines): the channel's time-out starts
  // again whenever this grows. URCs, noise and text lines without a prefix do not
  // count, so a port that chatters on its own cannot keep a command alive.
  uint64_t GetProgress() const { return m_nProgress; }
  // Lines dropped as noise since construction.

  // The information prefixes a command's reply may carry: "+CMGL" for "AT+CMGL=4",
  // "+CMEE" and "+CSMS" for "AT+CMEE=1;+CSMS?". Upper case.
  static std::vector<std::string> ExpectedPrefixes(const std::string& strCommand);
  // True when a (trimmed) line is an unsolicited result code for a command whose
  // reply carries the given prefixes.
  static bool IsUrc(const std::string& strLine, const std::vector<std::string>& prefixes);
  // Parses a final result; AT_FINAL_NONE when the line is not one.
  static AtFinal ParseFinal(const std::string& strLine, int& nCode, std::string& strText);

 private:
  void EndLine();
  void ClassifyLine(std::string strLine);
  void AddUrc(std::string strUrc);

  enum Mode { MODE_IDLE, MODE_COMMAND, MODE_DATA };

  Mode m_eMode = MODE_IDLE;
  std::string m_strCommand;
  std::string m_strData;
  std::vector<std::string> m_prefixes;
  bool m_bExpectPrompt = false;
  bool m_bEchoSeen = false;
  bool m_bDataEchoSeen = false;

  std::string m_strLine;
  bool m_bLineTooLong = false;
  // The last URC carries a PDU on its next line.
  bool m_bUrcWantsPdu = false;

  CAtReply m_reply;
  std::vector<std::string> m_urcs;
  uint64_t m_nProgress = 0;
  size_t m_nReplyBytes = 0;
};
