// The interpreter's phonebook commands: AT+CPBS (choose the phonebook) and AT+CPBR
// (read entries), as 27.007 gives them.
#include "vphone/AtInterpreter.h"

#include "vphone/CommandText.h"

namespace vphone {

CAtInterpreter::CResult CAtInterpreter::OnCpbs(ECommandKind eKind, const std::string& strArgs) {
  std::vector<CArg> args;
  std::string strList;
  switch (eKind) {
    case eTest:
      for (const std::string& strName : m_phonebook.GetStorageNames())
        strList += (strList.empty() ? "\"" : ",\"") + strName + "\"";
      AddInfo("+CPBS: (" + strList + ")");
      return Ok();
    case eRead:
      AddInfo("+CPBS: \"" + m_strPhonebook + "\"," +
              std::to_string(m_phonebook.GetEntries(m_strPhonebook).size()) + "," +
              std::to_string(m_phonebook.GetCapacity(m_strPhonebook)));
      return Ok();
    case eSet:
      if (!SplitArgs(strArgs, args) || args.size() != 1 || !args[0].m_bQuoted)
        return Error();
      if (!m_phonebook.HasStorage(Upper(args[0].m_strText)))
        return Cme(3);
      m_strPhonebook = Upper(args[0].m_strText);
      return Ok();
    default:
      return Error();
  }
}

CAtInterpreter::CResult CAtInterpreter::OnCpbr(ECommandKind eKind, const std::string& strArgs) {
  std::vector<CArg> args;
  int nFirst = 0, nLast = 0;
  const int nCapacity = m_phonebook.GetCapacity(m_strPhonebook);
  switch (eKind) {
    case eTest:
      AddInfo("+CPBR: (1-" + std::to_string(nCapacity) + "),40,18");
      return Ok();
    case eSet:
      if (!SplitArgs(strArgs, args) || args.empty() || args.size() > 2 || !ToInt(args[0], nFirst))
        return Error();
      nLast = nFirst;
      if (args.size() == 2 && !ToInt(args[1], nLast))
        return Error();
      if (nFirst < 1 || nLast < nFirst || nLast > nCapacity)
        return Cme(21);  // invalid index
      for (const auto& [nIndex, entry] : m_phonebook.GetEntries(m_strPhonebook)) {
        if (nIndex < nFirst || nIndex > nLast)
          continue;
        AddInfo("+CPBR: " + std::to_string(nIndex) + ",\"" + entry.m_strNumber + "\"," +
                std::to_string(entry.m_nType) + ",\"" +
                CPhonebook::EncodeName(entry.m_strName, m_strCharset) + "\"");
      }
      return Ok();
    default:
      return Error();
  }
}

}  // namespace vphone
