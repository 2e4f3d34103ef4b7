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

const std::string kModel = "/usr/share/cups/model", kPpd = "/usr/share/ppd", kIncluded = kPpd + "/cups-included";
const std::string kOpenTree = kPpd + "/openprinting", kOptPpd = "/opt/share/ppd";
const std::string kFoomatic = "/usr/share/foomatic/db/source/PPD", kOrvex = kFoomatic + "/Orvex";

// The directories that exist; the flags, model directory, proposal and existing product
// directory decided.
// clang-format off
const std::tuple<std::set<std::string>, int, std::string, std::string, std::string> kHosts[] = {
    {{kModel, kPpd, kIncluded, kOpenTree, kOpenTree + "/HP", kOpenTree + "/Epson"}, 0x351, kModel, kOpenTree + "/zed", ""},
    // The later find wins.
    {{kPpd, kOpenTree, kOpenTree + "/zed", kFoomatic, kFoomatic + "/zed"}, 0x2d3, kPpd, kPpd + "/zed", kFoomatic + "/zed"},
    // The maker directory turns "found" false again, but the text of the earlier find stays.
    {{kPpd, kOpenTree, kOpenTree + "/zed", kFoomatic, kOrvex}, 0x257, kPpd, kPpd + "/zed", kOpenTree + "/zed"},
    // The maker's zed is found before the one below /opt/share/ppd.
    {{kFoomatic, kOrvex, kOrvex + "/zed", kOptPpd, kOptPpd + "/zed"}, 0x66, kModel, kOrvex + "/zed", kOrvex + "/zed"},
    {{kOptPpd, kOptPpd + "/zed"}, 0x60, kModel, "", kOptPpd + "/zed"},
    {{kModel, kModel + "/custom", kModel + "/custom/zed"}, 0x9, kModel, kModel + "/custom/zed", kModel + "/custom/zed"},
    {{kPpd, kIncluded, kIncluded + "/zed", kOpenTree}, 0x351, kPpd, kPpd + "/zed", kIncluded + "/zed"},
};
// clang-format on

TEST(PpdDirectoryDiscovery, DecisionOverTheTreesThatExist) {
  for (const auto& [dirs, flags, model, proposal, found] : kHosts) {
    PpdLocations p = decidePpdLocations([&](const std::string& path) { return dirs.count(path) > 0; });
    EXPECT_EQ(std::tuple(p.flags, p.modelDir, p.proposal, p.existing), std::tuple(flags, model, proposal, found));
  }
}

constexpr int kUsr = USR_SHARE_PPD, kOpt = OPT_SHARE_PPD, kOpen = OPENPRINTING_DIR, kCustom = MODEL_CUSTOM_DIR;
using A = PpdDirAction;

// Facts (existing, flags, CUPS version, proposal, model directory, recorded links), the
// directory and what is done with it.
// clang-format off
const std::tuple<PpdDirFacts, std::string, PpdDirAction> kDecisions[] = {
    {{kPpd + "/zed", kUsr, 1200, "", kModel, {}}, kPpd + "/zed", A::Reuse},  // reuses what was found
    {{"", kUsr | kOpen, 2200, kPpd + "/zed", kModel, {}}, kOpenTree + "/zed", A::Settle},
    {{"", kUsr | kCustom, 2200, "/usr/share/x/zed", kModel, {}}, "/usr/share/x/zed", A::Settle},  // keeps the proposal
    {{"", kUsr | kOpt, 2200, "/usr/opt/x", kModel, {}}, "/usr/opt/ppd/zed", A::Settle},
    {{"", kOpt, 2200, "/usr/opt/x", kModel, {}}, "/opt/share/ppd/zed", A::Settle},
    {{"", kOpt, 2200, "", kModel, {}}, "/usr/opt/ppd/zed", A::Settle},
    {{"", 0, 2200, "", kModel, {}}, kModel + "/zed", A::Settle},  // no shared tree
    {{"", kUsr, 1200, "", kModel, {}}, kPpd + "/zed", A::LinkIntoModelDir},  // older CUPS from here on
    {{"", kOpt, 1200, "", kModel, {}}, kOptPpd + "/zed", A::LinkIntoModelDir},  // /opt/share/ppd alone
    {{"", 0, 1200, "", kModel, {}}, kModel + "/zed", A::Name},
    {{"", kUsr, 1200, "", kModel, {{kModel + "/vendor-ppds", kPpd + "/vendor"}}}, kModel + "/zed", A::Settle},  // no match
    {{"", kUsr, 1200, "", kPpd, {{kPpd + "/plixppd", kPpd + "/vendor/zed"}}}, kPpd + "/vendor/zed", A::Settle},
    {{"", kUsr, 1200, "", kPpd, {{kPpd + "/plix", kPpd + "/" + std::string(240, 'a')}}}, kPpd + "/zed", A::Settle},  // too long
};
// clang-format on

TEST(PpdInstallDirectory, DecisionOverFlagsVersionProposalAndRecordedLinks) {
  for (const auto& [facts, dir, action] : kDecisions) {
    PpdDirChoice got = decidePpdInstallDir(facts);
    EXPECT_TRUE(got.dir == dir && got.action == action) << dir << ": " << got.dir;
  }
}

}  // namespace
