// Store-file bytes of any kind, read as a message list and as an address list. The
// reader must never crash or keep an empty entry; a list it accepts must write back
// to bytes that read to the same records, and writing those again must give the same
// bytes. Each record must also survive its JSON line form.
//
// Its mutator keeps the framing: it reads the bytes as a record count and records
// (class tag, then the fields of a message or an address), changes a record, a
// field or the way a count, a text length or a tag is written (short and escaped
// forms, UTF-16 texts, class references by number, a wrong schema or class), and
// writes the file again with what follows agreeing with what was changed.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "fuzz/ShapeMutator.h"
#include "model/RecordJson.h"
#include "model/RecordList.h"

namespace {

template <class List>
void Check(const uint8_t* data, size_t size, StoreRecordClass expected) {
  List list;
  CStoreResult result = ReadRecordBytes(data, size, list);
  for (const auto& p : list)
    if (!p)
      std::abort();
  for (const auto& p : list) {
    typename List::value_type::element_type back;
    std::string strError;
    if (!RecordFromJson(RecordToJson(*p), back, strError) || !IsSameRecord(*p, back))
      std::abort();
  }
  if (!result.IsOk())
    return;
  if (!list.empty() && DetectRecordClass(data, size) != expected)
    std::abort();
  std::string bytes;
  if (!WriteRecordBytes(list, bytes).IsOk())
    std::abort();
  List again;
  if (!ReadRecordBytes(bytes.data(), bytes.size(), again).IsOk() || again.size() != list.size())
    std::abort();
  for (size_t i = 0; i < list.size(); ++i)
    if (!IsSameRecord(*list[i], *again[i]))
      std::abort();
  std::string bytes2;
  if (!WriteRecordBytes(again, bytes2).IsOk() || bytes2 != bytes)
    std::abort();
}

// A field of a record as the file holds it.
enum class FieldKind { Text, Int32, Byte, Word, DateTime };

// The fields of each record class in file order.
constexpr FieldKind kMessageFields[] = {
    FieldKind::Text,     FieldKind::Text,  FieldKind::Text, FieldKind::Int32,
    FieldKind::Int32,    FieldKind::Int32, FieldKind::Byte, FieldKind::Text,
    FieldKind::DateTime, FieldKind::Text,  FieldKind::Text, FieldKind::Int32,
    FieldKind::Word,     FieldKind::Int32, FieldKind::Text, FieldKind::Text};
constexpr FieldKind kAddressFields[] = {FieldKind::Text, FieldKind::Text};

// How a text's length is written: as short as it goes, escaped to 16 or 32 bits
// when it would not need to be, or as UTF-16 behind the wide mark.
enum class LengthForm { Short, Word, Dword, Wide };

struct CField {
  FieldKind kind = FieldKind::Text;
  std::vector<uint8_t> text;  // bytes of a text (UTF-8; written as UTF-16 in the wide form)
  LengthForm form = LengthForm::Short;
  uint32_t nNumber = 0;  // an integer field, or a date-time's status
  double dValue = 0;     // a date-time's value (days since 30 Dec 1899)
};

struct CRecordShape {
  bool bAddress = false;
  std::vector<CField> fields;
  // How the class tag is written: the class itself (first record of the class), a
  // reference by number, the 32-bit reference form, or wrong: a schema, a name or a
  // number that does not fit.
  enum class Tag { Usual, BigReference, WrongSchema, WrongName, WrongNumber } tag = Tag::Usual;
};

struct CArchiveShape {
  std::vector<CRecordShape> records;
  int nCountLie = 0;           // added to the record count written
  bool bEscapedCount = false;  // the count as FFFF and 32 bits
  std::vector<uint8_t> tail;   // bytes after the last record
};

const FieldKind* FieldsOf(bool bAddress, size_t& nFields) {
  nFields = bAddress ? std::size(kAddressFields) : std::size(kMessageFields);
  return bAddress ? kAddressFields : kMessageFields;
}

CRecordShape EmptyRecord(bool bAddress) {
  CRecordShape r;
  r.bAddress = bAddress;
  size_t nFields = 0;
  const FieldKind* pKinds = FieldsOf(bAddress, nFields);
  for (size_t i = 0; i < nFields; ++i) {
    r.fields.emplace_back();
    r.fields.back().kind = pKinds[i];
  }
  return r;
}

class CByteReader {
 public:
  CByteReader(const uint8_t* pData, size_t nSize) : m_pData(pData), m_nSize(nSize) {}
  template <class T>
  bool Take(T& value) {
    if (m_nSize - m_nAt < sizeof(T))
      return false;
    std::memcpy(&value, m_pData + m_nAt, sizeof(T));
    m_nAt += sizeof(T);
    return true;
  }
  bool Take(size_t nCount, std::vector<uint8_t>& out) {
    if (m_nSize - m_nAt < nCount)
      return false;
    out.assign(m_pData + m_nAt, m_pData + m_nAt + nCount);
    m_nAt += nCount;
    return true;
  }
  std::vector<uint8_t> Rest() const { return std::vector<uint8_t>(m_pData + m_nAt, m_pData + m_nSize); }

 private:
  const uint8_t* m_pData;
  size_t m_nSize;
  size_t m_nAt = 0;
};

bool ReadText(CByteReader& r, CField& f) {
  uint8_t nShort = 0;
  if (!r.Take(nShort))
    return false;
  size_t nLength = nShort;
  f.form = LengthForm::Short;
  if (nShort == 0xFF) {
    uint16_t nWord = 0;
    if (!r.Take(nWord))
      return false;
    nLength = nWord;
    f.form = LengthForm::Word;
    if (nWord == 0xFFFE) {  // UTF-16: keep the low bytes of the units as the text
      std::vector<uint8_t> units;
      uint8_t nUnits = 0;
      if (!r.Take(nUnits) || nUnits == 0xFF || !r.Take(size_t(nUnits) * 2, units))
        return false;
      f.form = LengthForm::Wide;
      f.text.clear();
      for (size_t i = 0; i < units.size(); i += 2)
        f.text.push_back(units[i]);
      return true;
    }
    if (nWord == 0xFFFF) {
      uint32_t nDword = 0;
      if (!r.Take(nDword))
        return false;
      nLength = nDword;
      f.form = LengthForm::Dword;
    }
  }
  return r.Take(nLength, f.text);
}

bool ReadField(CByteReader& r, CField& f) {
  switch (f.kind) {
    case FieldKind::Text:
      return ReadText(r, f);
    case FieldKind::Int32:
      return r.Take(f.nNumber);
    case FieldKind::Byte: {
      uint8_t n = 0;
      const bool bOk = r.Take(n);
      f.nNumber = n;
      return bOk;
    }
    case FieldKind::Word: {
      uint16_t n = 0;
      const bool bOk = r.Take(n);
      f.nNumber = n;
      return bOk;
    }
    case FieldKind::DateTime:
      return r.Take(f.nNumber) && r.Take(f.dValue);
  }
  return false;
}

// Reads as many whole records as the bytes hold (classes by name or reference).
void ReadArchiveShape(const uint8_t* pData, size_t nSize, CArchiveShape& shape) {
  CByteReader r(pData, nSize);
  uint16_t nCount16 = 0;
  uint32_t nCount = 0;
  if (!r.Take(nCount16))
    return;
  nCount = nCount16;
  if (nCount16 == 0xFFFF && !r.Take(nCount))
    return;
  std::vector<bool> classes;  // by number in the file: an address class?
  for (uint32_t i = 0; i < nCount && i < 64; ++i) {
    uint16_t nTag = 0;
    if (!r.Take(nTag))
      return;
    bool bAddress = false;
    if (nTag == 0xFFFF) {
      uint16_t nSchema = 0, nLength = 0;
      std::vector<uint8_t> name;
      if (!r.Take(nSchema) || !r.Take(nLength) || !r.Take(nLength, name))
        return;
      bAddress = std::string(name.begin(), name.end()) == "CAddress";
    } else if (!classes.empty()) {
      bAddress = classes.back();
    }
    CRecordShape record = EmptyRecord(bAddress);
    for (CField& f : record.fields)
      if (!ReadField(r, f))
        return;
    classes.push_back(bAddress);
    shape.records.push_back(std::move(record));
  }
  shape.tail = r.Rest();
}

template <class T>
void Put(std::vector<uint8_t>& out, T value) {
  uint8_t bytes[sizeof(T)];
  std::memcpy(bytes, &value, sizeof(T));
  out.insert(out.end(), bytes, bytes + sizeof(T));
}

void WriteText(std::vector<uint8_t>& out, const CField& f) {
  const size_t n = f.text.size();
  LengthForm form = f.form;
  if (form == LengthForm::Short && n >= 0xFF)
    form = LengthForm::Word;
  if (form == LengthForm::Word && n >= 0xFFFE)
    form = LengthForm::Dword;
  if (form == LengthForm::Wide && n >= 0xFF)
    form = LengthForm::Word;
  switch (form) {
    case LengthForm::Short:
      Put<uint8_t>(out, static_cast<uint8_t>(n));
      break;
    case LengthForm::Word:
      Put<uint8_t>(out, 0xFF);
      Put<uint16_t>(out, static_cast<uint16_t>(n));
      break;
    case LengthForm::Dword:
      Put<uint8_t>(out, 0xFF);
      Put<uint16_t>(out, 0xFFFF);
      Put<uint32_t>(out, static_cast<uint32_t>(n));
      break;
    case LengthForm::Wide:
      Put<uint8_t>(out, 0xFF);
      Put<uint16_t>(out, 0xFFFE);
      Put<uint8_t>(out, static_cast<uint8_t>(n));
      for (uint8_t c : f.text) {  // Latin-1 as UTF-16, and now and then a surrogate half
        out.push_back(c);
        out.push_back(c == 0x7F ? 0xD8 : 0x00);
      }
      return;
  }
  out.insert(out.end(), f.text.begin(), f.text.end());
}

void WriteField(std::vector<uint8_t>& out, const CField& f) {
  switch (f.kind) {
    case FieldKind::Text:
      WriteText(out, f);
      break;
    case FieldKind::Int32:
      Put<uint32_t>(out, f.nNumber);
      break;
    case FieldKind::Byte:
      Put<uint8_t>(out, static_cast<uint8_t>(f.nNumber));
      break;
    case FieldKind::Word:
      Put<uint16_t>(out, static_cast<uint16_t>(f.nNumber));
      break;
    case FieldKind::DateTime:
      Put<uint32_t>(out, f.nNumber);
      Put<double>(out, f.dValue);
      break;
  }
}

// Writes the class tags as the archive numbers them: the map count starts at 1, a
// new class takes the next number and so does every record.
std::vector<uint8_t> WriteArchiveShape(const CArchiveShape& shape) {
  std::vector<uint8_t> out;
  const int64_t nCount = std::max<int64_t>(0, static_cast<int64_t>(shape.records.size()) + shape.nCountLie);
  if (shape.bEscapedCount || nCount >= 0xFFFF) {
    Put<uint16_t>(out, 0xFFFF);
    Put<uint32_t>(out, static_cast<uint32_t>(nCount));
  } else {
    Put<uint16_t>(out, static_cast<uint16_t>(nCount));
  }
  uint32_t nMapCount = 1;
  uint32_t nMessageClass = 0, nAddressClass = 0;
  for (const CRecordShape& r : shape.records) {
    uint32_t& nClass = r.bAddress ? nAddressClass : nMessageClass;
    const char* pszName = r.bAddress ? "CAddress" : "CMessage";
    if (nClass == 0 || r.tag == CRecordShape::Tag::WrongSchema || r.tag == CRecordShape::Tag::WrongName) {
      const std::string strName =
          r.tag == CRecordShape::Tag::WrongName ? std::string(pszName, 7) + "x" : pszName;
      Put<uint16_t>(out, 0xFFFF);
      Put<uint16_t>(out, r.tag == CRecordShape::Tag::WrongSchema ? 2 : 1);
      Put<uint16_t>(out, static_cast<uint16_t>(strName.size()));
      out.insert(out.end(), strName.begin(), strName.end());
      if (nClass == 0)
        nClass = nMapCount;
      ++nMapCount;
    } else if (r.tag == CRecordShape::Tag::BigReference) {
      Put<uint16_t>(out, 0x7FFF);
      Put<uint32_t>(out, 0x80000000u | nClass);
    } else {
      Put<uint16_t>(out, static_cast<uint16_t>(
                             0x8000 | (r.tag == CRecordShape::Tag::WrongNumber ? nMapCount : nClass)));
    }
    ++nMapCount;
    for (const CField& f : r.fields)
      WriteField(out, f);
  }
  out.insert(out.end(), shape.tail.begin(), shape.tail.end());
  return out;
}

void MutateNumber(CField& f, CShapeRandom& random) {
  static const uint32_t values[] = {0,    1,    2,     3,      4,          5,           7,          0x7F,
                                    0x80, 0xFF, 0x100, 0xFFFF, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu};
  f.nNumber = random.OneIn(3)
                  ? (static_cast<uint32_t>(random.Octet()) << 24 | random.Octet() << 8 | random.Octet())
                  : random.Pick(values);
}

// A date-time: its status (valid, invalid, null, none of them) and a value of the
// calendar's edges, beyond them, or not a number.
void MutateDateTime(CField& f, CShapeRandom& random) {
  static const double values[] = {0.0,
                                  1.0,
                                  -1.0,
                                  0.5,
                                  -0.5,
                                  46000.25,
                                  2958465.99999,
                                  2958466.,
                                  -657434.0,
                                  -657435.,
                                  1e300,
                                  -1e300,
                                  1e-300,
                                  std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::quiet_NaN()};
  if (random.OneIn(2))
    f.nNumber = random.OneIn(4) ? random.Octet() : static_cast<uint32_t>(random.Below(3));
  else
    f.dValue =
        random.Pick(values) + (random.OneIn(3) ? static_cast<double>(random.Below(100000)) / 7.0 : 0.0);
}

void MutateText(CField& f, CShapeRandom& random) {
  switch (random.Below(5)) {
    case 0: {
      static const LengthForm forms[] = {LengthForm::Short, LengthForm::Word, LengthForm::Dword,
                                         LengthForm::Wide};
      f.form = random.Pick(forms);
      break;
    }
    case 1:  // long enough for the escaped length
      f.text.resize(0xFF + random.Below(64), static_cast<uint8_t>('a' + random.Below(26)));
      break;
    default:
      MutateLeaf(f.text, random.OneIn(8) ? 600 : 80, random);
      break;
  }
}

void MutateRecordField(CRecordShape& r, CShapeRandom& random) {
  CField& f = r.fields[random.Below(r.fields.size())];
  switch (f.kind) {
    case FieldKind::Text:
      MutateText(f, random);
      break;
    case FieldKind::DateTime:
      MutateDateTime(f, random);
      break;
    default:
      MutateNumber(f, random);
      break;
  }
}

void MutateShape(CArchiveShape& shape, CShapeRandom& random) {
  const bool bAddress = !shape.records.empty() ? shape.records[0].bAddress : random.OneIn(2);
  switch (random.Below(10)) {
    case 0:  // a record more: empty, or a copy of one
      if (shape.records.size() < 64)
        shape.records.insert(shape.records.begin() + random.Below(shape.records.size() + 1),
                             shape.records.empty() || random.OneIn(2)
                                 ? EmptyRecord(random.OneIn(16) ? !bAddress : bAddress)
                                 : shape.records[random.Below(shape.records.size())]);
      break;
    case 1:
      if (!shape.records.empty())
        shape.records.erase(shape.records.begin() + random.Below(shape.records.size()));
      break;
    case 2: {
      shape.nCountLie = random.OneIn(2) ? 0 : static_cast<int>(random.Below(5)) - 2;
      shape.bEscapedCount = random.OneIn(4);
      break;
    }
    case 3:
      if (!shape.records.empty()) {
        static const CRecordShape::Tag tags[] = {CRecordShape::Tag::Usual, CRecordShape::Tag::BigReference,
                                                 CRecordShape::Tag::WrongSchema, CRecordShape::Tag::WrongName,
                                                 CRecordShape::Tag::WrongNumber};
        shape.records[random.Below(shape.records.size())].tag = random.OneIn(2) ? tags[0] : random.Pick(tags);
      }
      break;
    case 4:
      if (random.OneIn(2))
        shape.tail.clear();
      else
        MutateLeaf(shape.tail, 16, random);
      break;
    default:
      if (shape.records.empty())
        shape.records.push_back(EmptyRecord(bAddress));
      MutateRecordField(shape.records[random.Below(shape.records.size())], random);
      break;
  }
}

}  // namespace

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* pData, size_t nSize, size_t nMaxSize, unsigned nSeed) {
  CShapeRandom random(nSeed);
  if (ShapeMutationOff() || random.OneIn(10))
    return LLVMFuzzerMutate(pData, nSize, nMaxSize);  // bytes without regard to the framing, too
  CArchiveShape shape;
  ReadArchiveShape(pData, nSize, shape);
  for (size_t n = 1 + random.Below(3); n > 0; --n)
    MutateShape(shape, random);
  std::vector<uint8_t> out = WriteArchiveShape(shape);
  if (random.OneIn(20) && !out.empty())
    out.resize(random.Below(out.size()));  // cut short
  if (out.size() > nMaxSize)
    return LLVMFuzzerMutate(pData, nSize, nMaxSize);
  std::copy(out.begin(), out.end(), pData);
  return out.size();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Check<CMessageArray>(data, size, StoreRecordClass::message);
  Check<CAddressArray>(data, size, StoreRecordClass::address);
  return 0;
}
