// The error dialog's texts for every phone status code, and the texts of file and
// archive error causes.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "errors/ErrorTexts.h"
#include "res/StringTable.h"

namespace {

// The code table: each code's three paragraphs by string number (0: empty). The last
// eight codes, from 1 on, have no entry of their own: the texts of an unknown error.
const std::tuple<int, unsigned int, unsigned int, unsigned int> kTable[] = {
    {-1000, 60, 140, 141},    {-999, 61, 138, 0},       {-998, 75, 0, 0},       {-997, 62, 0, 0},
    {-996, 63, 0, 0},         {-995, 64, 135, 0},       {-994, 133, 0, 0},      {-993, 134, 0, 0},
    {-992, 65, 1730, 0},      {-991, 66, 0, 0},         {-990, 67, 0, 0},       {-989, 68, 0, 0},
    {-988, 69, 0, 0},         {-987, 70, 0, 0},         {-986, 105, 136, 137},  {-985, 104, 0, 0},
    {-984, 147, 148, 149},    {-983, 106, 148, 0},      {-982, 147, 148, 149},  {-981, 147, 148, 149},
    {-980, 147, 148, 149},    {-979, 147, 148, 149},    {-978, 71, 0, 0},       {-977, 72, 0, 0},
    {-976, 73, 0, 0},         {-975, 74, 0, 0},         {0, 59, 139, 0},        {1, 147, 148, 149},
    {-1, 147, 148, 149},      {-1001, 147, 148, 149},   {-974, 147, 148, 149},  {2, 147, 148, 149},
    {INT_MIN, 147, 148, 149}, {INT_MAX, 147, 148, 149}, {12345, 147, 148, 149},
};

std::string Text(unsigned int n) { return n ? LoadString(n) : std::string(); }

}  // namespace

TEST(ErrorTexts, EveryCodeOfTheTable) {
  for (const auto& [nCode, nFirst, nSecond, nThird] : kTable) {
    const CErrorParagraphs p = GetErrorParagraphs(nCode);
    EXPECT_EQ(
        std::tie(p.strFirst, p.strSecond, p.strThird, p.strCode),
        std::make_tuple(Text(nFirst), Text(nSecond), Text(nThird), "Error Code: " + std::to_string(nCode)));
  }
}

// The texts of archive and file error causes; a cause without a text leaves the
// text as it was ("old"), and archive cause 0 empties it.
TEST(ErrorTexts, ArchiveAndFileCauses) {
  // Archive or file cause, the cause, and its text.
  const std::tuple<bool, int, const char*> kCases[] = {
      {true, 1, "Unspecified Error"},
      {true, 3, "Reached the end of file while reading an object"},
      {true, 6, "Tried to read an object into an object of the wrong type"},
      {true, 7, "Tried to read an object with different version of the class"},
      {true, 0, ""},
      {true, -1, "old"},
      {true, 8, "old"},
      {false, 1, "An unspecified error occurred"},
      {false, 5, "The file could not be accessed"},
      {false, 6, "There was an attempt to use an invalid file handle"},
      {false, 9, "There was an error trying to set the file pointer"},
      {false, 13, "The disk is full. Please make more free space on the hard disk and try again"},
      {false, 14, "The end of file was reached"},
      {false, 7, "old"},
      {false, 0, "old"},
      {false, 15, "old"},
  };
  for (const auto& [bArchive, nCause, pszText] : kCases) {
    std::string str = "old";
    if (bArchive)
      GetArchiveErrorText(nCause, str);
    else
      GetFileErrorText(nCause, str);
    EXPECT_EQ(str, pszText) << (bArchive ? "archive" : "file") << " cause " << nCause;
  }
}
