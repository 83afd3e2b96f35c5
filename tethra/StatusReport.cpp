#include "tethra/StatusReport.h"

#include <algorithm>

#include "tethra/AtResponse.h"

namespace {

std::string Digits(const std::string& s) {
  std::string out;
  for (char c : s)
    if (c >= '0' && c <= '9')
      out += c;
  return out;
}

std::string Escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
    }
  }
  return out;
}

bool Unescape(const std::string& s, std::string& out) {
  out.clear();
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\') {
      out += s[i];
      continue;
    }
    if (++i >= s.size())
      return false;
    switch (s[i]) {
      case '\\':
        out += '\\';
        break;
      case 't':
        out += '\t';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      default:
        return false;
    }
  }
  return true;
}

}  // namespace

DeliveryState GetDeliveryState(uint8_t nStatus) {
  if (nStatus < 0x20)
    return DeliveryState::DELIVERED;
  if (nStatus < 0x40)
    return DeliveryState::PENDING;
  return DeliveryState::FAILED;
}

const char* GetDeliveryStateName(DeliveryState state) {
  switch (state) {
    case DeliveryState::DELIVERED:
      return "delivered";
    case DeliveryState::PENDING:
      return "pending";
    case DeliveryState::FAILED:
      break;
  }
  return "failed";
}

bool IsSameRecipient(const std::string& strA, const std::string& strB) {
  std::string a = Digits(strA), b = Digits(strB);
  if (a.empty() || b.empty())
    return false;
  if (a == b)
    return true;
  if (a.size() < b.size())
    std::swap(a, b);
  // A national number's trunk prefix is not part of the subscriber's number.
  b.erase(0, std::min(b.find_first_not_of('0'), b.size()));
  return b.size() >= 7 && a.compare(a.size() - b.size(), b.size(), b) == 0;
}

bool ReportMatches(const CPduMessage& report, const CSentReference& sent) {
  return report.m_type == PduType::STATUS_REPORT && report.m_nMessageReference == sent.nReference &&
         IsSameRecipient(report.m_address.GetText(), sent.strNumber);
}

std::string FormatSentReference(const CSentReference& sent) {
  return std::to_string(sent.nReference) + "\t" + Escape(sent.strNumber) + "\t" + Escape(sent.strTime) +
         "\t" + Escape(sent.strText);
}

bool ParseSentReference(const std::string& strLine, CSentReference& sent) {
  std::vector<std::string> fields;
  size_t nStart = 0;
  for (;;) {
    size_t nTab = strLine.find('\t', nStart);
    fields.push_back(strLine.substr(nStart, nTab == std::string::npos ? std::string::npos : nTab - nStart));
    if (nTab == std::string::npos)
      break;
    nStart = nTab + 1;
  }
  CSentReference s;
  if (fields.size() != 4 || !AtParseInt(fields[0], s.nReference) || s.nReference < 0 || s.nReference > 255 ||
      !Unescape(fields[1], s.strNumber) || !Unescape(fields[2], s.strTime) || !Unescape(fields[3], s.strText))
    return false;
  sent = std::move(s);
  return true;
}

const CSentReference* FindSentReference(const std::vector<CSentReference>& journal,
                                        const CPduMessage& report) {
  for (auto it = journal.rbegin(); it != journal.rend(); ++it)
    if (ReportMatches(report, *it))
      return &*it;
  return nullptr;
}
