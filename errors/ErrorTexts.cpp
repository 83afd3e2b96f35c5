#include "errors/ErrorTexts.h"

#include "res/StringTable.h"

namespace {

// The cause texts are numbered in cause order.
static_assert(IDS_ARCHERR_BAD_SCHEMA == IDS_ARCHERR_GENERIC + 6);
static_assert(IDS_FILEERR_INVALID_FILE == IDS_FILEERR_GENERIC + 5);
static_assert(IDS_FILEERR_END_OF_FILE == IDS_FILEERR_BAD_SEEK + 5);

// String numbers of the three paragraphs; 0 leaves a paragraph empty.
struct SParagraphIds {
  int nCode;
  unsigned int nFirst, nSecond, nThird;
};

constexpr SParagraphIds g_codes[] = {
    {-1000, IDS_ERR_SEND_FAILED, IDS_ERR_HINT_SEVERED_SCA, IDS_ERR_HINT_SCA_PORT},
    {-999, IDS_ERR_PHONE_NOT_READY, IDS_ERR_HINT_NO_LINK, 0},
    {-998, IDS_ERR_TIMED_OUT, 0, 0},
    {-997, IDS_ERR_NO_MEMORY, 0, 0},
    {-996, IDS_ERR_NO_MEMORY_2, 0, 0},
    {-995, IDS_ERR_SERIAL_PORT, IDS_ERR_HINT_CONNECTION, 0},
    {-994, IDS_ERR_NO_COM_PORT, 0, 0},
    {-993, IDS_ERR_BAUD_RATE, 0, 0},
    // A line that went away: the command could not be written because the phone is
    // gone, which the second paragraph says in so many words.
    {-992, IDS_ERR_COMMAND_NOT_SENT, IDS_ERR_HINT_VANISHED, 0},
    {-991, IDS_ERR_PHONE_ERROR, 0, 0},
    {-990, IDS_ERR_MESSAGE_FORMAT, 0, 0},
    {-989, IDS_ERR_COM_PORT_PROBLEM, 0, 0},
    {-988, IDS_ERR_COMMAND_FORMAT, 0, 0},
    {-987, IDS_ERR_NO_SMS_SUPPORT, 0, 0},
    {-986, IDS_ERR_STORAGE_UNKNOWN, IDS_ERR_HINT_SEVERED, IDS_ERR_HINT_RESTART_PHONE},
    {-985, IDS_ERR_STORAGE_NOT_SET, 0, 0},
    // -984 and -982 to -979 have no entry of their own: the unknown-error texts.
    {-983, IDS_ERR_SCA_UNKNOWN, IDS_ERR_NO_FURTHER_INFO, 0},
    {-978, IDS_ERR_SETUP_FAILED, 0, 0},
    {-977, IDS_ERR_EXECUTION_FAILED, 0, 0},
    {-976, IDS_ERR_NO_MESSAGES, 0, 0},
    {-975, IDS_ERR_NOT_IMPLEMENTED, 0, 0},
    {0, IDS_ERR_NO_RESPONSE, IDS_ERR_HINT_SEVERED_2, 0},
};

constexpr SParagraphIds g_unknown = {0, IDS_ERR_UNKNOWN, IDS_ERR_NO_FURTHER_INFO, IDS_ERR_SUGGESTED};

std::string LoadOrEmpty(unsigned int nID) { return nID ? LoadString(nID) : std::string(); }

}  // namespace

CErrorParagraphs GetErrorParagraphs(int nCode) {
  const SParagraphIds* pIds = &g_unknown;
  for (const SParagraphIds& ids : g_codes)
    if (ids.nCode == nCode)
      pIds = &ids;
  CErrorParagraphs paragraphs;
  paragraphs.strFirst = LoadOrEmpty(pIds->nFirst);
  paragraphs.strSecond = LoadOrEmpty(pIds->nSecond);
  paragraphs.strThird = LoadOrEmpty(pIds->nThird);
  paragraphs.strCode = LoadString(IDS_ERROR_CODE) + std::to_string(nCode);
  return paragraphs;
}

void GetArchiveErrorText(int nCause, std::string& strText) {
  if (nCause == 0)
    strText.clear();
  else if (nCause >= 1 && nCause <= 7)
    strText = LoadString(IDS_ARCHERR_GENERIC + static_cast<unsigned int>(nCause - 1));
}

void GetFileErrorText(int nCause, std::string& strText) {
  if (nCause >= 1 && nCause <= 6)
    strText = LoadString(IDS_FILEERR_GENERIC + static_cast<unsigned int>(nCause - 1));
  else if (nCause >= 9 && nCause <= 14)
    strText = LoadString(IDS_FILEERR_BAD_SEEK + static_cast<unsigned int>(nCause - 9));
}
