// The line CPhoneInterface talks over: an AT transport whose rate can be changed.
// The phone library opens a serial line; tests put a scripted modem in its place.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "tethra/AtTransport.h"

class IPhoneLine : public IAtTransport {
 public:
  // Changes the line's own rate; false when it cannot (the old rate stays).
  virtual bool SetBaudRate(int nBaudRate) = 0;
};

// Opens the line to strDevice at nBaudRate. On failure returns nothing and sets
// nStatus to a phone status code (-995 the port cannot be opened, -993 the rate is
// refused).
using PhoneLineOpener =
    std::function<std::unique_ptr<IPhoneLine>(const std::string& strDevice, int nBaudRate, int& nStatus)>;

// Replaces how lines are opened, for the whole process; an empty function returns to
// the serial line.
void SetPhoneLineOpener(PhoneLineOpener opener);

// Opens a line the way currently set.
std::unique_ptr<IPhoneLine> OpenPhoneLine(const std::string& strDevice, int nBaudRate, int& nStatus);
