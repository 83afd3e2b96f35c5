// Reading and writing one store file on disk, without showing anything.
//
// A store file is opened exclusively: an advisory lock (flock, LOCK_EX|LOCK_NB) is
// taken on it for as long as it is read or written, so a file that another program
// or another window holds is neither read nor written.
//
// Writing is crash-safe: the list goes to a temporary file in the same folder, which
// is flushed to the disk and then renamed over the store file. Whatever fails (disk
// full, a write error, the rename), the previous file stays as it was and the
// temporary file is removed; temporaries of a save that was killed are removed by
// the next save. A first save makes the file appear only once it is complete. A
// large file starts going to the disk while the rest of it is written, so the
// flush at the end waits for its last part only.
//
// Where the folder takes no new file (access denied) while the store file may be
// written, the file is never the only copy of its list while it is rewritten: its
// old contents are kept as "<hash>.bak" in the user's spare folder (platform/
// SafeFile), the complete new list is written there as "<hash>.new", and only then
// copied over the file. A copy that fails is undone from the backup; one that was
// killed is completed by the next read or save of the file. With no spare folder the
// save is refused (notOpened) and the file is not touched.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "model/Lists.h"
#include "model/RecordList.h"

// Reads the list in the file at strPath, appending its records to list. notOpened
// when the file cannot be opened or locked (missing, in use, access denied, not a
// regular file); otherwise the outcome of reading. Records read before an error stay
// in the list.
CStoreResult ReadStoreFile(const std::string& strPath, CMessageArray& list);
CStoreResult ReadStoreFile(const std::string& strPath, CAddressArray& list);
// Reads the file record by record, handing each to fn as it is read (the same record
// object each time), under the same lock; nothing else of the list is kept.
CStoreResult ReadStoreFileRecords(const std::string& strPath, const std::function<void(const CMessage&)>& fn);
CStoreResult ReadStoreFileRecords(const std::string& strPath, const std::function<void(const CAddress&)>& fn);
// Reads the whole file at strPath as bytes, under the same lock.
CStoreResult ReadStoreFileBytes(const std::string& strPath, std::string& bytes);

// Writes the list to strPath. A missing file is created empty first; notOpened when
// the file then cannot be opened for writing or locked.
CStoreResult WriteStoreFile(const std::string& strPath, const CMessageArray& list);
CStoreResult WriteStoreFile(const std::string& strPath, const CAddressArray& list);
// Writes a list made in blocks of records (CRecordBlock), never held whole: fnNext
// points pBlock at the next block (which it keeps as it is until it is called again)
// and answers block, end after the last one, or abandon to give the writing up (the
// result is then abandoned and the file is not touched). The blocks go to a locked
// temporary file beside strPath as they come, and the store file is locked only for
// the rename at the end, so a slow source does not keep other saves out. Where the
// folder takes no new file, the temporary is kept in the spare folder and its list
// saved as WriteStoreFile saves one.
enum class NextBlock { block, end, abandon };
CStoreResult WriteStoreFileBlocks(const std::string& strPath,
                                  const std::function<NextBlock(CRecordBlock<CMessage>*& pBlock)>& fnNext);
CStoreResult WriteStoreFileBlocks(const std::string& strPath,
                                  const std::function<NextBlock(CRecordBlock<CAddress>*& pBlock)>& fnNext);

// The save behind WriteStoreFile and the CSV copies: fnWrite writes the whole new
// contents to the descriptor it is given (and flushes them), throwing the archive's
// exceptions on a failure.
using FileWriter = std::function<void(int fd)>;
CStoreResult ReplaceFileSafely(const std::string& strPath, const FileWriter& fnWrite);

// Fault injection, for tests: the hook is asked before each low-level step of a
// store-file or CSV operation and may make that step fail. nCall counts the calls of
// that step within the current operation, from 0.
enum class StoreStep {
  read,        // one read from a store file
  write,       // one write of a buffer to the temporary file
  sync,        // flushing the temporary file to the disk
  rename,      // renaming it over the store file
  csvWrite,    // the write of a CSV file's text
  createTemp,  // creating the temporary file (any fault: as if access were denied)
  copyBack,    // one write of a spare copy over the file in place
};
struct CStoreFault {
  enum Kind { none, fileError, archiveError, memory };
  Kind m_kind = none;
  int m_nCause = 0;  // file-error or archive-error cause
};
using StoreFaultHook = std::function<CStoreFault(StoreStep step, size_t nCall)>;
// Installs a hook (an empty one removes it); returns the previous one.
StoreFaultHook SetStoreFaultHook(StoreFaultHook hook);

// Asks the hook about a step and throws the fault it asks for. Used by the model's
// file operations.
void CheckStoreFault(StoreStep step);
// Asks the hook about a step; true when it asks for any fault.
bool IsFaultInjected(StoreStep step);
// Starts the step counts of a new operation.
void ResetStoreFaultCounts();
