#include "vphone/Dialects.h"

namespace {

// The storage lists most USB sticks give: phone memory, MT, SIM, status reports.
const char kFourStorages[] =
    "+CPMS: (\"ME\",\"MT\",\"SM\",\"SR\"),(\"ME\",\"MT\",\"SM\",\"SR\"),(\"ME\",\"MT\",\"SM\",\"SR\")";

void Identity(CVirtualPhoneConfig& c, const char* pszMaker, const char* pszModel, const char* pszRevision) {
  c.m_strManufacturer = pszMaker;
  c.m_strModel = pszModel;
  c.m_strRevision = pszRevision;
}

void Plain(CVirtualPhoneConfig&) {}

// An old serial modem: SIM only, a nested storage list, two names in AT+CPMS and
// no fewer, +CPIN without OK, a leading blank in its answers, no revision.
void WavecomMultiband(CVirtualPhoneConfig& c) {
  Identity(c, " WAVECOM MODEM", " MULTIBAND  900E  1800", "");
  c.m_vecStorages = {"SM"};
  c.m_strCpmsTestReply = "+CPMS: ((\"SM\",\"BM\",\"SR\"),(\"SM\"))";
  c.m_nCpmsParameters = 2;
  c.m_nCpmsMinParameters = 2;
  c.m_bCpinWithoutOk = true;
  c.m_faults.m_vecCommandFaults.push_back({"AT+CGMR", "ERROR", -1});
}

// A USB stick: four storages in three lists, MT among them.
void HuaweiK3715(CVirtualPhoneConfig& c) {
  Identity(c, "huawei", "K3715", "11.104.05.00.00");
  c.m_strCpmsTestReply = kFourStorages;
  c.m_vecStorageAliases = {"SR=SM"};
  c.m_bMtStorage = true;
}

// A USB stick with its own word for an error and status codes in every gap.
void HuaweiE1752(CVirtualPhoneConfig& c) {
  Identity(c, "huawei", "E1752", "11.126.13.00.00");
  c.m_strCpmsTestReply = kFourStorages;
  c.m_vecStorageAliases = {"SR=SM"};
  c.m_bMtStorage = true;
  c.m_strErrorWord = "COMMAND NOT SUPPORT";
  c.m_faults.m_nUrcFlood = 2;
}

// A stick whose SIM is busy for the first commands after it starts.
void QualcommM6280(CVirtualPhoneConfig& c) {
  Identity(c, "QUALCOMM INCORPORATED", "M6280", "M6280_V1.0.0 M6280_V1.0.0 1 [Sep 4 2008 12:00:00]");
  c.m_strCpmsTestReply = kFourStorages;
  c.m_vecStorageAliases = {"SR=SM"};
  c.m_bMtStorage = true;
  c.m_faults.m_nSimBusyFor = 4;
}

// A stick that wants the PIN before anything of the SIM.
void ZteK3565(CVirtualPhoneConfig& c) {
  Identity(c, "ZTE INCORPORATED", "K3565-Z", "BD_P673A2V1.0.0B09");
  c.m_strCpmsTestReply = kFourStorages;
  c.m_vecStorageAliases = {"SR=SM"};
  c.m_bMtStorage = true;
  c.m_strPin = "1234";
}

// A smartphone as a modem: empty storage lists, no use counts, one storage name
// at a time, a revision over several lines.
void NokiaN79(CVirtualPhoneConfig& c) {
  Identity(c, "Nokia", "Nokia N79", "V ICPR72_08w44.1");
  c.m_strCpmsTestReply = "+CPMS: (),(),()";
  c.m_strCpmsReadReply = "+CPMS: ,,,,,,,,";
  c.m_nCpmsParameters = 1;
}

// A module that takes only the three-name form of AT+CPMS and no MT.
void ThreeNames(CVirtualPhoneConfig& c) {
  Identity(c, "Hiveton", "MT5700M", "21C20B560S000C000");
  c.m_strCpmsTestReply = "+CPMS: (\"SM\",\"ME\"),(\"SM\",\"ME\"),(\"SM\",\"ME\")";
  c.m_nCpmsMinParameters = 3;
}

// A feature phone whose SIM is read only through MT.
void MtOnlySim(CVirtualPhoneConfig& c) {
  Identity(c, "Kelvane", "FP-2", "FP2 R3");
  c.m_strCpmsTestReply = "+CPMS: (\"ME\",\"MT\"),(\"ME\",\"MT\"),(\"ME\",\"MT\")";
  c.m_bMtStorage = true;
  c.m_vecUnselectable = {"SM"};
}

// A phone that never answers a listing but reads each message by index.
void CmglHangs(CVirtualPhoneConfig& c) {
  Identity(c, "Kelvane", "FP-3", "FP3 R1");
  c.m_bCmglHangs = true;
}

// A SIM with a damaged record: one listing entry is not hexadecimal.
void CorruptEntry(CVirtualPhoneConfig& c) {
  Identity(c, "Kelvane", "FP-4", "FP4 R1");
  c.m_nCorruptEntry = 1;
}

// A modem that ends its lines with a carriage return alone.
void CrLineEnds(CVirtualPhoneConfig& c) {
  Identity(c, "SIEMENS", "MC35i", "REVISION 01.02");
  c.m_strLineEnd = "\r";
}

// A phone that keeps its errors in words whatever AT+CMEE says, and its echo on.
void VerboseEcho(CVirtualPhoneConfig& c) {
  Identity(c, "Sony Ericsson", "K750", "R1CA021");
  c.m_nCmee = 2;
  c.m_bCmeeFixed = true;
  c.m_faults.m_bRefuseEchoOff = true;
  c.m_bPrefixedInfo = true;
}

// A chipset that names its storages with a suffix.
void SuffixedNames(CVirtualPhoneConfig& c) {
  Identity(c, "Kelvane", "FP-5", "FP5 R2");
  c.m_strCpmsTestReply = "+CPMS: (\"ME_P\",\"SM_P\",\"SR\"),(\"ME_P\",\"SM_P\"),(\"SM_P\")";
  c.m_vecStorageAliases = {"ME_P=ME", "SM_P=SM", "SR=SM"};
}

}  // namespace

const std::vector<CVirtualPhoneDialect>& GetVirtualPhoneDialects() {
  static const std::vector<CVirtualPhoneDialect> dialects = {
      {"plain", "the virtual phone as it is: ME and SM, three storage lists", "", Plain},
      {"wavecom-multiband", "old serial modem: SIM only, nested lists, +CPIN without OK, two CPMS names", "",
       WavecomMultiband},
      {"huawei-k3715", "USB stick: ME, MT, SM and SR in three lists", "", HuaweiK3715},
      {"huawei-e1752", "USB stick: \"COMMAND NOT SUPPORT\" for ERROR, status codes in every gap", "",
       HuaweiE1752},
      {"qualcomm-m6280", "USB stick: SIM busy for the first commands", "", QualcommM6280},
      {"zte-k3565z", "USB stick: the SIM asks for its PIN (1234)", "1234", ZteK3565},
      {"nokia-n79", "phone as modem: empty storage lists, one CPMS name, no use counts", "", NokiaN79},
      {"mt5700-three-names", "module: only the three-name form of AT+CPMS", "", ThreeNames},
      {"mt-only-sim", "feature phone: the SIM is read only through MT", "", MtOnlySim},
      {"cmgl-hangs", "feature phone: AT+CMGL never answers, AT+CMGR does", "", CmglHangs},
      {"corrupt-entry", "a damaged SIM record: one listing entry is not hexadecimal", "", CorruptEntry},
      {"siemens-cr", "serial modem: lines end with a carriage return alone", "", CrLineEnds},
      {"sony-ericsson-verbose", "phone: echo stays on, errors in words, prefixed answers", "", VerboseEcho},
      {"suffixed-storages", "chipset: storages named ME_P and SM_P", "", SuffixedNames},
  };
  return dialects;
}

bool ApplyVirtualPhoneDialect(const std::string& strName, CVirtualPhoneConfig& config) {
  for (const CVirtualPhoneDialect& d : GetVirtualPhoneDialects()) {
    if (strName == d.m_pszName) {
      d.m_pfnApply(config);
      return true;
    }
  }
  return false;
}
