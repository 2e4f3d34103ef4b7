// Directory preparation inside the sandbox: exact modes under a restrictive umask, the
// results of makeDirectory, ancestors made by makeDirectoryPath (also for a path longer
// than 255 characters), and the product tree made once per run.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "install/dir_prep.h"
#include "probe/command_locator.h"
#include "sandbox/sandbox.h"

namespace {

// ---- Cases run inside the sandbox ------------------------------------------------
// These create directories at fixed system paths, so they run only inside a sandbox:
// the tests below start this same program there with PLIX_DIRPREP_CASE=<case>; the
// case then runs instead of the tests, writes its results to $PLIX_CASE_OUT and
// exits. Log lines go to standard error, since no Update log is open.

using CaseFunction = void (*)(FILE* out);

// Five 60-character names below /srv: a path of 309 characters.
std::string longPath() {
  std::string path = "/srv";
  for (char c : {'a', 'b', 'c', 'd', 'e'}) path += "/" + std::string(60, c);
  return path;
}

void modesCase(FILE* out) {
  umask(077);
  struct Call {
    const char* path;
    int create;
    int mode;
  };
  const Call calls[] = {
      {"/srv/m/d777", 1, 0777}, {"/srv/m/d755", 1, 0755}, {"/srv/m/d766", 1, 0766},
      {"/srv/m/d777", 1, 0700}, {"/srv/m/file", 1, 0755}, {"/srv/m/file", 0, 0755},
      {"/srv/m/absent", 0, 0755}, {"", 1, 0755}, {"/srv/m/no/parent", 1, 0755},
  };
  for (const Call& call : calls) {
    fprintf(out, "%s %d %o -> %d\n", call.path, call.create, static_cast<unsigned>(call.mode),
            makeDirectory(call.path, call.create, call.mode));
  }
}

void pathCase(FILE* out) {
  umask(077);
  makeDirectoryPath("/opt/zed");
  makeDirectoryPath(longPath());
  fputs("done\n", out);
}

// makeProductDirs twice, removing the tree in between; chcon as the run locates it.
void productTreeCase(FILE* out) {
  umask(077);
  commands.chcon = locateCommand("chcon");
  fprintf(out, "empty -> %d\n", makeProductDirs(""));
  fprintf(out, "first -> %d\n", makeProductDirs("/opt/zed"));
  rmdir("/opt/zed/bin");
  rmdir("/opt/zed/etc");
  rmdir("/opt/zed");
  fprintf(out, "second -> %d\n", makeProductDirs("/opt/zed"));
  fprintf(out, "remade -> %d\n", access("/opt/zed", F_OK) == 0 ? 1 : 0);
}

void missingBinCase(FILE* out) {
  commands.chcon = locateCommand("chcon");
  fprintf(out, "first -> %d\n", makeProductDirs("/opt/zed"));
  fprintf(out, "second -> %d\n", makeProductDirs("/opt/zed"));
}

const std::map<std::string, CaseFunction> kCases = {
    {"modes", modesCase}, {"path", pathCase}, {"product_tree", productTreeCase},
    {"missing_bin", missingBinCase}};

class CaseRunner : public testing::Environment {
 public:
  void SetUp() override {
    const char* name = getenv("PLIX_DIRPREP_CASE");
    if (name == nullptr) return;
    int status = 2;
    char host[64] = {};
    if (gethostname(host, sizeof host - 1) != 0 || std::string(host) != "plixtest") {
      fprintf(stderr, "case %s runs only inside the sandbox\n", name);
      status = 3;
    } else if (auto it = kCases.find(name); it == kCases.end()) {
      fprintf(stderr, "no case %s\n", name);
    } else if (FILE* out = fopen(getenv("PLIX_CASE_OUT") ? getenv("PLIX_CASE_OUT") : "", "w")) {
      it->second(out);
      fclose(out);
      status = 0;
    }
    fflush(nullptr);
    _exit(status);
  }
};

[[maybe_unused]] testing::Environment* const caseRunner =
    testing::AddGlobalTestEnvironment(new CaseRunner);

// ---- Tests ---------------------------------------------------------------------

// run_case NAME CASE runs a case into $OUT/NAME.{out,log,status}. The SELinux tools
// are recording scripts: the real chcon is removed, a fake one put into /usr/sbin.
constexpr const char* kScriptHead = R"(
rm -f /usr/bin/chcon
fake_command /usr/sbin/chcon 0
run_case() {
  PLIX_CASE_OUT=$OUT/$1.out PLIX_DIRPREP_CASE=$2 $BUILD/tests/install_tests >$OUT/$1.gtest 2>$OUT/$1.log
  echo $? >$OUT/$1.status
}
)";

std::string created(const std::string& dir, const char* mode) {
  return "Erstelltes Verzeichnis: '" + dir + "'.\n\304ndere Ausf\374hrungsrechte von '" + dir + "' zu  " +
         mode + ".\n";
}

// The mode bits of `path` in the upper layer, or -1 when it is not a directory there.
int upperDirMode(const SandboxResult& r, const std::string& path) {
  struct stat st;
  if (lstat(r.upperPath(path).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return -1;
  return static_cast<int>(st.st_mode & 07777);
}

TEST(DirectoryPreparation, MakeDirectoryGivesExactModesAndTellsWhatItFound) {
  Sandbox box;
  SandboxResult r = box.run(std::string(kScriptHead) + R"(
mkdir -p /srv/m && touch /srv/m/file
run_case modes modes
)");
  ASSERT_EQ(r.status, 0) << r.error;
  EXPECT_EQ(r.out("modes.status"), "0\n");
  EXPECT_EQ(r.out("modes.out"),
            "/srv/m/d777 1 777 -> 1\n"
            "/srv/m/d755 1 755 -> 1\n"
            "/srv/m/d766 1 766 -> 1\n"
            "/srv/m/d777 1 700 -> 0\n"
            "/srv/m/file 1 755 -> -1\n"
            "/srv/m/file 0 755 -> -1\n"
            "/srv/m/absent 0 755 -> -1\n"
            " 1 755 -> -1\n"
            "/srv/m/no/parent 1 755 -> -1\n");
  EXPECT_EQ(r.out("modes.log"), created("/srv/m/d777", "00777") + created("/srv/m/d755", "00755") +
                                    created("/srv/m/d766", "00766"));
  // The umask 077 of the process did not narrow the modes; an existing directory kept its own.
  EXPECT_EQ(upperDirMode(r, "/srv/m/d777"), 0777);
  EXPECT_EQ(upperDirMode(r, "/srv/m/d755"), 0755);
  EXPECT_EQ(upperDirMode(r, "/srv/m/d766"), 0766);
  EXPECT_EQ(upperDirMode(r, "/srv/m/absent"), -1);
  EXPECT_EQ(upperDirMode(r, "/srv/m/no"), -1);
  EXPECT_EQ(r.upperFile("/srv/m/file"), "");
}

TEST(DirectoryPreparation, MakeDirectoryPathMakesEveryAncestorNotWritableByOthers) {
  Sandbox box;
  SandboxResult r = box.run(std::string(kScriptHead) + R"(
rm -rf /opt
run_case path path
)");
  ASSERT_EQ(r.status, 0) << r.error;
  EXPECT_EQ(r.out("path.status"), "0\n");
  std::string expected = created("/opt", "00755") + created("/opt/zed", "00755");
  std::string path = "/srv";
  for (char c : {'a', 'b', 'c', 'd', 'e'}) {
    path += "/" + std::string(60, c);
    expected += created(path, "00755");
    EXPECT_EQ(upperDirMode(r, path), 0755) << path;
  }
  ASSERT_GT(path.size(), 255u);
  EXPECT_EQ(r.out("path.log"), expected);
  EXPECT_EQ(upperDirMode(r, "/opt"), 0755);
  EXPECT_EQ(upperDirMode(r, "/opt/zed"), 0755);
}

TEST(DirectoryPreparation, ProductTreeIsMadeAndLabelledOncePerRun) {
  Sandbox box;
  SandboxResult r = box.run(std::string(kScriptHead) + "run_case tree product_tree\n");
  ASSERT_EQ(r.status, 0) << r.error;
  EXPECT_EQ(r.out("tree.status"), "0\n");
  // The second call trusts the first: it neither looks nor makes anything again.
  EXPECT_EQ(r.out("tree.out"), "empty -> 0\nfirst -> 1\nsecond -> 1\nremade -> 0\n");
  EXPECT_EQ(r.out("tree.log"),
            created("/opt/zed", "00755") + created("/opt/zed/bin", "00755") +
                created("/opt/zed/etc", "00755") +
                "chcon SELinux f\374r: \"/usr/sbin/chcon -R -u system_u /opt/zed/bin 2>/dev/null\": "
                "Resultat: 0\n");
  EXPECT_EQ(r.out("calls.log"), "/usr/sbin/chcon -R -u system_u /opt/zed/bin\n");
}

TEST(DirectoryPreparation, ProductTreeStopsAtABinDirectoryThatCannotBeMade) {
  Sandbox box;
  SandboxResult r = box.run(std::string(kScriptHead) + R"(
mkdir -p /opt/zed && touch /opt/zed/bin
run_case missing missing_bin
)");
  ASSERT_EQ(r.status, 0) << r.error;
  EXPECT_EQ(r.out("missing.status"), "0\n");
  EXPECT_EQ(r.out("missing.out"), "first -> 0\nsecond -> 0\n");
  EXPECT_EQ(r.out("missing.log"),
            "Kein ZED binary Verzeichnis: '/opt/zed/bin' m\366glich\n"
            "Kein ZED binary Verzeichnis: '/opt/zed/bin' m\366glich\n");
  // etc was not tried and nothing was relabelled.
  EXPECT_EQ(upperDirMode(r, "/opt/zed/etc"), -1);
  EXPECT_EQ(r.out("calls.log"), "");
}

}  // namespace
