// Two widely published PDUs the non-window tests share (text only, so that the
// virtual phone's tests can use them without the phone library).
#pragma once

#include <string>

// SMS-DELIVER "How are you?" from +31641600986 through the service centre
// +31624000000.
inline const std::string kHowAreYou =
    "07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07";
// SMS-SUBMIT "hellohello" to +46708251358, relative validity 0xAA, no service centre:
// 23 TPDU octets.
inline const std::string kHelloSubmit = "0011000B916407281553F80000AA0AE8329BFD4697D9EC37";
