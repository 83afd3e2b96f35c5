// The AT command channel: writes one command at a time and reads the reply up to its
// final result, the prompt, or the time-out. It waits for bytes, never for a fixed
// time. Echo on or off, \r or \r\n line ends, blank lines, URCs at any moment and
// noise before a reply are all taken in stride (see CAtReplyParser).
//
// Time-out: each command has a deadline, nTimeOut after it was written; every line
// that surely belongs to the reply (echo, prompt, a line with the command's prefix,
// a PDU line) moves the deadline on by nTimeOut, so a long listing on a slow line is
// not cut, while URCs, noise and other text do not, so a flood of them or a port
// that chatters on its own cannot keep a dead command alive; what is kept of a reply
// is bounded (see CAtReplyParser).
//
// A busy phone is asked again: "SIM busy" (+CME ERROR: 14, +CMS ERROR: 314) and the
// vendor number 515 ("wait, initialising", +CME ERROR: 515 or +CMS ERROR: 515). No
// other error number is retried, and a command that takes data only while no prompt
// came (once the data went out the message may have gone). Tries go on while the
// time since the first try plus the next pause stays under the time-out; between
// tries the channel waits for the phone to speak, at most a pause that starts at
// 20 ms and doubles up to 500 ms.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "tethra/AtReplyParser.h"
#include "tethra/AtTransport.h"

enum AtStatus {
  AT_STATUS_OK,         // final result OK
  AT_STATUS_ERROR,      // ERROR, +CME ERROR or +CMS ERROR: see the reply
  AT_STATUS_TIMEOUT,    // no final result in time
  AT_STATUS_LINE_GONE,  // the line failed: a write failed, or the device hung up
};

// Counts kept over every channel of the process (benchmarks, diagnostics).
struct CAtTraffic {
  uint64_t nCommands = 0;  // command lines written (data after a prompt not counted)
  uint64_t nBytesWritten = 0;
  uint64_t nBytesRead = 0;
};

class CAtChannel {
 public:
  // The transport is not owned and must outlive the channel.
  explicit CAtChannel(IAtTransport& transport, int nTimeOutMs = 10000);
  CAtChannel(const CAtChannel&) = delete;
  CAtChannel& operator=(const CAtChannel&) = delete;

  void SetTimeOut(int nTimeOutMs) { m_nTimeOut = nTimeOutMs > 0 ? nTimeOutMs : 1; }
  int GetTimeOut() const { return m_nTimeOut; }

  // Writes strCommand followed by \r and reads the reply into reply.
  AtStatus Command(const std::string& strCommand, CAtReply& reply);
  // The same for a phone that may send its answer line without a final result
  // ("+CPIN: READY" and nothing after it): once a line starting with strAnswer is
  // in, the channel waits a short grace for the final result and then takes the
  // line as the answer (AT_STATUS_OK, reply.eFinal stays AT_FINAL_NONE). A final
  // result that comes later is read past as noise.
  AtStatus CommandAnswered(const std::string& strCommand, const std::string& strAnswer, CAtReply& reply);
  // The same for a command that takes data: writes strCommand and \r, waits for the
  // "> " prompt, writes strData and Ctrl-Z, reads the reply. Without a prompt in time
  // it writes ESC, so the phone leaves its text entry.
  AtStatus CommandWithData(const std::string& strCommand, const std::string& strData, CAtReply& reply);
  // Sends the command once, without retrying on "SIM busy" (used to wake a phone:
  // the caller retries itself).
  AtStatus CommandOnce(const std::string& strCommand, CAtReply& reply, int nTimeOutMs);

  // With no command under way: waits up to nTimeOutMs for the phone to speak and takes
  // in what it says as URCs (see TakeUrcs). Returns at the first bytes, so a caller
  // waiting for events blocks in the line's read, never in a busy loop. OK on bytes or
  // time-out, AT_STATUS_LINE_GONE when the line is gone.
  AtStatus Listen(int nTimeOutMs);

  // Unsolicited result codes received so far; empties the queue.
  std::vector<std::string> TakeUrcs() { return m_parser.TakeUrcs(); }

  // Commands written by this channel.
  uint64_t GetCommandCount() const { return m_nCommands; }
  static CAtTraffic GetTraffic();

  // True when the reply is one of the busy numbers above: worth another try.
  static bool IsBusyReply(const CAtReply& reply);

 private:
  // Run, repeated while the phone answers "SIM busy", until the time-out.
  AtStatus RunRetryingBusy(const std::string& strCommand, const std::string* pData, CAtReply& reply);
  AtStatus Run(const std::string& strCommand, const std::string* pData, CAtReply& reply, int nTimeOutMs);
  // Reads until the parser is done (or has the prompt, when bPrompt); the deadline
  // moves on with every line of the reply.
  AtStatus ReadReply(bool bPrompt, int nTimeOutMs);
  // Takes in what is waiting on the line without waiting: URCs and noise.
  bool Drain();
  bool WriteAll(const std::string& str);

  IAtTransport& m_transport;
  int m_nTimeOut;
  CAtReplyParser m_parser;
  std::string m_strPending;  // bytes received but not yet parsed
  uint64_t m_nCommands = 0;
  std::string m_strAnswer;  // CommandAnswered: the answer line that may stand alone
};
