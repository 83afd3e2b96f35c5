// Fuzzes the virtual phone's command processor with whatever a client might write:
// command lines, PDUs after a prompt, control bytes. Nothing may crash, every storage
// stays within its capacity, and every stored message still parses as the kind its
// status says. A first byte of F0 or more picks a dialect (and is not fed).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "vphone/AtInterpreter.h"
#include "vphone/Dialects.h"
#include "vphone/SmsPdu.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CVirtualPhoneConfig config;
  config.m_nPhoneCapacity = 4;
  config.m_nSimCapacity = 3;
  if (size > 0 && data[0] >= 0xF0) {
    const auto& dialects = GetVirtualPhoneDialects();
    dialects[(data[0] - 0xF0) % dialects.size()].m_pfnApply(config);
    ++data;
    --size;
  }
  vphone::CAtInterpreter phone(config);
  std::string strError;
  if (!phone.Init(strError))
    std::abort();
  phone.Feed(reinterpret_cast<const char*>(data), size);
  phone.TakeOutput();
  const vphone::CMessageStore& store = phone.Store();
  for (const std::string& strName : store.GetStorageNames()) {
    if (store.GetUsed(strName) > store.GetCapacity(strName))
      std::abort();
    for (int nIndex : store.GetIndexes(strName)) {
      const vphone::CStoredMessage* pMessage = store.Get(strName, nIndex);
      vphone::Octets octets;
      vphone::CSmsPdu pdu;
      auto eType =
          pMessage->m_nStatus <= vphone::eRecRead ? vphone::CSmsPdu::eDeliver : vphone::CSmsPdu::eSubmit;
      if (!vphone::CSmsPdu::FromHex(pMessage->m_strPdu, octets) || !pdu.Parse(octets, eType) ||
          static_cast<int>(pdu.TpduLength()) != pMessage->m_nTpduLength)
        std::abort();
    }
  }
  return 0;
}
