// Fuzz target: the settings-file reader on any bytes, and the writer on whatever it
// accepted. Reading never crashes; a refused text names a line within the text and a
// reason with a text; an accepted one, written and read again, gives the same
// contents, and the written text is a fixed point of the writer.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/RegistryFile.h"
#include "res/StringTable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CRegistryFile file;
  CRegistryFile::SError err;
  if (!file.Parse(text, err)) {
    if (!file.GetKeys().empty() || err.nLine < 1 || static_cast<size_t>(err.nLine) > size + 1 ||
        !HasString(err.nReasonID))
      std::abort();
    return 0;
  }
  for (const CRegistryFile::SKey& key : file.GetKeys()) {
    if (!CRegistryFile::IsValidKeyPath(key.strPath) || !file.KeyExists(key.strPath) ||
        file.FindKey(key.strPath) != &key)
      std::abort();
    for (const CRegistryFile::SValue& value : key.values)
      if (CRegistryFile::FindValue(key, value.strName) != &value)
        std::abort();
  }

  const std::string written = file.Write();
  CRegistryFile again;
  if (!again.Parse(written, err) || !(again == file))
    std::abort();
  if (again.Write() != written)
    std::abort();

  // Changes keep the contents writable and readable.
  if (CRegistryFile::SKey* pKey = again.CreateKey("SOFTWARE\\Kelvane\\Mireth\\Options")) {
    CRegistryFile::SetValue(*pKey, {"Baud Rate", CRegistryFile::EType::Number, "", 9600});
    CRegistryFile third;
    if (!third.Parse(again.Write(), err) || !(third == again))
      std::abort();
  }
  return 0;
}
