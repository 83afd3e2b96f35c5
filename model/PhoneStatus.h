// Status codes of phone operations, as the error dialog explains them.
#pragma once

enum PhoneStatus : int {
  PHONE_NO_OBJECT = 0,  // no phone object
  PHONE_SUCCESS = 1,
  PHONE_SEND_FAILED = -1000,  // set by the window when a send fails
  PHONE_NOT_READY = -999,     // no answer (or SIM not ready) at set-up
  PHONE_TIMEOUT = -998,       // the phone stopped answering
  PHONE_OUT_OF_MEMORY = -997,
  PHONE_OUT_OF_MEMORY2 = -996,
  PHONE_PORT_OPEN_FAILED = -995,
  PHONE_NO_PORT = -994,  // set by the window: no COM port available
  PHONE_BAUD_REFUSED = -993,
  PHONE_WRITE_FAILED = -992,  // write failed or the port vanished
  PHONE_ERROR_REPLY = -991,   // ERROR, +CME ERROR, +CMS ERROR
  PHONE_BAD_PDU = -990,       // a message that cannot be encoded or decoded
  PHONE_PORT_PROBLEM = -989,  // set by the window: the stored port has a problem
  PHONE_BAD_COMMAND = -988,
  PHONE_NO_SMS_SERVICE = -987,
  PHONE_STORAGE_UNKNOWN = -986,
  PHONE_STORAGE_NOT_SET = -985,
  PHONE_SCA_UNKNOWN = -983,
  PHONE_SETUP_FAILED = -978,
  PHONE_EXEC_FAILED = -977,
  PHONE_NO_MESSAGES = -976,
  PHONE_NOT_IMPLEMENTED = -975,
  PHONE_CANCELLED = -970,  // the user stopped the operation: nothing to explain
};
