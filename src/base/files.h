// The product's file primitives: the existence check, scratch files made
// exclusively, and the one way an existing file is replaced (a new file written beside
// it, checked, flushed and renamed over it, so that the old one stays whole until then).
#pragma once

#include <string>
#include <string_view>

// True when `path` names something. With followLinks a link counts by its target (a
// dangling link does not exist); without, the name itself counts.
bool pathExists(const std::string& path, bool followLinks = true);

// The whole content of `path`, any bytes; false when it cannot be opened or read.
bool readWholeFile(const std::string& path, std::string* bytes);

// True when `dir` resolves to the root directory, however it is spelt ("//", "/opt/..").
bool isRootDirectory(const std::string& dir);

// Creates a new empty file "<dir>/<prefix>XXXXXX<suffix>" exclusively (O_CREAT|O_EXCL,
// mode 0600), so that a planted file or link is never followed or reused. Returns its
// path, or "" when none could be made.
std::string makeScratchFile(const std::string& dir, std::string_view prefix,
                            std::string_view suffix = {});

// The directory in which the probes make their scratch files: "/tmp", or the private
// directory of a dry run (setup -n), which must leave nothing in /tmp.
const std::string& scratchDirectory();
void setScratchDirectory(const std::string& dir);

// Mode for FileReplacer and replaceFile: the replaced file's owner, group and mode
// (0644 and the caller's ids when there is none).
inline constexpr int kKeepMode = -1;

// Replaces a file whole. open() makes a new file in the target's directory under an
// exclusive name; write() checks every write; commit() flushes it to disk, sets the
// mode (and, with kKeepMode, the old owner and group), closes it and renames it over
// the target. The target is never opened for writing and never followed when it is a
// link: the link itself is replaced. Until commit() succeeds the target is unchanged;
// on any failure, and when the replacer is dropped uncommitted, the new file is removed.
class FileReplacer {
 public:
  FileReplacer() = default;
  FileReplacer(const FileReplacer&) = delete;
  FileReplacer& operator=(const FileReplacer&) = delete;
  ~FileReplacer();

  bool open(const std::string& target, int mode);
  bool write(std::string_view data);
  bool commit();
  void abandon();

  // The errno of the first failure (0 when none).
  int error() const { return error_; }
  const std::string& tempPath() const { return temp_; }

 private:
  bool fail();

  std::string target_;
  std::string temp_;
  int fd_ = -1;
  int mode_ = 0;
  int error_ = 0;
};

// replaceFile(path, content, mode): FileReplacer in one call. True when the target now
// holds exactly `content`; on false the target is as it was and errno tells why.
bool replaceFile(const std::string& path, std::string_view content, int mode);
