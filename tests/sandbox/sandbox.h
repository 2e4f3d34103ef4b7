// Test side of the sandbox: runs a bash script as root in a throwaway root (see
// scripts/sandbox.sh) and hands back what it changed. Inside the script, $SETUP is the built
// setup, $PRODUCT the built sample product tree, $SRC the source tree, $BUILD the
// build tree, $OUT a directory whose files the test can read afterwards; the helpers
// of scripts/sandbox-lib.sh (put, fake_command, start_cupsd, as_user, run_setup) are loaded.
#pragma once

#include <string>
#include <vector>

struct SandboxResult {
  int status = -1;      // the script's exit status; 97 when no sandbox could be built
  std::string dir;      // host directory holding upper/ and out/
  std::string error;    // standard error of the harness when the sandbox failed

  // True when the run left `path` (an absolute path inside the sandbox) in its upper
  // layer: created or changed (whiteouts included).
  bool changed(const std::string& path) const;
  // True when the run deleted `path` (a whiteout in the upper layer).
  bool deleted(const std::string& path) const;
  // Host path of `path` inside the upper layer.
  std::string upperPath(const std::string& path) const;
  // Contents of `path` in the upper layer ("" when absent).
  std::string upperFile(const std::string& path) const;
  // Contents of the file NAME that the script wrote to $OUT ("" when absent).
  std::string out(const std::string& name) const;
  // Every path in the upper layer, as an absolute sandbox path, sorted; directories
  // end in "/", whiteouts are prefixed "-".
  std::vector<std::string> listing() const;
};

class Sandbox {
 public:
  Sandbox() = default;
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;
  ~Sandbox();  // removes the result directories unless PLIX_KEEP_SANDBOX is set

  // Runs `script` in a new sandbox, over the layers kept so far.
  SandboxResult run(const std::string& script);

  // Keeps what `result` changed as a layer under the following runs, so a test can
  // prepare the world in one run and see only what the next run changes.
  void keep(const SandboxResult& result);

 private:
  std::vector<std::string> dirs_;
  std::vector<std::string> layers_;
};

// Expects `text` in the file `name` that the script wrote to $OUT.
void expectIn(const SandboxResult& r, const std::string& name, const std::string& text);

// Reads a whole host file ("" when absent).
std::string readFile(const std::string& path);

// Host path of the built sample product tree.
std::string builtProduct();
