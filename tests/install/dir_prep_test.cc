// Directory preparation inside the sandbox, under umask 077: exact modes and results of
// makeDirectory, the ancestors made by makeDirectoryPath for a path longer than 255
// characters, and the product tree made once per run.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "install/dir_prep.h"
#include "base/command_locator.h"
#include "sandbox/sandbox.h"
#include "sandbox/sandbox_case.h"

namespace {

// Five 60-character names below /srv: a path of 309 characters.
std::string longPath() {
  std::string path = "/srv";
  for (char c : {'a', 'b', 'c', 'd', 'e'}) path += "/" + std::string(60, c);
  return path;
}

SANDBOX_CASE(dirprep_modes) {
  struct Call {
    const char* path;
    int create;
    int mode;
  };
  const Call calls[] = {
      {"/srv/m/d777", 1, 0777},   {"/srv/m/d755", 1, 0755}, {"/srv/m/d766", 1, 0766},
      {"/srv/m/d777", 1, 0700},   {"/srv/m/file", 1, 0755}, {"/srv/m/file", 0, 0755},
      {"/srv/m/absent", 0, 0755}, {"", 1, 0755},            {"/srv/m/no/parent", 1, 0755},
  };
  for (const Call& call : calls) {
    fprintf(out, "%s %d %o -> %d\n", call.path, call.create, static_cast<unsigned>(call.mode),
            makeDirectory(call.path, call.create, call.mode));
  }
  makeDirectoryPath(longPath());
}

// makeProductDirs twice, removing the tree in between; chcon as the run locates it.
SANDBOX_CASE(dirprep_product_tree) {
  commands.chcon = locateCommand("chcon");
  fprintf(out, "empty -> %d\n", makeProductDirs(""));
  fprintf(out, "first -> %d\n", makeProductDirs("/opt/zed"));
  for (const char* dir : {"/opt/zed/bin", "/opt/zed/etc", "/opt/zed"}) rmdir(dir);
  fprintf(out, "second -> %d\n", makeProductDirs("/opt/zed"));
  fprintf(out, "remade -> %d\n", access("/opt/zed", F_OK) == 0 ? 1 : 0);
}

SANDBOX_CASE(dirprep_missing_bin) {
  commands.chcon = locateCommand("chcon");
  fprintf(out, "first -> %d\n", makeProductDirs("/opt/zed"));
  fprintf(out, "second -> %d\n", makeProductDirs("/opt/zed"));
}

std::string created(const std::string& dir, const char* mode) {
  return "Erstelltes Verzeichnis: '" + dir + "'.\n\304ndere Ausf\374hrungsrechte von '" + dir + "' zu  " +
         mode + ".\n";
}

// The mode bits of `path` in the upper layer, or -1 when it is not a directory there.
int upperDirMode(const SandboxResult& r, const std::string& path) {
  std::filesystem::file_status st = std::filesystem::symlink_status(r.upperPath(path));
  return std::filesystem::is_directory(st) ? static_cast<int>(st.permissions()) : -1;
}

// The real chcon is removed; a recording one is put into /usr/sbin.
TEST(DirectoryPreparation, ExactModesAncestorsAndTheProductTreeOncePerRun) {
  Sandbox box;
  SandboxResult r = box.run(R"(
umask 077
rm -f /usr/bin/chcon
fake_command /usr/sbin/chcon 0
mkdir -p /srv/m && touch /srv/m/file
run_case install_tests dirprep_modes modes
run_case install_tests dirprep_product_tree tree
touch $OUT/calls.log && mv $OUT/calls.log $OUT/tree.calls
mkdir -p /opt/zed && touch /opt/zed/bin
run_case install_tests dirprep_missing_bin missing
)");
  ASSERT_EQ(r.status, 0) << r.error;
  EXPECT_EQ(r.out("modes.status") + r.out("tree.status") + r.out("missing.status"), "0\n0\n0\n");

  EXPECT_EQ(r.out("modes.out"),
            "/srv/m/d777 1 777 -> 1\n/srv/m/d755 1 755 -> 1\n/srv/m/d766 1 766 -> 1\n"
            "/srv/m/d777 1 700 -> 0\n/srv/m/file 1 755 -> -1\n/srv/m/file 0 755 -> -1\n"
            "/srv/m/absent 0 755 -> -1\n 1 755 -> -1\n/srv/m/no/parent 1 755 -> -1\n");
  // The umask did not narrow the modes; an existing directory kept its own.
  std::string log = created("/srv/m/d777", "00777") + created("/srv/m/d755", "00755") +
                    created("/srv/m/d766", "00766");
  for (auto [path, mode] :
       {std::pair{"d777", 0777}, {"d755", 0755}, {"d766", 0766}, {"absent", -1}, {"no", -1}}) {
    EXPECT_EQ(upperDirMode(r, std::string("/srv/m/") + path), mode) << path;
  }
  EXPECT_EQ(r.upperFile("/srv/m/file"), "");
  // Every ancestor of the long path, and the path, are made not writable by others.
  std::string path = "/srv";
  for (char c : {'a', 'b', 'c', 'd', 'e'}) {
    path += "/" + std::string(60, c);
    log += created(path, "00755");
    EXPECT_EQ(upperDirMode(r, path), 0755) << path;
  }
  EXPECT_EQ(r.out("modes.log"), log);

  // The second call trusts the first: it neither looks nor makes anything again.
  EXPECT_EQ(r.out("tree.out"), "empty -> 0\nfirst -> 1\nsecond -> 1\nremade -> 0\n");
  EXPECT_EQ(r.out("tree.log"), created("/opt/zed", "00755") + created("/opt/zed/bin", "00755") +
                                   created("/opt/zed/etc", "00755") +
                                   "chcon SELinux f\374r: \"/usr/sbin/chcon -R -u system_u /opt/zed/bin "
                                   "2>/dev/null\": Resultat: 0\n");
  EXPECT_EQ(r.out("tree.calls"), "/usr/sbin/chcon -R -u system_u /opt/zed/bin\n");

  // A bin directory that cannot be made stops it, each time: etc is not tried, nothing relabelled.
  EXPECT_EQ(r.out("missing.out"), "first -> 0\nsecond -> 0\n");
  EXPECT_EQ(r.out("missing.log"), "Kein ZED binary Verzeichnis: '/opt/zed/bin' m\366glich\n"
                                  "Kein ZED binary Verzeichnis: '/opt/zed/bin' m\366glich\n");
  EXPECT_EQ(upperDirMode(r, "/opt/zed/etc"), -1);
  EXPECT_EQ(r.out("calls.log"), "");
}

}  // namespace
