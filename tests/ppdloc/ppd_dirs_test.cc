// The survey of PPD trees: its decision over which directories exist. How the facts are
// gathered on a host (a linked tree, regular files in place of trees) and the summary
// block it logs are checked with the settling of the PPD directory (model_links_test).
#include <set>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "ppdloc/ppd_dirs.h"

namespace {

const std::string kModel = "/usr/share/cups/model";
const std::string kPpd = "/usr/share/ppd";
const std::string kFoomatic = "/usr/share/foomatic/db/source/PPD";

struct Host {
  const char* name;
  std::set<std::string> dirs;
  int flags;
  std::string model, proposal, existing;
};

// clang-format off
const Host kHosts[] = {
    {"none", {}, 0x0, kModel, "", ""},
    {"openprinting_hp_epson", {kModel, kPpd, kPpd + "/cups-included", kPpd + "/openprinting",
      kPpd + "/openprinting/HP", kPpd + "/openprinting/Epson"}, 0x351, kModel, kPpd + "/openprinting/zed", ""},
    {"later_find_wins", {kPpd, kPpd + "/openprinting", kPpd + "/openprinting/zed", kFoomatic, kFoomatic + "/zed"},
     0x2d3, kPpd, kPpd + "/zed", kFoomatic + "/zed"},
    // The maker directory turns "found" false again, but the text of the earlier find stays.
    {"maker_dir_clears_found", {kPpd, kPpd + "/openprinting", kPpd + "/openprinting/zed", kFoomatic,
      kFoomatic + "/Orvex"}, 0x257, kPpd, kPpd + "/zed", kPpd + "/openprinting/zed"},
    {"maker_zed_beats_opt_share", {kFoomatic, kFoomatic + "/Orvex", kFoomatic + "/Orvex/zed", "/opt/share/ppd",
      "/opt/share/ppd/zed"}, 0x66, kModel, kFoomatic + "/Orvex/zed", kFoomatic + "/Orvex/zed"},
    {"opt_share_zed", {"/opt/share/ppd", "/opt/share/ppd/zed"}, 0x60, kModel, "", "/opt/share/ppd/zed"},
    {"model_custom_zed", {kModel, kModel + "/custom", kModel + "/custom/zed"}, 0x9, kModel, kModel + "/custom/zed",
     kModel + "/custom/zed"},
    {"cups_included_zed", {kPpd, kPpd + "/cups-included", kPpd + "/cups-included/zed", kPpd + "/openprinting"},
     0x351, kPpd, kPpd + "/zed", kPpd + "/cups-included/zed"},
};
// clang-format on

TEST(PpdDirectoryDiscovery, DecisionOverTheTreesThatExist) {
  for (const Host& host : kHosts) {
    PpdLocations got = decidePpdLocations([&](const std::string& path) { return host.dirs.count(path) > 0; });
    EXPECT_EQ(std::tuple(got.flags, got.modelDir, got.proposal, got.existing),
              std::tuple(host.flags, host.model, host.proposal, host.existing))
        << host.name;
  }
}

}  // namespace
