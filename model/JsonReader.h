// A reader of one JSON text held in memory, value by value. No tree is built: the
// caller asks for each value as it comes (a string into its own text, a number as
// its text, an object member by member) or has it checked and dropped.
//
// The reading stops at the first syntax error; Error() then gives its reason and the
// offset where it was met ("member name expected at offset 7"). Nesting deeper than
// kMaxDepth is refused. A member name given twice in one object is refused by the
// caller, which knows the names it has met (see CJsonNameList).
//
// Strings are decoded: escapes become their characters (UTF-8), a \udcXX escape
// becomes the single byte XX (how the writers keep bytes outside UTF-8), and other
// bytes are taken as they are. A control character in a string and an unpaired
// surrogate are errors.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class CJsonReader {
 public:
  enum Kind { invalid, null, boolean, number, string, object, array };
  static constexpr int kMaxDepth = 32;

  explicit CJsonReader(std::string_view text) : m_text(text) {}

  // The kind of the value that starts after any blanks, nDepth levels down (the
  // document is at 0). invalid, with the error set, when none can start there.
  Kind PeekValue(int nDepth);

  // Each of these reads the value PeekValue has just found, of the kind it gave.
  bool ReadString(std::string& out);
  // The same, as a view of the document when the string holds no escape (nothing
  // is copied), else decoded into strScratch and viewing it.
  bool ReadString(std::string_view& text, std::string& strScratch);
  bool ReadNumber(std::string_view& text);  // the number's own text
  bool ReadBoolean(bool& b);
  bool ReadNull();
  // Checks and drops a value of any kind (PeekValue first, or not: both work).
  bool SkipValue(int nDepth);

  // The members of an object PeekValue has just found: BeginObject takes its '{';
  // each NextMember then reads the next name (decoded into strScratch when it holds
  // an escape; name views the text otherwise) and returns true; false at the end of
  // the object or on an error (Failed tells). After a name the caller checks it and
  // calls Colon, then reads or skips the member's value.
  void BeginObject(bool& bFirst);
  bool NextMember(bool& bFirst, std::string_view& name, std::string& strScratch);
  bool Colon();

  // True when only blanks are left; fails "unexpected text after the value" otherwise.
  bool AtEnd();

  bool Failed() const { return !m_strError.empty(); }
  // The first error: its reason and its offset.
  std::string Error() const;
  // Sets the error (when none is set yet) at the current offset; returns false.
  bool Fail(const char* pszReason);

 private:
  void SkipSpace() {
    // Most often there is none: anything above the blank ends it at once.
    while (
        m_nPos < m_text.size() && static_cast<unsigned char>(m_text[m_nPos]) <= ' ' &&
        (m_text[m_nPos] == ' ' || m_text[m_nPos] == '\t' || m_text[m_nPos] == '\r' || m_text[m_nPos] == '\n'))
      ++m_nPos;
  }
  bool Literal(std::string_view word);
  bool ReadHex4(unsigned int& n);
  bool ReadEscape(std::string& out);
  bool SkipObject(int nDepth);
  bool SkipArray(int nDepth);

  std::string_view m_text;
  size_t m_nPos = 0;
  size_t m_nErrorPos = 0;  // where the first error was met
  std::string m_strError;
};

// The names met in one object, to refuse one given twice.
class CJsonNameList {
 public:
  // False, with the reader's error set, when the name was met before.
  bool Add(CJsonReader& reader, std::string_view name);

 private:
  std::vector<std::string> m_names;
};
