#include "probe/host_info.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/utsname.h>

#include <cstdlib>
#include <cstring>

#include "base/settings.h"

namespace {

// hostName and hostAddress are 64-byte fields: 63 characters at most.
constexpr size_t kHostFieldMax = 63;

// The raw IPv4 address (network byte order) of the last successful name lookup; zero
// until one succeeds.
in_addr hostAddressWord{};

}  // namespace

int osKindFor(const std::string& sysname, const std::string& release) {
  if (sysname == "SunOS") {
    float number = static_cast<float>(strtod(release.c_str(), nullptr));
    return number >= 5.0f ? 1 : 2;
  }
  if (sysname == "Linux") return 6;
  if (sysname == "OSF1") return 7;
  if (sysname == "SCO_SV") return 9;
  if (sysname == "UnixWare") return 10;
  return 0;
}

int probeHostInfo() {
  settings.hostName.clear();
  settings.hostAddress.clear();

  utsname info;
  if (uname(&info) != 0) return 0;

  if (info.nodename[0] != '\0') {
    // A node name longer than the field is cut to it; the lookup uses the full name.
    settings.hostName = fitText(info.nodename, kHostFieldMax);
    if (hostent* entry = gethostbyname(info.nodename)) {
      if (entry->h_addr_list != nullptr && entry->h_addr_list[0] != nullptr) {
        size_t length = static_cast<size_t>(entry->h_length);
        memcpy(&hostAddressWord, entry->h_addr_list[0], length < sizeof hostAddressWord ? length : sizeof hostAddressWord);
      }
    }
    // A failed lookup leaves the word as it was (zero): the text is then 0.0.0.0.
    settings.hostAddress = fitText(inet_ntoa(hostAddressWord), kHostFieldMax);
  }

  return osKindFor(info.sysname, info.release);
}
