// Fuzzes the virtual phone's PDU checks with raw octets. Whatever passes as an
// SMS-SUBMIT must turn into an SMS-DELIVER that passes too, with the same
// destination and user data; a new destination keeps the SUBMIT valid.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "vphone/SmsPdu.h"

using vphone::CSmsPdu;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vphone::Octets octets(data, data + size);
  CSmsPdu deliver;
  if (deliver.Parse(octets, CSmsPdu::eDeliver) && deliver.m_nTpduOffset + deliver.TpduLength() != size)
    std::abort();
  CSmsPdu submit;
  if (!submit.Parse(octets, CSmsPdu::eSubmit))
    return 0;
  vphone::Octets out = submit.MakeDeliver(octets, "+447958879879", CSmsPdu::MakeTimeStamp(0));
  CSmsPdu check;
  if (!check.Parse(out, CSmsPdu::eDeliver) || check.m_strAddress != submit.m_strAddress ||
      check.m_nUdl != submit.m_nUdl || check.m_bUdhi != submit.m_bUdhi)
    std::abort();
  vphone::Octets field;
  if (!CSmsPdu::EncodeAddress("+4912345", -1, field))
    std::abort();
  vphone::Octets moved = submit.WithDestination(octets, field);
  if (!check.Parse(moved, CSmsPdu::eSubmit) || check.m_strAddress != "+4912345")
    std::abort();
  return 0;
}
