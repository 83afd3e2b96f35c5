#include "tethra/PduConcatenation.h"

#include <map>
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
    if (messages[static_cast<size_t>(n)]->m_coding.GetAlphabet() != alphabet || other.nLocking != tables.nLocking ||
        other.nSingle != tables.nSingle)
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

std::vector<CPduConcatGroup> CPduConcatenation::Group(const std::vector<const CPduMessage*>& messages) {
  std::vector<CPduConcatGroup> groups;
  using Key = std::tuple<int, std::string, uint16_t, uint8_t>;
  std::map<Key, size_t> index;
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
    const Key key{static_cast<int>(m.m_type), m.m_address.GetText(), info.m_nReference, info.m_nTotal};
    auto it = index.find(key);
    if (it == index.end()) {
      CPduConcatGroup g;
      g.m_type = m.m_type;
      g.m_strAddress = m.m_address.GetText();
      g.m_nReference = info.m_nReference;
      g.m_nTotal = info.m_nTotal;
      g.m_bConcatenated = true;
      g.m_parts.assign(info.m_nTotal, -1);
      it = index.emplace(key, groups.size()).first;
      groups.push_back(std::move(g));
    }
    CPduConcatGroup& g = groups[it->second];
    int& slot = g.m_parts[info.m_nSequence - 1];
    if (slot < 0)
      slot = static_cast<int>(i);
    else
      g.m_duplicates.push_back(i);
  }
  for (auto& g : groups)
    if (g.IsComplete())
      g.m_strText = JoinText(g, messages);
  return groups;
}
