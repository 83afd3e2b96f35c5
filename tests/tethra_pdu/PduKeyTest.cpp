// The key by which the lists recognise a message they hold must not change when the
// phone lists the same message again.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "model/Message.h"
#include "tethra/PduDecoder.h"
#include "tethra/PduRecord.h"

namespace {

std::string KeyOf(const std::string& strHex) {
  auto r = CPduDecoder::Decode(strHex);
  EXPECT_TRUE(r.IsOk()) << r.GetError();
  CMessage msg;
  if (r.IsOk())
    CPduRecord::FillMessage(r.Value(), msg);
  return msg.GetPduKey();
}

const std::string kDeliver = "07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07";

}  // namespace

TEST(PduKey, SameMessageListedAgainHasTheSameKey) {
  // The key drops the service-centre part and the octet after the first octet.
  EXPECT_EQ(KeyOf(kDeliver), "04" "911346610089F60000208062917314080CC8F71D14969741F977FD07");

  // Listed again in lower case, with a line end, or with the service centre left out.
  std::string lower = kDeliver;
  for (char& c : lower)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_EQ(KeyOf(lower + "\r\n"), KeyOf(kDeliver));
  EXPECT_EQ(KeyOf("00" + kDeliver.substr(16)), KeyOf(kDeliver));

  // A stored SUBMIT keeps its key after sending gives it a message reference.
  EXPECT_EQ(KeyOf("0011000B916407281553F80000AA0AE8329BFD4697D9EC37"),
            KeyOf("00113A0B916407281553F80000AA0AE8329BFD4697D9EC37"));

  // Another text is another key.
  EXPECT_NE(KeyOf("0011000B916407281553F80000AA0AE8329BFD4697D9EC37"),
            KeyOf("0011000B916407281553F80000AA02EF35"));
}
