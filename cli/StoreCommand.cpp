// mireth store: look into, write and export the store files.
//
//   mireth store dump FILE [--json]     the records, as a table or as JSON lines
//   mireth store write FILE [--class CMessage|CAddress]
//                                       a store file from JSON lines on standard input
//   mireth store csv FILE               the CSV copy beside the file
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/Command.h"
#include "cli/RecordLines.h"
#include "cli/TableCell.h"
#include "model/CsvExport.h"
#include "model/MessageText.h"
#include "model/PosixFile.h"
#include "model/RecordJson.h"
#include "model/RecordList.h"
#include "model/StoreFile.h"
#include "model/StoreLists.h"
#include "model/WriteBehind.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: mireth store dump FILE [--json]\n"
               "       mireth store write FILE [--class CMessage|CAddress]  (JSON lines on stdin)\n"
               "       mireth store csv FILE\n");
  return 2;
}

int Fail(const std::string& strFile, const std::string& strWhy) {
  std::fprintf(stderr, "mireth store: %s: %s\n", strFile.c_str(), strWhy.c_str());
  return 1;
}

std::string BaseName(const std::string& strPath) {
  size_t n = strPath.rfind('/');
  return n == std::string::npos ? strPath : strPath.substr(n + 1);
}

void PrintHeader(const CMessage&) {
  std::printf("%-5s %-17s %-7s %-16s %-16s %-20s %s\n", "#", "Status", "Storage", "Number", "Name",
              "Date and Time", "Message");
}

void PrintRow(size_t i, const CMessage& m) {
  const std::string& strName = m.m_strSenderName.empty() ? m.m_strName : m.m_strSenderName;
  std::printf("%-5zu %-17s %-7s %-16s %-16s %-20s %s\n", i, GetStatusText(m.m_nStatus).c_str(),
              GetStorageText(m.m_nStorage).c_str(), TableCell(m.m_strNumber, 16).c_str(),
              TableCell(strName, 16).c_str(), TableCell(m.m_strDateTime, 20).c_str(),
              TableCell(m.m_strMessage, 60).c_str());
}

void PrintHeader(const CAddress&) { std::printf("%-5s %-24s %s\n", "#", "Number", "Name"); }

void PrintRow(size_t i, const CAddress& a) {
  std::printf("%-5zu %-24s %s\n", i, TableCell(a.m_strNumber, 24).c_str(),
              TableCell(a.m_strName, 60).c_str());
}

// Standard output in large blocks: records are gathered in one buffer that is
// handed to a second thread to write whenever it holds a megabyte, while the next
// records are read. A failure to write (a full disk, a closed pipe) is kept and
// ends the dump.
class CBlockOutput {
 public:
  CBlockOutput() : m_behind(m_stdout) { m_buffer.reserve(kBlock + 4096); }
  std::string& Buffer() { return m_buffer; }
  // Throws the failure of an earlier block, to end the reading of the file.
  void FlushIfFull() {
    if (m_buffer.size() >= kBlock)
      Hand();
  }
  // Writes out the rest; false when anything failed (Why then tells).
  bool Finish() {
    if (m_failure.IsOk())
      m_failure = CatchStoreErrors([&] {
        Hand();
        m_behind.Finish();
      });
    return m_failure.IsOk();
  }
  std::string Why() const { return m_failure.Describe(); }

 private:
  void Hand() {
    m_failure = CatchStoreErrors([&] { m_behind.Hand(m_buffer); });
    if (!m_failure.IsOk())
      throw CFileException(CFileException::genericException);
    m_buffer.reserve(kBlock + 4096);
  }

  static constexpr size_t kBlock = 1 << 20;
  CPosixFile m_stdout{STDOUT_FILENO, 0};
  CWriteBehind m_behind;
  std::string m_buffer;
  CStoreResult m_failure;
};

// The records as they are read from the file, one at a time: nothing of the list is
// kept, and the output goes out in large blocks.
template <class Record>
int DumpList(const std::string& strFile, bool bJson) {
  size_t nCount = 0;
  CStoreResult result;
  if (bJson) {
    CBlockOutput out;
    result = ReadStoreFileRecords(strFile, std::function<void(const Record&)>([&](const Record& record) {
                                    AppendRecordJson(out.Buffer(), record);
                                    out.Buffer() += '\n';
                                    out.FlushIfFull();
                                    ++nCount;
                                  }));
    if (!out.Finish())
      return Fail("standard output", out.Why());
  } else {
    PrintHeader(Record());
    result = ReadStoreFileRecords(strFile, std::function<void(const Record&)>(
                                               [&](const Record& record) { PrintRow(++nCount, record); }));
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
      return Fail("standard output", std::strerror(errno));
  }
  if (result.m_kind == CStoreResult::notOpened)
    return Fail(strFile, result.Describe());
  if (!result.IsOk())
    return Fail(strFile, result.Describe() + " after " + std::to_string(nCount) + " records");
  return 0;
}

// The class of a store file's records, from its first record (an empty list has
// none): read from the head of the file, the list itself then straight from it.
StoreRecordClass ReadRecordClass(const std::string& strFile, CStoreResult& result) {
  std::string head(4096, '\0');
  FILE* pFile = std::fopen(strFile.c_str(), "rb");
  if (!pFile) {
    result = CStoreResult{CStoreResult::notOpened, 0, errno};
    return StoreRecordClass::none;
  }
  head.resize(std::fread(head.data(), 1, head.size(), pFile));
  std::fclose(pFile);
  return DetectRecordClass(head.data(), head.size());
}

int Dump(const std::vector<std::string>& args) {
  std::string strFile;
  bool bJson = false;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--json")
      bJson = true;
    else if (strFile.empty() && !args[i].empty() && args[i][0] != '-')
      strFile = args[i];
    else
      return Usage();
  }
  if (strFile.empty())
    return Usage();
  CStoreResult result;
  if (ReadRecordClass(strFile, result) == StoreRecordClass::address)
    return DumpList<CAddress>(strFile, bJson);
  if (!result.IsOk())
    return Fail(strFile, result.Describe());
  return DumpList<CMessage>(strFile, bJson);
}

bool IsAddressFileName(const std::string& strFile) {
  std::string strBase = BaseName(strFile);
  return strcasecmp(strBase.c_str(), GetStoreFileName(StoreList::addressBook).c_str()) == 0 ||
         strcasecmp(strBase.c_str(), GetStoreFileName(StoreList::serviceCenters).c_str()) == 0;
}

// The lines become records on worker threads, and each block of them goes to the file
// as it comes: nothing of the list is kept beyond a few blocks of input.
template <class Record>
int WriteList(const std::string& strFile, std::string_view strStart, bool bInputEnd) {
  CRecordLines<Record> lines(strStart, stdin, bInputEnd);
  size_t nCount = 0;
  const CStoreResult result = WriteStoreFileBlocks(
      strFile, std::function<NextBlock(CRecordBlock<Record>*&)>([&](CRecordBlock<Record>*& pBlock) {
        const NextBlock next = lines.Next(pBlock);
        if (next == NextBlock::block)
          nCount += pBlock->GetCount();
        return next;
      }));
  if (result.m_kind == CStoreResult::abandoned)  // the file was not touched
    return Fail("stdin", lines.Error());
  if (result.m_kind == CStoreResult::notOpened)
    return Fail(strFile, "cannot be opened for writing (in use by another program, or access denied)");
  if (!result.IsOk())
    return Fail(strFile, result.Describe() + "; the file was left as it was");
  std::printf("wrote %zu record(s) to %s\n", nCount, strFile.c_str());
  return 0;
}

int Write(const std::vector<std::string>& args) {
  std::string strFile, strClass;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--class" && i + 1 < args.size())
      strClass = args[++i];
    else if (strFile.empty() && !args[i].empty() && args[i][0] != '-')
      strFile = args[i];
    else
      return Usage();
  }
  if (strFile.empty())
    return Usage();
  if (!strClass.empty() && strClass != "CMessage" && strClass != "CAddress")
    return Fail(strFile, "unknown class \"" + strClass + "\" (CMessage or CAddress)");

  // Lines are looked at until one names the class (usually the first); then they
  // and the rest of the input become records.
  std::string strStart;  // the input read so far
  bool bInputEnd = false;
  for (size_t nPos = 0, nLine = 1; strClass.empty(); ++nLine) {
    size_t nEnd;
    while ((nEnd = strStart.find('\n', nPos)) == std::string::npos && !bInputEnd) {
      char block[65536];
      const size_t nGot = std::fread(block, 1, sizeof block, stdin);
      strStart.append(block, nGot);
      bInputEnd = nGot == 0;
      if (bInputEnd && std::ferror(stdin))
        return Fail("stdin", std::strerror(errno));
    }
    if (nPos == strStart.size())
      break;
    const std::string_view line =
        std::string_view(strStart).substr(nPos, std::min(nEnd, strStart.size()) - nPos);
    nPos += line.size() + 1;
    std::string strError;
    if (!IsBlankLine(line) && !GetJsonClass(line, strClass, strError))
      return Fail("stdin", "line " + std::to_string(nLine) + ": " + strError);
  }
  if (strClass.empty())  // no record names its class: the file's name decides
    strClass = IsAddressFileName(strFile) ? "CAddress" : "CMessage";
  if (strClass == "CAddress")
    return WriteList<CAddress>(strFile, strStart, bInputEnd);
  if (strClass == "CMessage")
    return WriteList<CMessage>(strFile, strStart, bInputEnd);
  return Fail("stdin", "unknown class \"" + strClass + "\" (CMessage or CAddress)");
}

template <class List>
int ExportList(StoreList which, const std::string& strFile) {
  List list;
  CStoreResult result = ReadStoreFile(strFile, list);
  if (!result.IsOk())
    return Fail(strFile, result.Describe());
  switch (WriteCsvFile(which, strFile, list)) {
    case CsvResult::written:
      std::printf("%s\n", GetCsvPath(strFile).c_str());
      return 0;
    case CsvResult::notOpened:
      return 1;  // "Unable to Save " and the path have been shown
    case CsvResult::failed:
      break;
  }
  return Fail(GetCsvPath(strFile), "writing failed");
}

int Csv(const std::vector<std::string>& args) {
  if (args.size() != 2 || args[1].empty() || args[1][0] == '-')
    return Usage();
  const std::string& strFile = args[1];
  std::string strBase = BaseName(strFile);
  static const StoreList s_lists[] = {StoreList::inbox, StoreList::outbox, StoreList::addressBook,
                                      StoreList::presets, StoreList::serviceCenters};
  std::string strNames;
  for (StoreList which : s_lists) {
    std::string strName = GetStoreFileName(which);
    if (strcasecmp(strBase.c_str(), strName.c_str()) == 0) {
      if (which == StoreList::addressBook || which == StoreList::serviceCenters)
        return ExportList<CAddressArray>(which, strFile);
      return ExportList<CMessageArray>(which, strFile);
    }
    strNames += (strNames.empty() ? "" : ", ") + strName;
  }
  return Fail(strFile, "not a store file name (" + strNames + ")");
}

int RunStore(const std::vector<std::string>& args) {
  if (args.empty())
    return Usage();
  if (args[0] == "dump")
    return Dump(args);
  if (args[0] == "write")
    return Write(args);
  if (args[0] == "csv")
    return Csv(args);
  return Usage();
}

}  // namespace

static CCommandRegistrar reg("store", "dump, write or export a store file (SMSIn.Dat ...)", RunStore);
