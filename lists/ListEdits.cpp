#include "lists/ListEdits.h"

#include <algorithm>
#include <string_view>
#include <utility>
#include <vector>

namespace {

// The shortest piece of a PDU that counts as shared (6 octets in hex digits), so that
// a few equal characters do not make two messages one.
constexpr size_t kMinPiece = 12;
// How many pieces a stored copy may have when its record names no places.
constexpr size_t kPiecesWithoutPlaces = 4;

// The places a message was read from ("SM:1,SM:2"): how many there are.
size_t CountPlaces(const std::string& strPlaces) {
  if (strPlaces.empty())
    return 0;
  return static_cast<size_t>(std::count(strPlaces.begin(), strPlaces.end(), ',')) + 1;
}

// True when part is made of at most nMaxPieces pieces of whole, in order, each at
// least kMinPiece long.
bool IsMadeOfPieces(std::string_view part, std::string_view whole, size_t nMaxPieces) {
  size_t i = 0, j = 0, nPieces = 0;
  while (i < part.size()) {
    if (++nPieces > nMaxPieces)
      return false;
    // The longest prefix of part[i..] found in whole[j..]: a shorter prefix is found
    // wherever a longer one is, so the length can be searched by halves.
    size_t nLow = 0, nHigh = part.size() - i, nAt = std::string_view::npos;
    while (nLow < nHigh) {
      const size_t nMid = (nLow + nHigh + 1) / 2;
      const size_t nFound = whole.find(part.substr(i, nMid), j);
      if (nFound != std::string_view::npos) {
        nLow = nMid;
        nAt = nFound;
      } else {
        nHigh = nMid - 1;
      }
    }
    // Only a part shorter than a piece may be one short piece.
    if (nLow == 0 || (nLow < kMinPiece && !(i == 0 && nLow == part.size())))
      return false;
    i += nLow;
    j = nAt + nLow;
  }
  return true;
}

// Stored messages by number, made when first needed and dropped when the list
// shrinks.
class CByNumber {
 public:
  const std::vector<size_t>& Find(const CMessageArray& list, const std::string& strNumber) {
    if (!m_bBuilt) {
      for (size_t i = 0; i < list.size(); ++i)
        m_index[list[i]->m_strNumber].push_back(i);
      m_bBuilt = true;
    }
    static const std::vector<size_t> s_none;
    const auto it = m_index.find(strNumber);
    return it != m_index.end() ? it->second : s_none;
  }
  void Add(size_t nIndex, const std::string& strNumber) {
    if (m_bBuilt)
      m_index[strNumber].push_back(nIndex);
  }
  void Invalidate() {
    m_index.clear();
    m_bBuilt = false;
  }

 private:
  std::unordered_map<std::string, std::vector<size_t>> m_index;
  bool m_bBuilt = false;
};

// Puts pMessage in the place of the first stored incomplete copy of it and removes
// any further copies; false (pMessage untouched) when the list holds none.
bool ReplaceIncomplete(CMessageArray& list, std::unique_ptr<CMessage>& pMessage, CMessageKeys& keys,
                       CByNumber& byNumber) {
  std::vector<size_t> copies;
  for (const size_t i : byNumber.Find(list, pMessage->m_strNumber))
    if (IsIncompleteCopyOf(*list[i], *pMessage))
      copies.push_back(i);
  if (copies.empty())
    return false;
  for (const size_t i : copies)
    keys.Remove(list[i].get());
  keys.Add(pMessage.get());
  list[copies.front()] = std::move(pMessage);
  if (copies.size() > 1) {
    // Rare: several incomplete copies; the later ones go.
    for (auto it = copies.rbegin(); it != copies.rend() - 1; ++it)
      list.erase(list.begin() + static_cast<long>(*it));
    byNumber.Invalidate();
  }
  return true;
}

}  // namespace

namespace {

// FNV-1a, 64 bits, fed byte by byte so that a key in two pieces hashes as one.
constexpr uint64_t kFnvOffset = 14695981039346656037ull;
constexpr uint64_t kFnvPrime = 1099511628211ull;

uint64_t FnvAdd(uint64_t nHash, std::string_view bytes) {
  for (const char c : bytes) {
    nHash ^= static_cast<unsigned char>(c);
    nHash *= kFnvPrime;
  }
  return nHash;
}

// Position of a character among the upper-case hex digits, -1 for any other.
long HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

// strPdu[nFirst, nFirst + nCount), both clamped to the text.
std::string_view Piece(const std::string& strPdu, long nFirst, long nCount) {
  const long nLength = static_cast<long>(strPdu.size());
  nFirst = std::clamp(nFirst, 0L, nLength);
  nCount = std::clamp(nCount, 0L, nLength - nFirst);
  return std::string_view(strPdu).substr(static_cast<size_t>(nFirst), static_cast<size_t>(nCount));
}

}  // namespace

uint64_t CMessageKeys::HashKey(std::string_view key) { return FnvAdd(kFnvOffset, key); }

uint64_t CMessageKeys::HashPduKey(const std::string& strPdu) {
  // The key is the PDU without its service-centre part (its length in octets is the
  // first two hex digits) and without the octet after the first octet; the pieces
  // are those of CMessage::GetPduKey.
  long n = 0;
  if (!strPdu.empty())
    n = 16 * HexDigit(strPdu[0]) + (strPdu.size() > 1 ? HexDigit(strPdu[1]) : -1);
  uint64_t nHash = FnvAdd(kFnvOffset, Piece(strPdu, 2 * n + 2, 2));
  return FnvAdd(nHash, Piece(strPdu, 2 * n + 6, static_cast<long>(strPdu.size())));
}

CMessageKeys::CMessageKeys(const CMessageArray& list) {
  m_messages.reserve(list.size() + list.size() / 4);
  for (const auto& pMessage : list)
    Add(pMessage.get());
}

bool CMessageKeys::Contains(const std::string& strKey) const {
  const auto [first, last] = m_messages.equal_range(HashKey(strKey));
  for (auto it = first; it != last; ++it)
    if (it->second->GetPduKey() == strKey)
      return true;
  return false;
}

void CMessageKeys::Add(const CMessage* pMessage) {
  m_messages.emplace(HashPduKey(pMessage->m_strPdu), pMessage);
}

void CMessageKeys::Remove(const CMessage* pMessage) {
  const auto [first, last] = m_messages.equal_range(HashPduKey(pMessage->m_strPdu));
  for (auto it = first; it != last; ++it) {
    if (it->second == pMessage) {
      m_messages.erase(it);
      return;
    }
  }
}

bool IsIncompleteCopyOf(const CMessage& stored, const CMessage& fuller) {
  if (stored.m_strNumber != fuller.m_strNumber || stored.m_strPdu.empty() ||
      stored.m_strPdu.size() >= fuller.m_strPdu.size())
    return false;
  const size_t nStoredParts = CountPlaces(stored.m_strExtra);
  const size_t nFullerParts = CountPlaces(fuller.m_strExtra);
  // With places named on both sides the fuller copy must have more of them.
  if (nStoredParts != 0 && nFullerParts != 0 && nStoredParts >= nFullerParts)
    return false;
  const size_t nMaxPieces = nStoredParts != 0 ? nStoredParts : kPiecesWithoutPlaces;
  return IsMadeOfPieces(stored.m_strPdu, fuller.m_strPdu, nMaxPieces);
}

CFetchMerge MergeFetched(CMessageArray& list, CMessageArray& fetched,
                         const std::function<void(CMessage&)>& prepare, bool bReplaceIncomplete) {
  CFetchMerge result;
  CMessageKeys keys(list);
  CByNumber byNumber;
  CMessageArray incoming = std::move(fetched);
  fetched.clear();
  for (auto& pMessage : incoming) {
    if (prepare)
      prepare(*pMessage);
    // Every stored message counts, those of this fetch included.
    const std::string strKey = pMessage->GetPduKey();
    if (keys.Contains(strKey))
      continue;
    if (bReplaceIncomplete && ReplaceIncomplete(list, pMessage, keys, byNumber)) {
      ++result.nReplaced;
      continue;
    }
    keys.Add(pMessage.get());
    byNumber.Add(list.size(), pMessage->m_strNumber);
    list.push_back(std::move(pMessage));
    ++result.nAdded;
  }
  return result;
}

std::vector<const CMessage*> RecordsAtRows(const CMessageArray& list, std::vector<int>& rows) {
  rows.erase(std::remove_if(rows.begin(), rows.end(),
                            [&list](int n) { return n < 0 || static_cast<size_t>(n) >= list.size(); }),
             rows.end());
  std::vector<const CMessage*> records;
  records.reserve(rows.size());
  for (const int n : rows)
    records.push_back(list[static_cast<size_t>(n)].get());
  return records;
}

void EraseRows(CMessageArray& list, const std::vector<int>& rows) {
  size_t nNext = 0, nKept = 0;
  for (size_t i = 0; i < list.size(); ++i) {
    if (nNext < rows.size() && static_cast<size_t>(rows[nNext]) == i) {
      ++nNext;
      continue;
    }
    if (nKept != i)
      list[nKept] = std::move(list[i]);
    ++nKept;
  }
  list.resize(nKept);
}

size_t KeepAddedElsewhere(CMessageArray& list, CMessageArray& onFile,
                          const std::unordered_set<std::string>& deletedKeys) {
  CMessageKeys keys(list);
  size_t nAdded = 0;
  for (auto& pMessage : onFile) {
    const std::string strKey = pMessage->GetPduKey();
    if (keys.Contains(strKey) || deletedKeys.count(strKey) != 0)
      continue;
    list.push_back(std::move(pMessage));
    keys.Add(list.back().get());
    ++nAdded;
  }
  onFile.clear();
  return nAdded;
}
