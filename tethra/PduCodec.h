// The SMS PDU codec of the phone library, in one include. It is pure: no I/O, no
// global state, no exceptions; every entry point returns a CPduResult that holds
// either the value or an error text.
//
// Reading what the phone lists (AT+CMGL / AT+CMGR in PDU mode):
//
//   auto pdu = CPduDecoder::Decode(strHexLine);       // service-centre part first
//   if (!pdu) { report(pdu.GetError()); }
//   CMessage* pMsg = new CMessage;
//   CPduRecord::FillMessage(pdu.Value(), *pMsg);      // number, text, date, m_strPdu, ...
//
// Long messages arrive as parts; CPduConcatenation::Group() puts decoded parts
// together and tells which groups are still missing parts.
//
// Sending a record (AT+CMGS=<length>, then the hex and Ctrl-Z):
//
//   auto pdus = CPduRecord::EncodeMessage(*pMsg, nMessageReference, nConcatReference);
//   for (const CPduEncoded& e : pdus.Value())
//     send("AT+CMGS=" + std::to_string(e.m_nTpduLength), e.m_strPdu);
//
// CPduEncoder::EncodeSubmit() takes the same inputs without a record, and
// CPduEncoder::EncodeDeliver() builds received messages (for tests and tools).
//
// The pieces: CPduHex (hex text), CPduAddress (numbers and alphanumeric names),
// CPduTimeStamp (time stamps with their zone), CPduValidity, CPduDataCoding,
// CPduUserDataHeader, CGsm7Alphabet (7-bit alphabet and packing) and CCharsetUtf
// (UTF-8, UTF-16, Latin-1). Texts are UTF-8 throughout; 8-bit data is shown as
// Latin-1; characters that cannot be shown become '?', while m_strPdu keeps the
// message exactly as the phone gave it.
#pragma once

#include "platform/CharsetUtf.h"
#include "tethra/Gsm7Alphabet.h"
#include "tethra/PduAddress.h"
#include "tethra/PduConcatenation.h"
#include "tethra/PduDataCoding.h"
#include "tethra/PduDecoder.h"
#include "tethra/PduEncoder.h"
#include "tethra/PduHex.h"
#include "tethra/PduMessage.h"
#include "tethra/PduRecord.h"
#include "tethra/PduResult.h"
#include "tethra/PduTimeStamp.h"
#include "tethra/PduUserDataHeader.h"
#include "tethra/PduValidity.h"
