#include "sandbox/sandbox.h"
#include "sandbox/sandbox_case.h"

#include <dirent.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include <gtest/gtest.h>

namespace {

std::string shellQuoted(const std::string& value) {
  std::string out = "'";
  for (char c : value) {
    if (c == '\'') out += "'\\''";
    else out += c;
  }
  return out + "'";
}

void walk(const std::string& root, const std::string& rel, std::vector<std::string>* out) {
  DIR* dir = opendir((root + rel).c_str());
  if (dir == nullptr) return;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    std::string path = rel + "/" + name;
    struct stat st;
    if (lstat((root + path).c_str(), &st) != 0) continue;
    if (S_ISCHR(st.st_mode) && st.st_rdev == 0) {
      out->push_back("-" + path);
    } else if (S_ISDIR(st.st_mode)) {
      out->push_back(path + "/");
      walk(root, path, out);
    } else {
      out->push_back(path);
    }
  }
  closedir(dir);
}

}  // namespace

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::string();
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string builtSetup() { return std::string(PLIX_BUILD_DIR) + "/setup"; }
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
  std::vector<std::string> paths;
  walk(dir + "/upper", "", &paths);
  std::sort(paths.begin(), paths.end());
  return paths;
}

Sandbox::~Sandbox() {
  if (getenv("PLIX_KEEP_SANDBOX") != nullptr) return;
  for (const std::string& dir : dirs_) {
    std::string command = "rm -rf " + shellQuoted(dir);
    if (system(command.c_str()) != 0) fprintf(stderr, "could not remove %s\n", dir.c_str());
  }
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
  std::string scriptPath = result.dir + "/script.sh";
  {
    std::ofstream file(scriptPath, std::ios::binary);
    file << script;
  }
  std::string command = std::string(hostTrees_ ? "SBX_HOST_TREES=1 " : "") + "PLIX_SETUP=" + shellQuoted(builtSetup()) + " PLIX_PRODUCT=" + shellQuoted(builtProduct()) +
                        " PLIX_SRC=" + shellQuoted(PLIX_SOURCE_DIR) + " PLIX_BUILD=" + shellQuoted(PLIX_BUILD_DIR) +
                        " " + shellQuoted(PLIX_SANDBOX_SCRIPT) + " " + shellQuoted(result.dir) + " " + shellQuoted(scriptPath);
  for (const std::string& layer : layers_) command += " " + shellQuoted(layer);
  command += " 2>" + shellQuoted(result.dir + "/harness.err");
  int status = system(command.c_str());
  result.error = readFile(result.dir + "/harness.err");
  std::string recorded = readFile(result.dir + "/status");
  if (!recorded.empty()) {
    result.status = atoi(recorded.c_str());
  } else {
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 97;
    if (result.status == 0) result.status = 97;  // the script never reported: no sandbox
  }
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
  static bool runnerAdded = false;
  if (!runnerAdded) {
    testing::AddGlobalTestEnvironment(new CaseRunner);
    runnerAdded = true;
  }
  caseTable()[name] = function;
  return true;
}
