// A queue's configuration file lives in a directory named after the queue: a name that
// is no plain file name never leads the update out of the product's directory.
#include <gtest/gtest.h>

#include "sandbox/sandbox.h"
#include "sandbox/sandbox_case.h"
#include "upgrade/queue_upgrade.h"

namespace {

SANDBOX_CASE(config_names) {
  for (const char* queue : {"..", "Q"}) fprintf(out, "%s=%d\n", queue, processPrinterConfig(queue));
}

TEST(QueueConfiguration, OnlyAPlainQueueNameHasAConfigurationFile) {
  Sandbox box;
  SandboxResult r = box.run(R"(
put /opt/root/plixConfig <<<'%%PLIX_VERSION_1.0'
put /opt/zed/Q/root/plixConfig <<<'%%PLIX_VERSION_1.0'
run_case upgrade_tests config_names c
)");
  ASSERT_EQ(r.status, 0) << r.error;
  EXPECT_EQ(r.out("c.out"), "..=0\nQ=1\n");
  EXPECT_EQ(r.upperFile("/opt/root/plixConfig"), "%%PLIX_VERSION_1.0\n");
  EXPECT_EQ(r.upperFile("/opt/zed/Q/root/plixConfig"), "%%PLIX_VERSION_3.0\n");
  EXPECT_EQ(r.out("c.log"), "processPrinterConfig(Q): updated.\n");
}

}  // namespace
