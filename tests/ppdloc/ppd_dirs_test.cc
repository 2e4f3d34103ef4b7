// The two pure decisions of the PPD directories: the survey over which trees exist, and
// the product's PPD directory over the survey's facts. How the facts are gathered on a
// host (a linked tree, a regular file in place of a tree), the survey's summary block
// and what is done with the decision are checked in a sandbox (model_links_test).
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "ppdloc/model_links.h"
#include "ppdloc/ppd_dirs.h"

namespace {

const std::string kModel = "/usr/share/cups/model", kPpd = "/usr/share/ppd";
const std::string kFoomatic = "/usr/share/foomatic/db/source/PPD";

// The directories that exist; the flags, model directory, proposal and existing product
// directory decided.
// clang-format off
const std::tuple<std::set<std::string>, int, std::string, std::string, std::string> kHosts[] = {
    {{}, 0x0, kModel, "", ""},
    {{kModel, kPpd, kPpd + "/cups-included", kPpd + "/openprinting", kPpd + "/openprinting/HP",
      kPpd + "/openprinting/Epson"}, 0x351, kModel, kPpd + "/openprinting/zed", ""},
    {{kPpd, kPpd + "/openprinting", kPpd + "/openprinting/zed", kFoomatic, kFoomatic + "/zed"},  // the later find wins
     0x2d3, kPpd, kPpd + "/zed", kFoomatic + "/zed"},
    // The maker directory turns "found" false again, but the text of the earlier find stays.
    {{kPpd, kPpd + "/openprinting", kPpd + "/openprinting/zed", kFoomatic, kFoomatic + "/Orvex"},
     0x257, kPpd, kPpd + "/zed", kPpd + "/openprinting/zed"},
    // The maker's zed is found before the one below /opt/share/ppd.
    {{kFoomatic, kFoomatic + "/Orvex", kFoomatic + "/Orvex/zed", "/opt/share/ppd", "/opt/share/ppd/zed"},
     0x66, kModel, kFoomatic + "/Orvex/zed", kFoomatic + "/Orvex/zed"},
    {{"/opt/share/ppd", "/opt/share/ppd/zed"}, 0x60, kModel, "", "/opt/share/ppd/zed"},
    {{kModel, kModel + "/custom", kModel + "/custom/zed"}, 0x9, kModel, kModel + "/custom/zed", kModel + "/custom/zed"},
    {{kPpd, kPpd + "/cups-included", kPpd + "/cups-included/zed", kPpd + "/openprinting"},
     0x351, kPpd, kPpd + "/zed", kPpd + "/cups-included/zed"},
};
// clang-format on

TEST(PpdDirectoryDiscovery, DecisionOverTheTreesThatExist) {
  for (const auto& [dirs, flags, model, proposal, found] : kHosts) {
    PpdLocations p = decidePpdLocations([&](const std::string& path) { return dirs.count(path) > 0; });
    EXPECT_EQ(std::tuple(p.flags, p.modelDir, p.proposal, p.existing), std::tuple(flags, model, proposal, found));
  }
}

constexpr int kUsr = USR_SHARE_PPD, kOpt = OPT_SHARE_PPD, kOpen = OPENPRINTING_DIR, kCustom = MODEL_CUSTOM_DIR;
using Links = std::vector<std::pair<std::string, std::string>>;
using A = PpdDirAction;

// Facts (existing, flags, CUPS version, proposal, model directory, recorded links), the
// directory and what is done with it.
// clang-format off
const std::tuple<PpdDirFacts, std::string, PpdDirAction> kDecisions[] = {
    {{kPpd + "/zed", kUsr, 1200, "", kModel, {}}, kPpd + "/zed", A::Reuse},  // reuses what was found
    {{"", kUsr | kOpen, 2200, kPpd + "/zed", kModel, {}}, kPpd + "/openprinting/zed", A::Settle},
    {{"", kUsr | kCustom, 2200, "/usr/share/x/zed", kModel, {}}, "/usr/share/x/zed", A::Settle},  // keeps the proposal
    {{"", kUsr | kOpt, 2200, "/usr/opt/x", kModel, {}}, "/usr/opt/ppd/zed", A::Settle},
    {{"", kOpt, 2200, "/usr/opt/x", kModel, {}}, "/opt/share/ppd/zed", A::Settle},
    {{"", kOpt, 2200, "", kModel, {}}, "/usr/opt/ppd/zed", A::Settle},
    {{"", 0, 2200, "", kModel, {}}, kModel + "/zed", A::Settle},  // no shared tree
    {{"", kUsr, 1200, "", kModel, {}}, kPpd + "/zed", A::LinkIntoModelDir},  // older CUPS from here on
    {{"", 0, 1200, "", kModel, {}}, kModel + "/zed", A::Name},
    {{"", kUsr, 1200, "", kModel, Links{{kModel + "/vendor-ppds", kPpd + "/vendor"}}}, kModel + "/zed", A::Settle},  // no match
    {{"", kUsr, 1200, "", kPpd, Links{{kPpd + "/plixppd", kPpd + "/vendor/zed"}}}, kPpd + "/vendor/zed", A::Settle},
    {{"", kUsr, 1200, "", kPpd, Links{{kPpd + "/plix", kPpd + "/" + std::string(240, 'a')}}}, kPpd + "/zed", A::Settle},  // too long
};
// clang-format on

TEST(PpdInstallDirectory, DecisionOverFlagsVersionProposalAndRecordedLinks) {
  for (const auto& [facts, dir, action] : kDecisions) {
    PpdDirChoice got = decidePpdInstallDir(facts);
    EXPECT_TRUE(got.dir == dir && got.action == action) << dir << ": " << got.dir;
  }
}

}  // namespace
