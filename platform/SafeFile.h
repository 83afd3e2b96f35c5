// Helpers for replacing a file without ever leaving it cut or empty: the temporary
// files a save writes before renaming them over the real file, the removal of the
// temporaries that a killed save left behind, symbolic links followed to the file
// they name, and a spare folder of the user's for copies that cannot go beside the
// file.
//
// A temporary file is "<file>.tmp-" followed by six letters or digits. Its writer
// holds an exclusive flock on it from its creation until it is renamed or removed,
// so a temporary that can be locked by anyone else belongs to a save that no longer
// runs and may be removed.
#pragma once

#include <sys/types.h>

#include <string>

// The folder part of a path ("." when it has none, "/" for the root's files).
std::string FolderOf(const std::string& strPath);

// The file that writing strPath must replace: symbolic links are followed (also a
// link to a file not yet there); any other path is returned as it is.
std::string FollowLinks(const std::string& strPath);

// Creates "<strPath>.tmp-XXXXXX" with the permissions nMode (less the umask), opens
// it for writing and holds an exclusive flock on it. Returns the descriptor and the
// name in strTemp, or -1 with errno set.
int CreateLockedTemp(const std::string& strPath, std::string& strTemp, mode_t nMode = 0666);

// Removes the temporaries of strPath that no running writer holds. Returns how many
// were removed.
int RemoveStaleTemps(const std::string& strPath);

// Flushes a folder's entries (after a rename or link in it); false when it cannot.
bool SyncFolder(const std::string& strFolder);

// Writes every byte, retrying after signals; false with errno set on an error
// (ENOSPC when the device takes no more).
bool WriteFully(int fd, const void* pData, size_t nSize);

// Waits for an exclusive flock() on fd, again after a signal interrupted the wait.
// False (errno set) when the lock cannot be had.
bool LockExclusive(int fd);

// A private folder of the user's for copies that cannot be written beside their
// file: $XDG_CACHE_HOME/mireth (or ~/.cache/mireth), else
// $XDG_RUNTIME_DIR/mireth. Created (mode 0700) when missing and bCreate; "" when
// there is none.
std::string GetSpareFolder(bool bCreate = true);
