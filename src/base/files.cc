#include "base/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

bool pathExists(const std::string& path, bool followLinks) {
  struct stat st;
  return (followLinks ? stat(path.c_str(), &st) : lstat(path.c_str(), &st)) == 0;
}

bool readWholeFile(const std::string& path, std::string* bytes) {
  bytes->clear();
  FILE* in = fopen(path.c_str(), "r");
  if (in == nullptr) return false;
  char block[16384];
  size_t n;
  while ((n = fread(block, 1, sizeof block, in)) > 0) bytes->append(block, n);
  bool ok = !ferror(in);
  fclose(in);
  return ok;
}

bool isRootDirectory(const std::string& dir) {
  if (dir.empty()) return false;
  char* real = realpath(dir.c_str(), nullptr);
  bool root = real != nullptr && std::string(real) == "/";
  free(real);
  return root;
}

std::string makeScratchFile(const std::string& dir, std::string_view prefix, std::string_view suffix) {
  std::string name = dir;
  if (name.empty() || name.back() != '/') name += '/';
  name.append(prefix).append("XXXXXX").append(suffix);
  std::vector<char> buffer(name.begin(), name.end());
  buffer.push_back('\0');
  int fd = mkstemps(buffer.data(), static_cast<int>(suffix.size()));
  if (fd < 0) return std::string();
  close(fd);
  return std::string(buffer.data());
}

namespace {
std::string scratchDir = "/tmp";
}  // namespace

const std::string& scratchDirectory() { return scratchDir; }
void setScratchDirectory(const std::string& dir) { scratchDir = dir; }

FileReplacer::~FileReplacer() { abandon(); }

bool FileReplacer::fail() {
  if (error_ == 0) error_ = errno != 0 ? errno : EIO;
  abandon();
  errno = error_;
  return false;
}

bool FileReplacer::open(const std::string& target, int mode) {
  abandon();
  error_ = 0;
  target_ = target;
  mode_ = mode;
  size_t slash = target.rfind('/');
  std::string dir = slash == std::string::npos ? "." : target.substr(0, slash + 1);
  std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  if (base.empty()) {
    errno = EISDIR;
    return fail();
  }
  temp_ = dir;
  if (temp_.back() != '/') temp_ += '/';
  temp_ += "." + base + ".XXXXXX";
  fd_ = mkstemp(temp_.data());
  if (fd_ < 0) {
    temp_.clear();
    return fail();
  }
  return true;
}

bool FileReplacer::write(std::string_view data) {
  if (fd_ < 0) return false;
  while (!data.empty()) {
    ssize_t n = ::write(fd_, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail();
    }
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

bool FileReplacer::commit() {
  if (fd_ < 0) return false;
  mode_t mode = 0644;
  if (mode_ == kKeepMode) {
    struct stat old;
    if (lstat(target_.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
      mode = old.st_mode & 07777;
      if (fchown(fd_, old.st_uid, old.st_gid) != 0) return fail();
    }
  } else {
    mode = static_cast<mode_t>(mode_);
  }
  if (fchmod(fd_, mode) != 0 || fsync(fd_) != 0) return fail();
  int fd = fd_;
  fd_ = -1;
  if (close(fd) != 0) return fail();
  if (rename(temp_.c_str(), target_.c_str()) != 0) return fail();
  temp_.clear();
  return true;
}

void FileReplacer::abandon() {
  int saved = errno;
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  if (!temp_.empty()) unlink(temp_.c_str());
  temp_.clear();
  errno = saved;
}

bool replaceFile(const std::string& path, std::string_view content, int mode) {
  FileReplacer out;
  return out.open(path, mode) && out.write(content) && out.commit();
}
