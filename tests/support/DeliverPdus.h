// The SMS-DELIVER PDUs of a text, as a phone would list them, made by the phone
// library's encoder.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tethra/PduEncoder.h"

// The PDUs of a text from a sender through +447958879879, one per part of a long
// text, all stamped 2026-12-06 09:30:00 +01:00.
inline std::vector<std::string> DeliverPdus(const std::string& strFrom, const std::string& strText,
                                            uint16_t nReference = 0x42) {
  CPduDeliverRequest request;
  request.m_strServiceCenter = "+447958879879";
  request.m_strOriginator = strFrom;
  request.m_strText = strText;
  request.m_nConcatReference = nReference;
  request.m_timeStamp = CPduTimeStamp(2026, 12, 6, 9, 30, 0, 4);
  std::vector<std::string> pdus;
  auto encoded = CPduEncoder::EncodeDeliver(request);
  EXPECT_TRUE(encoded.IsOk());
  if (encoded)
    for (const CPduEncoded& e : encoded.Value())
      pdus.push_back(e.m_strPdu);
  return pdus;
}
