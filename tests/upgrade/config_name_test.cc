// A queue's configuration file lives in a directory named after the queue: a name that
// is no plain file name never leads the update out of the product's directory.
#include <gtest/gtest.h>

#include "sandbox/sandbox.h"
#include "sandbox/sandbox_case.h"
#include "upgrade/queue_upgrade.h"

namespace {

SANDBOX_CASE(config_names) {
  for (const std::string& queue : {std::string(".."), std::string("Q"), std::string(127, 'q')})
    fprintf(out, "%s=%d\n", queue.c_str(), processPrinterConfig(queue));
}

TEST(QueueConfiguration, OnlyAPlainQueueNameHasAConfigurationFile) {
  Sandbox box;
  SandboxResult r = box.run(R"(
put /opt/root/plixConfig <<<'%%PLIX_VERSION_1.0'
put /opt/zed/Q/root/plixConfig <<<'%%PLIX_VERSION_1.0'
# A queue name of CUPS's full length is not cut to the configuration file of another queue.
put /opt/zed/$(printf 'q%.0s' {1..127})/root/plixConfig <<<'%%PLIX_VERSION_1.0'
put /opt/zed/$(printf 'q%.0s' {1..79})/root/plixConfig <<<'%%PLIX_VERSION_1.0'
run_case upgrade_tests config_names c
)");
  ASSERT_EQ(r.status, 0) << r.error;
  const std::string q127(127, 'q'), q79(79, 'q');
  EXPECT_EQ(r.out("c.out"), "..=0\nQ=1\n" + q127 + "=1\n");
  EXPECT_EQ(r.upperFile("/opt/zed/" + q127 + "/root/plixConfig"), "%%PLIX_VERSION_3.0\n");
  EXPECT_EQ(r.upperFile("/opt/zed/" + q79 + "/root/plixConfig"), "%%PLIX_VERSION_1.0\n");
  EXPECT_EQ(r.upperFile("/opt/root/plixConfig"), "%%PLIX_VERSION_1.0\n");
  EXPECT_EQ(r.upperFile("/opt/zed/Q/root/plixConfig"), "%%PLIX_VERSION_3.0\n");
  EXPECT_EQ(r.out("c.log"), "processPrinterConfig(Q): updated.\nprocessPrinterConfig(" + q127 + "): updated.\n");
}

}  // namespace
