// The +CME ERROR (3GPP TS 27.007, 9.2) and +CMS ERROR (3GPP TS 27.005, 3.2.5)
// numbers the phone library acts on, by name, and the meaning of every number a
// phone may send, for people to read. One place for all of them: a new quirk of a
// phone is a name here and a row in the set-up table, not a number in the code.
#pragma once

#include <string>

enum AtCmeError : int {
  CME_PHONE_FAILURE = 0,
  CME_OPERATION_NOT_ALLOWED = 3,
  CME_OPERATION_NOT_SUPPORTED = 4,
  CME_PH_SIM_PIN_REQUIRED = 5,
  CME_SIM_NOT_INSERTED = 10,
  CME_SIM_PIN_REQUIRED = 11,
  CME_SIM_PUK_REQUIRED = 12,
  CME_SIM_FAILURE = 13,
  CME_SIM_BUSY = 14,
  CME_SIM_WRONG = 15,
  CME_INCORRECT_PASSWORD = 16,
  CME_SIM_PIN2_REQUIRED = 17,
  CME_SIM_PUK2_REQUIRED = 18,
  CME_MEMORY_FULL = 20,
  CME_INVALID_INDEX = 21,
  CME_NOT_FOUND = 22,
  CME_DEVICE_BUSY = 515,  // a vendor number several modems use while they start
};

enum AtCmsError : int {
  CMS_ME_FAILURE = 300,
  CMS_OPERATION_NOT_ALLOWED = 302,
  CMS_OPERATION_NOT_SUPPORTED = 303,
  CMS_INVALID_PDU_PARAMETER = 304,
  CMS_SIM_NOT_INSERTED = 310,
  CMS_SIM_PIN_REQUIRED = 311,
  CMS_PH_SIM_PIN_REQUIRED = 312,
  CMS_SIM_FAILURE = 313,
  CMS_SIM_BUSY = 314,
  CMS_SIM_WRONG = 315,
  CMS_SIM_PUK_REQUIRED = 316,
  CMS_SIM_PIN2_REQUIRED = 317,
  CMS_SIM_PUK2_REQUIRED = 318,
  CMS_MEMORY_FAILURE = 320,
  CMS_INVALID_MEMORY_INDEX = 321,
  CMS_MEMORY_FULL = 322,
  CMS_SMSC_ADDRESS_UNKNOWN = 330,
  CMS_DEVICE_BUSY = 515,
};

// True when the number says the SIM cannot be used yet (missing, locked by a PIN or
// PUK, failed, wrong).
bool AtCmeMeansSimNotReady(int nCode);
bool AtCmsMeansSimNotReady(int nCode);
// True when the number says the SIM waits for a PIN or PUK to be entered.
bool AtCmeMeansPinWanted(int nCode);
bool AtCmsMeansPinWanted(int nCode);

// The meaning of a number in plain words ("SIM PIN required"); for a number the
// standards leave to the makers, "manufacturer specific"; never empty.
std::string AtCmeMeaning(int nCode);
std::string AtCmsMeaning(int nCode);
