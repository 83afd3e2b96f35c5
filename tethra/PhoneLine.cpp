#include "tethra/PhoneLine.h"

#include <mutex>

#include "tethra/PhoneSerialLine.h"

namespace {

std::mutex g_openerLock;
PhoneLineOpener g_opener;

}  // namespace

void SetPhoneLineOpener(PhoneLineOpener opener) {
  std::lock_guard<std::mutex> lock(g_openerLock);
  g_opener = std::move(opener);
}

std::unique_ptr<IPhoneLine> OpenPhoneLine(const std::string& strDevice, int nBaudRate, int& nStatus) {
  PhoneLineOpener opener;
  {
    std::lock_guard<std::mutex> lock(g_openerLock);
    opener = g_opener;
  }
  if (opener)
    return opener(strDevice, nBaudRate, nStatus);
  return CPhoneSerialLine::Open(strDevice, nBaudRate, nStatus);
}
