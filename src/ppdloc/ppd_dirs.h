// Which PPD trees the host has, where an existing product PPD directory is, and a
// proposal for the product's PPD installation directory; logged as a summary block.
#pragma once

#include <functional>
#include <string>

enum PpdDirFlag : int {
  MODEL_DIR_FOUND = 0x001,
  FOOMATIC_DIR = 0x002,
  FOOMATIC_MAKER_DIR = 0x004,
  MODEL_CUSTOM_DIR = 0x008,
  USR_SHARE_PPD = 0x010,
  OPT_SHARE_PPD = 0x020,
  SYSTEM_PPD_DIR = 0x040,
  FOOMATIC_PRODUCT_DIR = 0x080,
  VENDOR_PPD_TREE = 0x100,
  OPENPRINTING_DIR = 0x200,
};

// 1 when `path` exists and is a directory (a link to a directory counts), else 0.
int isDirectory(const std::string& path);

// What the survey of the PPD trees concludes from which directories exist.
struct PpdLocations {
  int flags = 0;              // PpdDirFlag bits
  std::string modelDir;       // the CUPS model directory (a default when none was found)
  std::string systemDir;      // the system PPD directory (likewise; only logged)
  std::string customDir;      // "<modelDir>/custom" when the model directory was found
  std::string existing;       // an existing product PPD directory ("" when none)
  bool found = false;         // whether `existing` was found (it may outlive the finding)
  std::string proposal;       // the proposed product PPD directory ("" when none)
};

// Tells whether a path is a directory.
using DirectoryTest = std::function<bool(const std::string&)>;

// The survey's decision over the directories `isDir` reports; touches nothing.
PpdLocations decidePpdLocations(const DirectoryTest& isDir);

// Surveys the PPD trees of the host once per run: sets cupsModelDir and the proposal
// in settings.ppdInstallDir (cleared first, may stay empty); copies a found product PPD
// directory into `existingPpdDir` (never clears it). Logs the summary block. Returns
// the flag word (PpdDirFlag bits). Changes nothing on disk.
int discoverPpdLocations(std::string& existingPpdDir);
