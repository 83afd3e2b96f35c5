// The edits a page makes to its message array: merging what a fetch from the phone
// brings, and erasing the rows the user deleted.
//
// A fetch: each message whose key (CMessage::GetPduKey) the list does not hold yet
// goes to the end of the list; one the list already holds is dropped. The keys of
// the list are hashed once per fetch, so n fetched against m stored costs O(n + m).
//
// A long message read while some of its parts had not arrived yet is kept with the
// parts that were there (its PDU is theirs, one after the other). When a later fetch
// brings the message with more of its parts, the stored copy is replaced, in its
// place, by the fuller one, so the list ends with one message holding the whole
// text. The stored copy counts as such when it comes from the same number and its
// PDU is made, in order, of pieces of the new one's PDU (no more pieces than it has
// parts). No Qt here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "model/Lists.h"

// The keys of a list's messages, hashed without building them: a stored message
// costs one pass over its PDU, not a copy of its key. A hash found is confirmed by
// comparing the keys themselves.
class CMessageKeys {
 public:
  explicit CMessageKeys(const CMessageArray& list);
  bool Contains(const std::string& strKey) const;
  // The message must stay alive (and keep its PDU) while it is in the set.
  void Add(const CMessage* pMessage);
  void Remove(const CMessage* pMessage);

  // The hash of a key, and of a message's key read straight from its PDU (the same
  // value as the hash of its GetPduKey()).
  static uint64_t HashKey(std::string_view key);
  static uint64_t HashPduKey(const std::string& strPdu);

 private:
  std::unordered_multimap<uint64_t, const CMessage*> m_messages;
};

struct CFetchMerge {
  size_t nAdded = 0;     // appended at the end of the list
  size_t nReplaced = 0;  // stored incomplete long messages replaced by a fuller copy
  bool Any() const { return nAdded + nReplaced > 0; }
};

// Merges the fetched messages, in their order, into the list, taking them out of
// fetched (which ends empty). prepare runs on each message before it is looked at
// (naming the sender, fixing the date); bReplaceIncomplete turns on the replacement
// of incomplete long messages.
CFetchMerge MergeFetched(CMessageArray& list, CMessageArray& fetched,
                         const std::function<void(CMessage&)>& prepare, bool bReplaceIncomplete);

// True when stored is an incomplete copy of the long message fuller: the rule above.
bool IsIncompleteCopyOf(const CMessage& stored, const CMessage& fuller);

// Another program (mireth watch --store) may add messages to the store file while the
// page has its list in memory. Before the list replaces the file, the messages of the
// file (onFile) that the list does not hold and that the user did not delete here
// (deletedKeys, by GetPduKey) are appended to the list, in the file's order, taken
// out of onFile. Returns how many were appended.
size_t KeepAddedElsewhere(CMessageArray& list, CMessageArray& onFile,
                          const std::unordered_set<std::string>& deletedKeys);

// The records of the selected rows, in the order of rows (the order the phone deletes
// them in). Rows past the end of the list are first dropped from rows, so that rows
// and the result stay index for index.
std::vector<const CMessage*> RecordsAtRows(const CMessageArray& list, std::vector<int>& rows);

// Erases the elements at the given indexes (ascending, distinct, all valid) in one
// pass, keeping the order of the others: O(n + k), not O(n k).
void EraseRows(CMessageArray& list, const std::vector<int>& rows);
