// The sample product package: the unpacked tree and its tarball, and PPDs that the CUPS
// library accepts. (The scheduler and the filter are tried in installation_test.)
// The PPD routines are what the product itself reads PPDs with.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <cups/cups.h>
#include <cups/ppd.h>

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sandbox/sandbox.h"
#include "upgrade/model_table.h"

namespace {

struct SamplePpd {
  const char* file;
  const char* model;
  const char* row;
};

const SamplePpd kPpds[] = {
    {"Orvex_LaserPro_4200_PS.ppd", "Orvex LaserPro 4200 PS", "LaserPro 4200"},
    {"Orvex_LaserPro_4200_PCL.ppd", "Orvex LaserPro 4200 PCL", "LaserPro 4200"},
    {"Orvex_ColorPage_7350_PS.ppd", "Orvex ColorPage 7350 PS", "ColorPage 7350"},
    {"Orvex_OfficeLine_2600_PXL.ppd.gz", "Orvex OfficeLine 2600 PXL", "OfficeLine 2600"},
};

std::string commandOutput(const std::string& command) {
  FILE* p = popen(command.c_str(), "r");
  std::string out;
  char buffer[512];
  while (p && fgets(buffer, sizeof buffer, p)) out += buffer;
  if (p) pclose(p);
  return out;
}

TEST(ProductPackage, PpdsCarryMarkerModelAndOptionsWithinTheirFirstLines) {
  for (const SamplePpd& s : kPpds) {
    SCOPED_TRACE(s.file);
    std::string path = builtProduct() + "/ppd/" + s.file;
    cups_file_t* f = cupsFileOpen(path.c_str(), "r");
    ASSERT_NE(f, nullptr);
    char line[256];
    int n = 0;
    bool marker = false, model = false;
    while (n < 30 && cupsFileGets(f, line, sizeof line)) {
      ++n;
      marker = marker || std::string(line) == "*% Plix version: 1";
      model = model || std::string(line) == std::string("*ModelName: \"") + s.model + "\"";
    }
    cupsFileClose(f);
    EXPECT_TRUE(marker);
    EXPECT_TRUE(model);
    int row = findModelRow(s.model);
    ASSERT_GE(row, 0);
    EXPECT_STREQ(modelTable[row].name, s.row);

    ppd_file_t* ppd = ppdOpenFile(path.c_str());
    ASSERT_NE(ppd, nullptr) << ppdErrorString(ppdLastError(&n));
    for (const char* option : {"PageSize", "Duplex", "InputSlot", "Resolution"}) {
      ppd_option_t* o = ppdFindOption(ppd, option);
      ASSERT_NE(o, nullptr) << option;
      EXPECT_GE(o->num_choices, 2) << option;
      EXPECT_NE(ppdFindChoice(o, o->defchoice), nullptr) << option;
    }
    ppdClose(ppd);
  }
  // The PXL model is shipped compressed only.
  EXPECT_EQ(readFile(builtProduct() + "/ppd/Orvex_OfficeLine_2600_PXL.ppd"), "");
  EXPECT_EQ(readFile(builtProduct() + "/ppd/Orvex_OfficeLine_2600_PXL.ppd.gz").substr(0, 2), "\x1f\x8b");
}

TEST(ProductPackage, TarballHoldsTheTreeWithItsModes) {
  std::string listing = commandOutput("tar tvzf '" + builtProduct() + "/../plix-4.0-8.tar.gz' | awk '{print $1, $2, $6}' | sort -k3");
  EXPECT_EQ(listing,
            "drwxr-xr-x root/root plix/\n"
            "drwxr-xr-x root/root plix/bin/\n"
            "-rwxr-xr-x root/root plix/bin/setup\n"
            "-rwxr-xr-x root/root plix/bin/zangsfilter\n"
            "-rwxr-xr-x root/root plix/bin/zannc\n"
            "drwxr-xr-x root/root plix/etc/\n"
            "-rw-r--r-- root/root plix/etc/PLIXINST.CONF\n"
            "-rw-r--r-- root/root plix/etc/plix.pp\n"
            "-rw-r--r-- root/root plix/etc/plix4.0.png\n"
            "drwxr-xr-x root/root plix/man/\n"
            "-rw-r--r-- root/root plix/man/setup.8\n"
            "drwxr-xr-x root/root plix/ppd/\n"
            "-rw-r--r-- root/root plix/ppd/Orvex_ColorPage_7350_PS.ppd\n"
            "-rw-r--r-- root/root plix/ppd/Orvex_LaserPro_4200_PCL.ppd\n"
            "-rw-r--r-- root/root plix/ppd/Orvex_LaserPro_4200_PS.ppd\n"
            "-rw-r--r-- root/root plix/ppd/Orvex_OfficeLine_2600_PXL.ppd.gz\n"
            "lrwxrwxrwx root/root plix/zannc\n");
  EXPECT_EQ(readFile(builtProduct() + "/etc/plix4.0.png").substr(0, 8), "\x89PNG\r\n\x1a\n");
}

}  // namespace
