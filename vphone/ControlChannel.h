#pragma once
// The virtual phone's control channel: a named pipe (FIFO) that scripts and people
// write command lines to while the phone runs, e.g.
//
//   mireth-vphone --link /tmp/modem --control /tmp/modem.ctl &
//   pdu=07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07
//   echo "receive $pdu" > /tmp/modem.ctl
//
// Commands (one a line; an answer or an error goes to the phone's standard error):
//   receive [ME|SM] PDU    a message arrives from the network (an SMS-DELIVER in hex,
//                          service-centre part first), stored and announced by +CMTI
//   reports DELAY_MS ST    status reports come DELAY_MS after a send, with TP-ST ST
//                          (0 delivered, 65 = 0x41 failed)
//   urc LINE               sends LINE as an unsolicited result code
//   hangup                 hangs up the line
// Blank lines and lines starting with '#' are skipped.

#include <atomic>
#include <string>
#include <thread>

class CVirtualPhone;

namespace vphone {

// Carries out one command line; returns "" on success, else what is wrong.
std::string RunControlLine(CVirtualPhone& phone, const std::string& strLine);

class CControlFifo {
 public:
  explicit CControlFifo(CVirtualPhone& phone) : m_phone(phone) {}
  ~CControlFifo() { Stop(); }
  CControlFifo(const CControlFifo&) = delete;
  CControlFifo& operator=(const CControlFifo&) = delete;

  // Makes the FIFO at strPath (an old FIFO there is reused) and starts reading it.
  bool Start(const std::string& strPath, std::string& strError);
  // Stops reading and removes the FIFO.
  void Stop();

 private:
  void Run();

  CVirtualPhone& m_phone;
  std::string m_strPath;
  int m_fd = -1;
  int m_fdStop = -1;
  std::thread m_thread;
};

}  // namespace vphone
