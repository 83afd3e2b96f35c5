#pragma once
// Dialects: the ways real devices speak the AT command set, as public transcripts
// show them (modem test fixtures of open-source SMS and modem-management tools, the
// 3GPP examples). Each is a set of settings of the virtual phone, so that the phone
// library can be tried against every one of them without the device.

#include <string>
#include <vector>

#include "vphone/VirtualPhoneConfig.h"

struct CVirtualPhoneDialect {
  const char* m_pszName;         // for --dialect
  const char* m_pszDescription;  // one line for --help
  // The PIN its SIM asks for ("" = none): the client must give it.
  const char* m_pszPin;
  void (*m_pfnApply)(CVirtualPhoneConfig& config);
};

// Every dialect, "plain" first.
const std::vector<CVirtualPhoneDialect>& GetVirtualPhoneDialects();

// Applies the named dialect on top of config; false when there is no such dialect.
bool ApplyVirtualPhoneDialect(const std::string& strName, CVirtualPhoneConfig& config);
