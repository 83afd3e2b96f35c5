// The error dialog's texts for every phone status code, and the texts of file and
// archive error causes.
#include <gtest/gtest.h>

#include <string>

#include "errors/ErrorTexts.h"
#include "res/StringTable.h"

namespace {

const std::string kUnknown = "An unknown error occurred. ";
const std::string kNoFurther = "No further information is available about this error at this time.";
const std::string kSuggested =
    "Suggested trouble-shooting:\r\n\tRestart the computer\r\n\tTurn off the phone and then turn it back on";

struct SRow {
  int nCode;
  unsigned int nFirst, nSecond, nThird;  // 0: empty paragraph
};

// The code table, by string number.
const SRow kTable[] = {
    {-1000, 60, 140, 141}, {-999, 61, 138, 0},    {-998, 75, 0, 0},      {-997, 62, 0, 0},
    {-996, 63, 0, 0},      {-995, 64, 135, 0},    {-994, 133, 0, 0},     {-993, 134, 0, 0},
    {-992, 65, 1730, 0},   {-991, 66, 0, 0},      {-990, 67, 0, 0},      {-989, 68, 0, 0},
    {-988, 69, 0, 0},      {-987, 70, 0, 0},      {-986, 105, 136, 137}, {-985, 104, 0, 0},
    {-984, 147, 148, 149}, {-983, 106, 148, 0},   {-982, 147, 148, 149}, {-981, 147, 148, 149},
    {-980, 147, 148, 149}, {-979, 147, 148, 149}, {-978, 71, 0, 0},      {-977, 72, 0, 0},
    {-976, 73, 0, 0},      {-975, 74, 0, 0},      {0, 59, 139, 0},
};

std::string Text(unsigned int n) { return n ? LoadString(n) : std::string(); }

}  // namespace

TEST(ErrorTexts, EveryCodeOfTheTable) {
  for (const SRow& row : kTable) {
    SCOPED_TRACE("code " + std::to_string(row.nCode));
    const CErrorParagraphs p = GetErrorParagraphs(row.nCode);
    EXPECT_EQ(p.strFirst, Text(row.nFirst));
    EXPECT_EQ(p.strSecond, Text(row.nSecond));
    EXPECT_EQ(p.strThird, Text(row.nThird));
    EXPECT_FALSE(p.strFirst.empty());
    EXPECT_EQ(p.strCode, "Error Code: " + std::to_string(row.nCode));
  }
}

TEST(ErrorTexts, ALineThatWentAwaySaysThePhoneIsNotAnsweringOrUnplugged) {
  const CErrorParagraphs p = GetErrorParagraphs(-992);
  EXPECT_EQ(p.strFirst, "Could not send the command. Please try again.");
  EXPECT_EQ(p.strSecond,
            "The phone is not answering or has been unplugged. Check that it is switched on and connected; "
            "the next "
            "operation connects to it again by itself.");
}

TEST(ErrorTexts, ExactTextsOfSelectedCodes) {
  CErrorParagraphs p = GetErrorParagraphs(-998);
  EXPECT_EQ(p.strFirst,
            "The Phone has timed-out. If the time-out value specified in the Options page is too small, you "
            "may want "
            "to increase this value and try again.");
  EXPECT_EQ(p.strSecond, "");
  EXPECT_EQ(p.strThird, "");
  EXPECT_EQ(p.strCode, "Error Code: -998");

  p = GetErrorParagraphs(0);
  EXPECT_EQ(
      p.strFirst,
      "Phone did not return any information. Please make sure that correct COM port, Baud Rate, and Time Out "
      "values are specified in the Options page.");
  EXPECT_EQ(p.strSecond,
            "This error can also be caused by a severed link between the phone and the computer. Ensure the "
            "connection between the computer and the phone is established correctly.");
  EXPECT_EQ(p.strCode, "Error Code: 0");

  p = GetErrorParagraphs(-983);
  EXPECT_EQ(p.strFirst, "The Service Center Address is unknown.");
  EXPECT_EQ(p.strSecond, kNoFurther);
  EXPECT_EQ(p.strThird, "");

  p = GetErrorParagraphs(-997);
  EXPECT_EQ(p.strFirst, "There is not sufficient memory. Please close some applications  and try again.");
}

TEST(ErrorTexts, CodesWithoutAnEntryGetTheUnknownTexts) {
  for (int nCode : {-984, -979, 1, -1, -1001, -974, 2, -2147483647 - 1, 2147483647, 12345}) {
    SCOPED_TRACE("code " + std::to_string(nCode));
    const CErrorParagraphs p = GetErrorParagraphs(nCode);
    EXPECT_EQ(p.strFirst, kUnknown);
    EXPECT_EQ(p.strSecond, kNoFurther);
    EXPECT_EQ(p.strThird, kSuggested);
    EXPECT_EQ(p.strCode, "Error Code: " + std::to_string(nCode));
  }
  EXPECT_EQ(GetErrorParagraphs(1).strCode, "Error Code: 1");
  EXPECT_EQ(GetErrorParagraphs(-1001).strCode, "Error Code: -1001");
  EXPECT_EQ(GetErrorParagraphs(-2147483647 - 1).strCode, "Error Code: -2147483648");
}

TEST(ErrorTexts, ArchiveCauses) {
  const char* const kTexts[] = {"Unspecified Error",
                                "Tried to write into an archive opened for loading",
                                "Reached the end of file while reading an object",
                                "Tried to read from an archive opened for storing",
                                "Invalid file format",
                                "Tried to read an object into an object of the wrong type",
                                "Tried to read an object with different version of the class"};
  for (int nCause = 1; nCause <= 7; ++nCause) {
    std::string str = "old";
    GetArchiveErrorText(nCause, str);
    EXPECT_EQ(str, kTexts[nCause - 1]) << "cause " << nCause;
  }
  std::string str = "old";
  GetArchiveErrorText(0, str);
  EXPECT_EQ(str, "");  // cause 0 empties the text
  for (int nCause : {-1, 8, 100}) {
    str = "old";
    GetArchiveErrorText(nCause, str);
    EXPECT_EQ(str, "old") << "cause " << nCause;
  }
}

TEST(ErrorTexts, FileCauses) {
  const struct {
    int nCause;
    const char* pText;
  } kTexts[] = {{1, "An unspecified error occurred"},
                {2, "The file could not be located"},
                {3, "All or part of teh path is invalid"},
                {4, "The permitted number of files was exceeded"},
                {5, "The file could not be accessed"},
                {6, "There was an attempt to use an invalid file handle"},
                {9, "There was an error trying to set the file pointer"},
                {10, "There was a hardware error"},
                {11, "There is a file sharing violation"},
                {12, "There was an attempt to lock a region that was already locked"},
                {13, "The disk is full. Please make more free space on the hard disk and try again"},
                {14, "The end of file was reached"}};
  for (const auto& t : kTexts) {
    std::string str = "old";
    GetFileErrorText(t.nCause, str);
    EXPECT_EQ(str, t.pText) << "cause " << t.nCause;
  }
  // Causes without a text leave it as it was; a fresh empty text stays empty.
  for (int nCause : {7, 8, 0, -1, 15}) {
    std::string str = "old";
    GetFileErrorText(nCause, str);
    EXPECT_EQ(str, "old") << "cause " << nCause;
    std::string strEmpty;
    GetFileErrorText(nCause, strEmpty);
    EXPECT_EQ(strEmpty, "");
  }
}
