#include "tethra/PduConcatenation.h"

#include <algorithm>
#include <map>
#include <string_view>
#include <tuple>

#include "platform/CharsetUtf.h"
#include "tethra/Gsm7Alphabet.h"

namespace {

// The text of a complete group. Parts in the same 7-bit or UCS2 coding are joined
// before they are read, so an escape or a surrogate pair that a sender split across
// two parts still comes out whole.
std::string JoinText(const CPduConcatGroup& g, const std::vector<const CPduMessage*>& messages) {
  const CPduMessage& first = *messages[static_cast<size_t>(g.m_parts[0])];
  const CPduDataCoding::Alphabet alphabet = first.m_coding.GetAlphabet();
  bool bSame = alphabet != CPduDataCoding::DATA8;
  const CGsm7Tables tables = first.GetNationalTables();
  for (int n : g.m_parts) {
    const CGsm7Tables other = messages[static_cast<size_t>(n)]->GetNationalTables();
    if (messages[static_cast<size_t>(n)]->m_coding.GetAlphabet() != alphabet ||
        other.nLocking != tables.nLocking || other.nSingle != tables.nSingle)
      bSame = false;
  }
  if (!bSame) {
    std::string s;
    for (int n : g.m_parts)
      s += messages[static_cast<size_t>(n)]->m_strText;
    return s;
  }
  std::vector<uint8_t> units;
  for (int n : g.m_parts) {
    const auto& p = messages[static_cast<size_t>(n)]->m_payload;
    units.insert(units.end(), p.begin(), p.end());
  }
  if (alphabet == CPduDataCoding::GSM7)
    return CGsm7Alphabet::Decode(units.data(), units.size(), tables);
  return CCharsetUtf::Utf16BeToUtf8(units.data(), units.size());
}

}  // namespace

bool CPduConcatGroup::IsComplete() const {
  for (int n : m_parts)
    if (n < 0)
      return false;
  return !m_parts.empty();
}

std::vector<int> CPduConcatGroup::GetMissing() const {
  std::vector<int> missing;
  for (size_t i = 0; i < m_parts.size(); ++i)
    if (m_parts[i] < 0)
      missing.push_back(static_cast<int>(i + 1));
  return missing;
}

std::vector<CPduConcatGroup> CPduConcatenation::Group(const std::vector<CPduMessage>& messages) {
  std::vector<const CPduMessage*> pointers;
  pointers.reserve(messages.size());
  for (const auto& m : messages)
    pointers.push_back(&m);
  return Group(pointers);
}

namespace {

// Parts sent together reach the service centre within seconds; parts whose time
// stamps lie further apart than this belong to different messages.
constexpr int64_t kMaxPartSpreadSeconds = 60 * 60;

// The transfer unit without the service-centre address: the same part listed twice
// (in two storages, or read twice) is the same unit.
std::string_view Tpdu(const CPduMessage& m) {
  return std::string_view(m.m_strPdu).substr(std::min(m.m_strPdu.size(), m.m_nServiceCenterOctets * 2));
}

// Seconds of the part's time stamp, or -1 when it has none (a SUBMIT).
int64_t PartTime(const CPduMessage& m) { return m.m_timeStamp.IsValid() ? m.m_timeStamp.ToUtcSeconds() : -1; }

struct SOpenGroup {
  size_t nGroup;  // in the result
  int64_t nTime;  // of its first part, -1 when unknown
};

}  // namespace

std::vector<CPduConcatGroup> CPduConcatenation::Group(const std::vector<const CPduMessage*>& messages) {
  std::vector<CPduConcatGroup> groups;
  // Parts belong together when sender, reference and total agree, each number is
  // there once, and their times are close. Two complete sets are never merged: a
  // part whose place is taken by a different part starts (or joins) another group,
  // so a second different copy of a part stays visible. A byte-for-byte repeat of a
  // part is recorded as a duplicate of it.
  using Key = std::tuple<int, std::string, uint16_t, uint8_t>;
  std::map<Key, std::vector<SOpenGroup>> index;
  for (size_t i = 0; i < messages.size(); ++i) {
    const CPduMessage& m = *messages[i];
    CPduConcatInfo info;
    if (!m.GetConcatenation(info)) {
      CPduConcatGroup g;
      g.m_type = m.m_type;
      g.m_strAddress = m.m_address.GetText();
      g.m_parts.push_back(static_cast<int>(i));
      groups.push_back(std::move(g));
      continue;
    }
    const size_t nSlot = info.m_nSequence - 1u;
    const int64_t nTime = PartTime(m);
    std::vector<SOpenGroup>& candidates =
        index[Key{static_cast<int>(m.m_type), m.m_address.GetText(), info.m_nReference, info.m_nTotal}];

    const SOpenGroup* pBest = nullptr;
    bool bDuplicate = false;
    int64_t nBestDistance = 0;
    for (const SOpenGroup& c : candidates) {
      CPduConcatGroup& g = groups[c.nGroup];
      const int64_t nDistance =
          nTime < 0 || c.nTime < 0 ? 0 : (nTime > c.nTime ? nTime - c.nTime : c.nTime - nTime);
      if (nDistance > kMaxPartSpreadSeconds)
        continue;
      const int nTaken = g.m_parts[nSlot];
      if (nTaken >= 0) {
        if (Tpdu(*messages[static_cast<size_t>(nTaken)]) == Tpdu(m)) {
          g.m_duplicates.push_back(i);
          bDuplicate = true;
          break;
        }
        continue;
      }
      if (!pBest || nDistance < nBestDistance) {
        pBest = &c;
        nBestDistance = nDistance;
      }
    }
    if (bDuplicate)
      continue;
    if (!pBest) {
      CPduConcatGroup g;
      g.m_type = m.m_type;
      g.m_strAddress = m.m_address.GetText();
      g.m_nReference = info.m_nReference;
      g.m_nTotal = info.m_nTotal;
      g.m_bConcatenated = true;
      g.m_parts.assign(info.m_nTotal, -1);
      candidates.push_back(SOpenGroup{groups.size(), nTime});
      groups.push_back(std::move(g));
      pBest = &candidates.back();
    }
    groups[pBest->nGroup].m_parts[nSlot] = static_cast<int>(i);
  }
  for (auto& g : groups)
    if (g.IsComplete())
      g.m_strText = JoinText(g, messages);
  return groups;
}
