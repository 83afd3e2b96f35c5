// Received messages as they arrive one part at a time: a message without a
// concatenation header is ready at once; the parts of a long message are held until
// every part is there, and a message whose parts stop coming is handed out anyway,
// marked incomplete, once nothing has been added to it for the hold time. No I/O and
// no clock of its own: the caller passes the time, so it can be tested without waits.
//
// The record of a ready message is filled as Get messages fills it (CPduRecord, the
// parts' texts joined and their PDUs joined in part order, m_strExtra listing where
// the parts are stored as "SM:3,SM:4"), so that it has the same key.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "model/Message.h"
#include "tethra/PduMessage.h"
#include "tethra/PhoneSession.h"

struct CArrival {
  std::unique_ptr<CMessage> pMessage;
  bool bComplete = true;
  std::vector<CStoredPdu> places;  // the stored parts (empty storage for a +CMT part)
};

class CArrivalBuffer {
 public:
  using Clock = std::chrono::steady_clock;

  explicit CArrivalBuffer(std::chrono::milliseconds hold) : m_hold(hold) {}

  // Adds one received part (decoded is its SMS-DELIVER); messages it completes are
  // appended to ready. A part already held (the same PDU) is ignored.
  void Add(const CStoredPdu& part, const CPduMessage& decoded, Clock::time_point now,
           std::vector<CArrival>& ready);
  // Hands out the messages whose hold time has run out.
  void Expire(Clock::time_point now, std::vector<CArrival>& ready);
  // Milliseconds until the next message's hold time runs out; -1 when none is held.
  long long MillisecondsToNextExpiry(Clock::time_point now) const;
  size_t GetHeldCount() const { return m_groups.size(); }

 private:
  struct CHeld {
    std::vector<CStoredPdu> places;
    std::vector<CPduMessage> parts;
    Clock::time_point last;
  };
  static CArrival MakeArrival(CHeld& held);
  static bool SameMessage(const CPduMessage& a, const CPduMessage& b);

  std::chrono::milliseconds m_hold;
  std::vector<CHeld> m_groups;
};
