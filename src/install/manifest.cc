#include "install/manifest.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "base/settings.h"
#include "base/text.h"
#include "base/update_log.h"

InstallItem installItems[kInstallItemsMax];

namespace {

// Mode given to an item whose mode token reads as 0 or less.
constexpr int kDefaultItemMode = 0755;

// Token bytes are 0x21..0x7F; every other byte separates tokens.
bool isTokenByte(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return u >= 0x21 && u <= 0x7F;
}

// The token that starts at or after *pos (separators skipped); *pos ends after it.
std::string nextToken(const std::string& line, size_t* pos) {
  while (*pos < line.size() && !isTokenByte(line[*pos])) ++*pos;
  size_t start = *pos;
  while (*pos < line.size() && isTokenByte(line[*pos])) ++*pos;
  return line.substr(start, *pos - start);
}

// The mode of the rest of an item line: the token that begins at the first "00", read
// as octal (as a 32-bit "%o" would read it); a value of 0 or less becomes 0755. 0 when
// the rest holds no "00".
int modeFromRest(const std::string& line, size_t pos) {
  size_t at = line.find("00", pos);
  if (at == std::string::npos) return 0;
  unsigned value = 0;
  for (size_t i = at; i < line.size() && isTokenByte(line[i]); ++i) {
    if (line[i] < '0' || line[i] > '7') break;
    value = value * 8 + static_cast<unsigned>(line[i] - '0');
  }
  int mode = static_cast<int>(value);
  return mode <= 0 ? kDefaultItemMode : mode;
}

// Splits an item line (already read) into `item`; false for a line that makes no item
// (a comment, an empty line, one that begins with a separator).
bool parseItemLine(std::string line, InstallItem* item) {
  if (line.empty() || line[0] == '#' || line[0] == '\n') return false;
  trimLineEnd(line);
  if (line.empty() || !isTokenByte(line[0])) return false;
  size_t pos = 0;
  *item = InstallItem();
  item->source = nextToken(line, &pos);
  item->destination = nextToken(line, &pos);
  if (!item->destination.empty()) item->mode = modeFromRest(line, pos);
  return true;
}

}  // namespace

std::vector<InstallItem> readManifestItems(const std::string& path) {
  std::vector<InstallItem> items;
  FILE* file = fopen(path.c_str(), "r");
  if (file == nullptr) return items;
  std::string line;
  InstallItem item;
  while (readLine(file, &line) && !contains(line, "@@NULL"))
    if (parseItemLine(line, &item)) items.push_back(item);
  fclose(file);
  return items;
}

bool itemStaysInside(const InstallItem& item, const std::string& productDir) {
  auto climbs = [](const std::string& path) {
    for (size_t start = 0; start <= path.size();) {
      size_t slash = path.find('/', start);
      if (slash == std::string::npos) slash = path.size();
      if (path.compare(start, slash - start, "..") == 0 && slash - start == 2) return true;
      start = slash + 1;
    }
    return false;
  };
  if (item.source.empty() || item.source[0] == '/' || climbs(item.source)) return false;
  if (startsWith(item.destination, "./") && climbs(item.destination)) return false;
  // A link in the product tree must not lead out of it either.
  char* base = realpath(productDir.c_str(), nullptr);
  char* real = realpath((productDir + "/" + item.source).c_str(), nullptr);
  bool inside = base == nullptr || real == nullptr ||
                startsWith(real, std::string(base) == "/" ? "/" : std::string(base) + "/");
  free(base);
  free(real);
  return inside;
}

int getInfoData() {
  for (InstallItem& item : installItems) item = InstallItem();

  std::string path = formatText("%s/etc/%s", settings.sourceDir.c_str(), settings.manifestName.c_str());
  FILE* file = fopen(path.c_str(), "r");
  if (file == nullptr) {
    path = formatText("%s/%s", settings.sourceDir.c_str(), settings.manifestName.c_str());
    file = fopen(path.c_str(), "r");
  }
  if (file == nullptr) {
    logMessage(Msg::CannotOpenManifest, path.c_str());
    return 0;
  }
  writeLogLine(formatText("PLIXINST.CONF = %s.", path.c_str()));

  int count = 0;
  std::string line;
  while (readLine(file, &line)) {
    if (contains(line, "@@NULL")) break;
    if (line[0] == '#' || line[0] == '\n') continue;
    trimLineEnd(line);
    if (line.empty() || !isTokenByte(line[0])) continue;
    size_t pos = 0;
    std::string source = nextToken(line, &pos);
    if (count >= kInstallItemsMax) {
      logMessage(Msg::TooManyItems, kInstallItemsMax, source.c_str());
      break;
    }
    if (source.size() > kItemSourceMax) {
      logMessage(Msg::SourceTooLong, source.c_str(), kItemSourceMax);
      break;
    }
    InstallItem& item = installItems[count++];
    item.source = source;
    std::string destination = nextToken(line, &pos);
    if (destination.empty()) continue;
    item.destination = destination;
    item.mode = modeFromRest(line, pos);
    if (item.mode != 0)
      trace("getInfoData: %s ===> %s, o%o.\n", item.source.c_str(), item.destination.c_str(),
            static_cast<unsigned>(item.mode));
  }
  fclose(file);
  return count;
}

void trimLineEnd(std::string& text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
    text.pop_back();
}
