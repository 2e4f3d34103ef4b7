// What every fuzz target shares: a private temporary directory (removed at exit), a
// shell runner that runs nothing, and small helpers. A target writes nowhere but its own
// directory; code that writes fixed system paths runs behind privateMounts().
#pragma once

#include <sched.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "base/files.h"
#include "base/shell.h"

// The PPD library itself loses a few strings on some malformed PPDs (ppdClose frees
// all it can reach); that is not ours to find.
extern "C" const char* __lsan_default_suppressions() { return "leak:_ppdOpen\n"; }

namespace fuzz {

// No command runs: a fake runner may hand the command to `onCommand` and fakes its status.
inline int (*onCommand)(const std::string& command) = nullptr;

[[noreturn]] inline void refuse(const char* why) {
  fprintf(stderr, "fuzz target refuses to run: %s\n", why);
  _exit(1);
}

// The target's own directory (in $TMPDIR, else /tmp), made on first use and removed at
// the end of an ordinary run; also the scratch directory of the probes.
inline const std::string& dir() {
  static const std::string& d = *new std::string([] {  // never destroyed: the exit handler reads it
    const char* tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp == '/' ? tmp : "/tmp") + "/plix-fuzz.XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) refuse("no temporary directory");
    setShellRunner([](const std::string& command) { return onCommand ? onCommand(command) : 256; });
    setScratchDirectory(pattern);
    atexit([] { std::error_code ignored; std::filesystem::remove_all(dir(), ignored); });
    return pattern;
  }());
  return d;
}

inline void writeFile(const std::string& path, std::string_view data) {
  if (!(std::ofstream(path, std::ios::binary) << data)) refuse("cannot write into the temporary directory");
}

// Ends the run as a finding, saying why (seen when an input is run again by hand).
[[noreturn]] inline void finding(const std::string& what) {
  fprintf(stderr, "finding: %s\n", what.c_str());
  __builtin_trap();
}

// Splits `data` at each occurrence of `separator`.
inline std::vector<std::string> split(std::string_view data, std::string_view separator) {
  std::vector<std::string> parts;
  for (size_t at; (at = data.find(separator)) != std::string_view::npos; data.remove_prefix(at + separator.size()))
    parts.emplace_back(data.substr(0, at));
  parts.emplace_back(data);
  return parts;
}

// For code that writes fixed system paths: in a mount namespace of this process alone,
// each of `paths` becomes an empty tmpfs, so that what the code writes there stays in
// memory and goes with the process. Works as root or in a user namespace; ends the
// target, before anything is written, when neither can be had. Call it before dir().
inline void privateMounts(std::initializer_list<const char*> paths) {
  const uid_t uid = geteuid();
  const gid_t gid = getegid();
  if (unshare(uid == 0 ? CLONE_NEWNS : CLONE_NEWUSER | CLONE_NEWNS) != 0) refuse("no private mount namespace");
  auto put = [](const char* file, const std::string& text) { return !!(std::ofstream(file) << text << std::flush); };
  if (uid != 0 && !(put("/proc/self/setgroups", "deny") && put("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") &&
                    put("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1")))
    refuse("no user mapping");
  if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) refuse("mounts not private");
  for (const char* path : paths)
    if (mount("plix-fuzz", path, "tmpfs", 0, "size=64m,mode=0755") != 0) refuse("cannot mount a private tmpfs");
}

}  // namespace fuzz
