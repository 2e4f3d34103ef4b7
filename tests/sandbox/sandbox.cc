#include "sandbox/sandbox.h"
#include "sandbox/sandbox_case.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include <gtest/gtest.h>

#include "base/files.h"
#include "base/shell.h"

std::string readFile(const std::string& path) {
  std::string text;
  return readWholeFile(path, &text) ? text : std::string();
}

void expectIn(const SandboxResult& r, const std::string& name, const std::string& text) {
  EXPECT_NE(r.out(name).find(text), std::string::npos) << name << " lacks:\n" << text << "\n---\n" << r.out(name);
}

std::string builtProduct() { return std::string(PLIX_BUILD_DIR) + "/product/plix"; }

std::string SandboxResult::upperPath(const std::string& path) const { return dir + "/upper" + path; }

bool SandboxResult::changed(const std::string& path) const {
  struct stat st;
  return lstat(upperPath(path).c_str(), &st) == 0;
}

bool SandboxResult::deleted(const std::string& path) const {
  struct stat st;
  return lstat(upperPath(path).c_str(), &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == 0;
}

std::string SandboxResult::upperFile(const std::string& path) const { return readFile(upperPath(path)); }

std::string SandboxResult::out(const std::string& name) const { return readFile(dir + "/out/" + name); }

std::vector<std::string> SandboxResult::listing() const {
  namespace fs = std::filesystem;
  const std::string upper = dir + "/upper";
  std::vector<std::string> paths;
  std::error_code ignored;
  for (auto it = fs::recursive_directory_iterator(upper, ignored); it != fs::recursive_directory_iterator();
       it.increment(ignored)) {
    std::string path = it->path().string().substr(upper.size());
    if (it->is_directory(ignored) && !it->is_symlink(ignored)) path += "/";
    paths.push_back(deleted(path) ? "-" + path : path);
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

Sandbox::~Sandbox() {
  if (getenv("PLIX_KEEP_SANDBOX") != nullptr) return;
  for (const std::string& dir : dirs_)
    if (system(("rm -rf " + shellWord(dir)).c_str()) != 0) fprintf(stderr, "could not remove %s\n", dir.c_str());
}

SandboxResult Sandbox::run(const std::string& script) {
  SandboxResult result;
  char pattern[] = "/var/tmp/plix-sandbox.XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    result.status = 97;
    result.error = "cannot make a result directory in /var/tmp";
    return result;
  }
  result.dir = pattern;
  dirs_.push_back(result.dir);
  const std::string scriptPath = result.dir + "/script.sh";
  std::ofstream(scriptPath, std::ios::binary) << script;
  std::string command = "PLIX_SETUP=" + shellWord(PLIX_BUILD_DIR "/setup") + " PLIX_PRODUCT=" + shellWord(builtProduct()) +
                        " PLIX_SRC=" + shellWord(PLIX_SOURCE_DIR) + " PLIX_BUILD=" + shellWord(PLIX_BUILD_DIR) + " " +
                        shellWord(PLIX_SANDBOX_SCRIPT) + " " + shellWord(result.dir) + " " + shellWord(scriptPath);
  for (const std::string& layer : layers_) command.append(" ").append(shellWord(layer));
  int status = system((command + " 2>" + shellWord(result.dir + "/harness.err")).c_str());
  result.error = readFile(result.dir + "/harness.err");
  std::string recorded = readFile(result.dir + "/status");
  // Without a recorded status the script never ran: no sandbox could be built.
  result.status = !recorded.empty()                           ? atoi(recorded.c_str())
                  : WIFEXITED(status) && WEXITSTATUS(status) ? WEXITSTATUS(status)
                                                             : 97;
  return result;
}

void Sandbox::keep(const SandboxResult& result) { layers_.push_back(result.dir + "/upper"); }

// ---- Cases run inside the sandbox -------------------------------------------------

namespace {

std::map<std::string, SandboxCaseFunction>& caseTable() {
  static std::map<std::string, SandboxCaseFunction> table;
  return table;
}

// Runs the case named by PLIX_CASE before any test, then ends the program.
class CaseRunner : public testing::Environment {
 public:
  void SetUp() override {
    const char* name = getenv("PLIX_CASE");
    if (name == nullptr) return;
    int status = 2;
    char host[64] = {};
    auto it = caseTable().find(name);
    if (gethostname(host, sizeof host - 1) != 0 || std::string(host) != "plixtest") {
      fprintf(stderr, "case %s runs only inside the sandbox\n", name);
      status = 3;
    } else if (it == caseTable().end()) {
      fprintf(stderr, "no case %s\n", name);
    } else if (FILE* out = fopen(getenv("PLIX_CASE_OUT") ? getenv("PLIX_CASE_OUT") : "/dev/null", "w")) {
      it->second(out);
      fclose(out);
      status = 0;
    }
    fflush(nullptr);
    _exit(status);
  }
};

}  // namespace

bool addSandboxCase(const char* name, SandboxCaseFunction function) {
  static const bool runnerAdded = (testing::AddGlobalTestEnvironment(new CaseRunner), true);
  (void)runnerAdded;
  caseTable()[name] = function;
  return true;
}
