// The phone's PDU checks, anchored on the widely published 23.040 examples:
// the SMS-DELIVER "How are you?" from +31641600986 and the SMS-SUBMIT "hellohello".

#include <gtest/gtest.h>

#include "vphone/SmsPdu.h"
#include "tests/support/SmsVectors.h"

using vphone::CSmsPdu;
using vphone::EUdAlphabet;
using vphone::Octets;

namespace {

Octets Hex(const std::string& str) {
  Octets octets;
  EXPECT_TRUE(CSmsPdu::FromHex(str, octets)) << str;
  return octets;
}

std::string Why(const std::string& strHex, CSmsPdu::EType eType) {
  CSmsPdu pdu;
  std::string strError;
  Octets octets;
  if (!CSmsPdu::FromHex(strHex, octets))
    return "not hex";
  return pdu.Parse(octets, eType, &strError) ? std::string("accepted") : strError;
}

TEST(SmsPduTest, RefusesMalformedPdus) {
  const std::string strSubmit = kHelloSubmit;
  const struct {
    std::string strHex;
    CSmsPdu::EType eType;
    const char* pszWhy;
  } cases[] = {
      {kHowAreYou, CSmsPdu::eSubmit, "not an SMS-SUBMIT"},
      {kHelloSubmit, CSmsPdu::eDeliver, "not an SMS-DELIVER"},
      {strSubmit.substr(0, strSubmit.size() - 2), CSmsPdu::eSubmit, "user data shorter than TP-UDL says"},
      {strSubmit + "00", CSmsPdu::eSubmit, "octets left after the user data"},
      {"", CSmsPdu::eSubmit, "empty PDU"},
      {"0C", CSmsPdu::eSubmit, "service-centre address too long"},
      {"00", CSmsPdu::eSubmit, "no TPDU after the service-centre address"},
      {"001100", CSmsPdu::eSubmit, "truncated address"},
      {"0011001591", CSmsPdu::eSubmit, "address too long"},
      {"0011000B91640728155308000000", CSmsPdu::eSubmit, "odd address without filler"},
      // No validity period announced, so the octet after the DCS is already TP-UDL.
      {"0001000B916407281553F80000AA0AE8329BFD4697D9EC37", CSmsPdu::eSubmit, "more than 160 septets"},
      {"0001000B916407281553F800088D", CSmsPdu::eSubmit, "more than 140 octets of user data"},
      {"0041000B916407281553F8000403050003", CSmsPdu::eSubmit, "user-data header longer than the user data"},
      {"0041000B916407281553F8000404030004FF", CSmsPdu::eSubmit, "information element overruns the header"},
      {"0041000B916407281553F800040705000301020141", CSmsPdu::eSubmit, "accepted"},
      {"0G", CSmsPdu::eSubmit, "not hex"},
      {"123", CSmsPdu::eSubmit, "not hex"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Why(c.strHex, c.eType), c.pszWhy) << c.strHex;
}

TEST(SmsPduTest, AlphabetFromDataCodingScheme) {
  // 18: class 0 UCS2; 0C: reserved alphabet; 20: compressed; 48: marked for
  // deletion; 80: reserved group; C8: waiting, discard; E0: waiting, store UCS2.
  const std::pair<int, EUdAlphabet> cases[] = {
      {0x00, EUdAlphabet::eGsm7}, {0x04, EUdAlphabet::eEightBit}, {0x08, EUdAlphabet::eUcs2},
      {0x18, EUdAlphabet::eUcs2}, {0x0C, EUdAlphabet::eGsm7},     {0x20, EUdAlphabet::eEightBit},
      {0x48, EUdAlphabet::eUcs2}, {0x80, EUdAlphabet::eGsm7},     {0xC8, EUdAlphabet::eGsm7},
      {0xE0, EUdAlphabet::eUcs2}, {0xF0, EUdAlphabet::eGsm7},     {0xF4, EUdAlphabet::eEightBit},
  };
  for (const auto& [nDcs, eAlphabet] : cases)
    EXPECT_EQ(CSmsPdu::AlphabetOf(nDcs), eAlphabet) << nDcs;
}

TEST(SmsPduTest, SubmitBecomesTheDeliverItsRecipientGets) {
  Octets submit = Hex(kHelloSubmit);
  CSmsPdu pdu;
  ASSERT_TRUE(pdu.Parse(submit, CSmsPdu::eSubmit));
  Octets stamp = Hex("42502021510380");
  // SMSC, first octet (no more messages), originator = the destination, PID, DCS,
  // time stamp, then UDL and user data exactly as sent; the validity is gone.
  EXPECT_EQ(CSmsPdu::ToHex(pdu.MakeDeliver(submit, "+447958879879", stamp)),
            "0791449785788997"
            "04"
            "0B916407281553F8"
            "0000"
            "42502021510380"
            "0AE8329BFD4697D9EC37");
  // Reply path and header indicator carry over; the service centre may be absent.
  Octets withHeader = Hex("00C1000B916407281553F800040705000301020141");
  ASSERT_TRUE(pdu.Parse(withHeader, CSmsPdu::eSubmit));
  EXPECT_EQ(CSmsPdu::ToHex(pdu.MakeDeliver(withHeader, "", stamp)),
            "00C40B916407281553F80004425020215103800705000301020141");
  EXPECT_TRUE(vphone::SameNumber("+447700900123", "447700900123"));
  EXPECT_FALSE(vphone::SameNumber("+447700900123", "+44770090012"));
  EXPECT_FALSE(vphone::SameNumber("", ""));
}

}  // namespace
