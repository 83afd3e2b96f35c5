#include "tethra/AtErrorCodes.h"

#include <algorithm>
#include <iterator>

namespace {

struct CMeaning {
  int nCode;
  const char* pszText;
};

// 3GPP TS 27.007, 9.2.1 and 9.2.2 (general and GPRS errors).
const CMeaning kCme[] = {
    {0, "phone failure"},
    {1, "no connection to phone"},
    {2, "phone-adaptor link reserved"},
    {3, "operation not allowed"},
    {4, "operation not supported"},
    {5, "PH-SIM PIN required"},
    {6, "PH-FSIM PIN required"},
    {7, "PH-FSIM PUK required"},
    {10, "SIM not inserted"},
    {11, "SIM PIN required"},
    {12, "SIM PUK required"},
    {13, "SIM failure"},
    {14, "SIM busy"},
    {15, "SIM wrong"},
    {16, "incorrect password"},
    {17, "SIM PIN2 required"},
    {18, "SIM PUK2 required"},
    {20, "memory full"},
    {21, "invalid index"},
    {22, "not found"},
    {23, "memory failure"},
    {24, "text string too long"},
    {25, "invalid characters in text string"},
    {26, "dial string too long"},
    {27, "invalid characters in dial string"},
    {30, "no network service"},
    {31, "network timeout"},
    {32, "network not allowed - emergency calls only"},
    {40, "network personalization PIN required"},
    {41, "network personalization PUK required"},
    {42, "network subset personalization PIN required"},
    {43, "network subset personalization PUK required"},
    {44, "service provider personalization PIN required"},
    {45, "service provider personalization PUK required"},
    {46, "corporate personalization PIN required"},
    {47, "corporate personalization PUK required"},
    {100, "unknown"},
    {103, "illegal MS"},
    {106, "illegal ME"},
    {107, "GPRS services not allowed"},
    {111, "PLMN not allowed"},
    {112, "location area not allowed"},
    {113, "roaming not allowed in this location area"},
    {132, "service option not supported"},
    {133, "requested service option not subscribed"},
    {134, "service option temporarily out of order"},
    {148, "unspecified GPRS error"},
    {149, "PDP authentication failure"},
    {150, "invalid mobile class"},
};

// 3GPP TS 27.005, 3.2.5; 0 to 127 are TS 24.011 causes and 128 to 255 TS 23.040
// failure causes, given by range.
const CMeaning kCms[] = {
    {1, "unassigned (unallocated) number"},
    {8, "operator determined barring"},
    {10, "call barred"},
    {21, "short message transfer rejected"},
    {27, "destination out of service"},
    {28, "unidentified subscriber"},
    {29, "facility rejected"},
    {30, "unknown subscriber"},
    {38, "network out of order"},
    {41, "temporary failure"},
    {42, "congestion"},
    {47, "resources unavailable, unspecified"},
    {50, "requested facility not subscribed"},
    {69, "requested facility not implemented"},
    {81, "invalid short message transfer reference value"},
    {95, "invalid message, unspecified"},
    {96, "invalid mandatory information"},
    {97, "message type non-existent or not implemented"},
    {98, "message not compatible with short message protocol state"},
    {99, "information element non-existent or not implemented"},
    {111, "protocol error, unspecified"},
    {127, "interworking, unspecified"},
    {128, "telematic interworking not supported"},
    {129, "short message type 0 not supported"},
    {130, "cannot replace short message"},
    {143, "unspecified TP-PID error"},
    {144, "data coding scheme (alphabet) not supported"},
    {145, "message class not supported"},
    {159, "unspecified TP-DCS error"},
    {160, "command cannot be actioned"},
    {161, "command unsupported"},
    {175, "unspecified TP-Command error"},
    {176, "TPDU not supported"},
    {192, "SC busy"},
    {193, "no SC subscription"},
    {194, "SC system failure"},
    {195, "invalid SME address"},
    {196, "destination SME barred"},
    {197, "SM rejected-duplicate SM"},
    {198, "TP-VPF not supported"},
    {199, "TP-VP not supported"},
    {208, "D0 SIM SMS storage full"},
    {209, "no SMS storage capability in SIM"},
    {210, "error in MS"},
    {211, "memory capacity exceeded"},
    {212, "SIM application toolkit busy"},
    {213, "SIM data download error"},
    {255, "unspecified error cause"},
    {300, "ME failure"},
    {301, "SMS service of ME reserved"},
    {302, "operation not allowed"},
    {303, "operation not supported"},
    {304, "invalid PDU mode parameter"},
    {305, "invalid text mode parameter"},
    {310, "SIM not inserted"},
    {311, "SIM PIN required"},
    {312, "PH-SIM PIN required"},
    {313, "SIM failure"},
    {314, "SIM busy"},
    {315, "SIM wrong"},
    {316, "SIM PUK required"},
    {317, "SIM PIN2 required"},
    {318, "SIM PUK2 required"},
    {320, "memory failure"},
    {321, "invalid memory index"},
    {322, "memory full"},
    {330, "SMSC address unknown"},
    {331, "no network service"},
    {332, "network timeout"},
    {340, "no +CNMA acknowledgement expected"},
    {500, "unknown error"},
};

const char* Find(const CMeaning* pBegin, const CMeaning* pEnd, int nCode) {
  const CMeaning* p = std::find_if(pBegin, pEnd, [nCode](const CMeaning& m) { return m.nCode == nCode; });
  return p == pEnd ? nullptr : p->pszText;
}

bool OneOf(int nCode, std::initializer_list<int> codes) {
  return std::find(codes.begin(), codes.end(), nCode) != codes.end();
}

}  // namespace

bool AtCmeMeansSimNotReady(int nCode) {
  return OneOf(nCode, {CME_PH_SIM_PIN_REQUIRED, CME_SIM_NOT_INSERTED, CME_SIM_PIN_REQUIRED,
                       CME_SIM_PUK_REQUIRED, CME_SIM_FAILURE, CME_SIM_WRONG, CME_INCORRECT_PASSWORD,
                       CME_SIM_PIN2_REQUIRED, CME_SIM_PUK2_REQUIRED});
}

bool AtCmsMeansSimNotReady(int nCode) {
  return OneOf(nCode, {CMS_SIM_NOT_INSERTED, CMS_SIM_PIN_REQUIRED, CMS_PH_SIM_PIN_REQUIRED, CMS_SIM_FAILURE,
                       CMS_SIM_WRONG, CMS_SIM_PUK_REQUIRED, CMS_SIM_PIN2_REQUIRED, CMS_SIM_PUK2_REQUIRED});
}

bool AtCmeMeansPinWanted(int nCode) {
  return OneOf(nCode,
               {CME_PH_SIM_PIN_REQUIRED, CME_SIM_PIN_REQUIRED, CME_SIM_PUK_REQUIRED, CME_INCORRECT_PASSWORD});
}

bool AtCmsMeansPinWanted(int nCode) {
  return OneOf(nCode, {CMS_SIM_PIN_REQUIRED, CMS_PH_SIM_PIN_REQUIRED, CMS_SIM_PUK_REQUIRED});
}

std::string AtCmeMeaning(int nCode) {
  if (const char* psz = Find(std::begin(kCme), std::end(kCme), nCode))
    return psz;
  if (nCode == CME_DEVICE_BUSY)
    return "device busy (manufacturer specific)";
  return nCode >= 256 ? "manufacturer specific" : "unknown";
}

std::string AtCmsMeaning(int nCode) {
  if (const char* psz = Find(std::begin(kCms), std::end(kCms), nCode))
    return psz;
  if (nCode == CMS_DEVICE_BUSY)
    return "device busy (manufacturer specific)";
  if (nCode >= 0 && nCode <= 127)
    return "network cause " + std::to_string(nCode);
  if (nCode >= 128 && nCode <= 255)
    return "transfer failure cause " + std::to_string(nCode);
  if (nCode >= 512)
    return "manufacturer specific";
  return "reserved";
}
