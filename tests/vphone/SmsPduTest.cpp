// The phone's PDU checks, anchored on the widely published 23.040 examples:
// the SMS-DELIVER "How are you?" from +31641600986 and the SMS-SUBMIT "hellohello".

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "vphone/SmsPdu.h"

using vphone::CSmsPdu;
using vphone::EUdAlphabet;
using vphone::Octets;

namespace {

const char kDeliver[] = "07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07";
const char kSubmit[] = "0011000B916407281553F80000AA0AE8329BFD4697D9EC37";

Octets Hex(const std::string& str) {
    Octets octets;
    EXPECT_TRUE(CSmsPdu::FromHex(str, octets)) << str;
    return octets;
}

std::string Why(const std::string& strHex, CSmsPdu::EType eType) {
    CSmsPdu pdu;
    std::string strError;
    Octets octets;
    if (!CSmsPdu::FromHex(strHex, octets)) return "not hex";
    return pdu.Parse(octets, eType, &strError) ? std::string("accepted") : strError;
}

// Sets the time zone for one test and puts the old one back.
class CZone {
public:
    explicit CZone(const char* pszZone) {
        const char* pszOld = std::getenv("TZ");
        m_bHad = pszOld != nullptr;
        if (m_bHad) m_strOld = pszOld;
        setenv("TZ", pszZone, 1);
        tzset();
    }
    ~CZone() {
        if (m_bHad) setenv("TZ", m_strOld.c_str(), 1);
        else unsetenv("TZ");
        tzset();
    }

private:
    bool m_bHad = false;
    std::string m_strOld;
};

TEST(SmsPduTest, ReadsThePublishedDeliverAndSubmit) {
    CSmsPdu deliver;
    ASSERT_TRUE(deliver.Parse(Hex(kDeliver), CSmsPdu::eDeliver));
    EXPECT_EQ(deliver.m_nTpduOffset, 8u);  // 07 91 + six octets of +31624000000
    EXPECT_EQ(deliver.TpduLength(), 30u);
    EXPECT_EQ(deliver.m_strAddress, "+31641600986");
    EXPECT_EQ(deliver.m_nAddressType, 0x91);
    EXPECT_EQ(deliver.m_nAddressSize, 8u);
    EXPECT_EQ(deliver.m_nDcs, 0);
    EXPECT_EQ(deliver.m_nUdl, 12);
    EXPECT_FALSE(deliver.m_bUdhi);

    CSmsPdu submit;
    ASSERT_TRUE(submit.Parse(Hex(kSubmit), CSmsPdu::eSubmit));
    EXPECT_EQ(submit.m_nTpduOffset, 1u);
    EXPECT_EQ(submit.TpduLength(), 23u);
    EXPECT_EQ(submit.m_nMessageReference, 0);
    EXPECT_EQ(submit.m_strAddress, "+46708251358");
    EXPECT_EQ(submit.m_nUdlOffset, 14u);  // after the one-octet relative validity
    EXPECT_EQ(submit.m_nUdl, 10);

    // Each is refused as the other kind.
    EXPECT_EQ(Why(kDeliver, CSmsPdu::eSubmit), "not an SMS-SUBMIT");
    EXPECT_EQ(Why(kSubmit, CSmsPdu::eDeliver), "not an SMS-DELIVER");
}

TEST(SmsPduTest, RefusesMalformedPdus) {
    std::string strSubmit = kSubmit;
    EXPECT_EQ(Why(strSubmit.substr(0, strSubmit.size() - 2), CSmsPdu::eSubmit), "user data shorter than TP-UDL says");
    EXPECT_EQ(Why(strSubmit + "00", CSmsPdu::eSubmit), "octets left after the user data");
    EXPECT_EQ(Why("", CSmsPdu::eSubmit), "empty PDU");
    EXPECT_EQ(Why("0C", CSmsPdu::eSubmit), "service-centre address too long");
    EXPECT_EQ(Why("00", CSmsPdu::eSubmit), "no TPDU after the service-centre address");
    EXPECT_EQ(Why("001100", CSmsPdu::eSubmit), "truncated address");
    EXPECT_EQ(Why("0011001591", CSmsPdu::eSubmit), "address too long");
    // Odd digit count whose last octet has no F filler.
    EXPECT_EQ(Why("0011000B91640728155308000000", CSmsPdu::eSubmit), "odd address without filler");
    // No validity period announced, so the octet after the DCS is already TP-UDL.
    EXPECT_EQ(Why("0001000B916407281553F80000AA0AE8329BFD4697D9EC37", CSmsPdu::eSubmit),
              "more than 160 septets");
    // UCS2 counts octets: 141 is one too many.
    EXPECT_EQ(Why("0001000B916407281553F800088D", CSmsPdu::eSubmit), "more than 140 octets of user data");
    // User-data header that claims more than the user data holds, and a broken element.
    EXPECT_EQ(Why("0041000B916407281553F8000403050003", CSmsPdu::eSubmit),
              "user-data header longer than the user data");
    EXPECT_EQ(Why("0041000B916407281553F8000404030004FF", CSmsPdu::eSubmit),
              "information element overruns the header");
    // A good header with an 8-bit body.
    EXPECT_EQ(Why("0041000B916407281553F800040705000301020141", CSmsPdu::eSubmit), "accepted");

    Octets octets;
    EXPECT_FALSE(CSmsPdu::FromHex("0G", octets));
    EXPECT_FALSE(CSmsPdu::FromHex("123", octets));
    EXPECT_TRUE(CSmsPdu::FromHex("0aFf", octets));
    EXPECT_EQ(CSmsPdu::ToHex(octets), "0AFF");
}

TEST(SmsPduTest, AlphabetFromDataCodingScheme) {
    EXPECT_EQ(CSmsPdu::AlphabetOf(0x00), EUdAlphabet::eGsm7);
    EXPECT_EQ(CSmsPdu::AlphabetOf(0x04), EUdAlphabet::eEightBit);
    EXPECT_EQ(CSmsPdu::AlphabetOf(0x08), EUdAlphabet::eUcs2);
    EXPECT_EQ(CSmsPdu::AlphabetOf(0x18), EUdAlphabet::eUcs2);      // class 0, UCS2
    EXPECT_EQ(CSmsPdu::AlphabetOf(0x0C), EUdAlphabet::eGsm7);      // reserved alphabet
    EXPECT_EQ(CSmsPdu::AlphabetOf(0x20), EUdAlphabet::eEightBit);  // compressed
    EXPECT_EQ(CSmsPdu::AlphabetOf(0x48), EUdAlphabet::eUcs2);      // marked for deletion
    EXPECT_EQ(CSmsPdu::AlphabetOf(0x80), EUdAlphabet::eGsm7);      // reserved group
    EXPECT_EQ(CSmsPdu::AlphabetOf(0xC8), EUdAlphabet::eGsm7);      // waiting, discard
    EXPECT_EQ(CSmsPdu::AlphabetOf(0xE0), EUdAlphabet::eUcs2);      // waiting, store UCS2
    EXPECT_EQ(CSmsPdu::AlphabetOf(0xF0), EUdAlphabet::eGsm7);
    EXPECT_EQ(CSmsPdu::AlphabetOf(0xF4), EUdAlphabet::eEightBit);
}

TEST(SmsPduTest, EncodesAddressesAndTimeStamps) {
    Octets field;
    ASSERT_TRUE(CSmsPdu::EncodeAddress("+31641600986", -1, field));
    EXPECT_EQ(CSmsPdu::ToHex(field), "0B911346610089F6");
    ASSERT_TRUE(CSmsPdu::EncodeAddress("07700900321", -1, field));
    EXPECT_EQ(CSmsPdu::ToHex(field), "0B817007900023F1");
    ASSERT_TRUE(CSmsPdu::EncodeAddress("*100#", 129, field));
    EXPECT_EQ(CSmsPdu::ToHex(field), "05811A00FB");
    EXPECT_FALSE(CSmsPdu::EncodeAddress("12-34", -1, field));
    EXPECT_FALSE(CSmsPdu::EncodeAddress("+", -1, field));
    EXPECT_FALSE(CSmsPdu::EncodeAddress("123456789012345678901", -1, field));
    ASSERT_TRUE(CSmsPdu::EncodeSmscAddress("+31624000000", -1, field));
    EXPECT_EQ(CSmsPdu::ToHex(field), "07911326040000F0");
    ASSERT_TRUE(CSmsPdu::EncodeSmscAddress("", -1, field));
    EXPECT_EQ(CSmsPdu::ToHex(field), "00");

    const std::time_t tWhen = 1714644930;  // 2024-05-02 10:15:30 UTC
    {
        CZone zone("XYZ-2");  // two hours east of Greenwich: +8 quarters
        EXPECT_EQ(CSmsPdu::ToHex(CSmsPdu::MakeTimeStamp(tWhen)), "42502021510380");
    }
    {
        CZone zone("XYZ5");  // five hours west: -20 quarters, sign bit set
        EXPECT_EQ(CSmsPdu::ToHex(CSmsPdu::MakeTimeStamp(tWhen)), "4250205051030A");
    }
}

TEST(SmsPduTest, SubmitBecomesTheDeliverItsRecipientGets) {
    Octets submit = Hex(kSubmit);
    CSmsPdu pdu;
    ASSERT_TRUE(pdu.Parse(submit, CSmsPdu::eSubmit));
    Octets stamp = Hex("42502021510380");
    Octets deliver = pdu.MakeDeliver(submit, "+447958879879", stamp);
    // SMSC, first octet (no more messages), originator = the destination, PID, DCS,
    // time stamp, then UDL and user data exactly as sent; the validity is gone.
    EXPECT_EQ(CSmsPdu::ToHex(deliver),
              "0791449785788997"
              "04"
              "0B916407281553F8"
              "0000"
              "42502021510380"
              "0AE8329BFD4697D9EC37");
    CSmsPdu check;
    ASSERT_TRUE(check.Parse(deliver, CSmsPdu::eDeliver));
    EXPECT_EQ(check.m_strAddress, "+46708251358");

    // Reply path and header indicator carry over; the service centre may be absent.
    Octets withHeader = Hex("00C1000B916407281553F800040705000301020141");
    ASSERT_TRUE(pdu.Parse(withHeader, CSmsPdu::eSubmit));
    EXPECT_EQ(CSmsPdu::ToHex(pdu.MakeDeliver(withHeader, "", stamp)),
              "00C40B916407281553F80004425020215103800705000301020141");

    // A new destination keeps everything else.
    ASSERT_TRUE(pdu.Parse(submit, CSmsPdu::eSubmit));
    Octets field;
    ASSERT_TRUE(CSmsPdu::EncodeAddress("+4912345", -1, field));
    EXPECT_EQ(CSmsPdu::ToHex(pdu.WithDestination(submit, field)), "0011000791942143F50000AA0AE8329BFD4697D9EC37");

    EXPECT_TRUE(vphone::SameNumber("+447700900123", "447700900123"));
    EXPECT_FALSE(vphone::SameNumber("+447700900123", "+44770090012"));
    EXPECT_FALSE(vphone::SameNumber("", ""));
}

}  // namespace
