// Which PPD trees the host has, where an existing product PPD directory is, and a
// proposal for the product's PPD installation directory; logged as a summary block.
#pragma once

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

// Sets settings.cupsModelDir to the first of its candidates that is a directory
// ("/usr/share/cups/model" when none is); 1 when a candidate was found, 0 otherwise.
int findCupsModelDir();

// Sets the system PPD directory likewise; 1 when a candidate was found, 0 otherwise.
int findSystemPpdDir();

// The system PPD directory found by findSystemPpdDir (only logged).
const std::string& systemPpdDir();

// Surveys the PPD trees once per run: sets cupsModelDir, the system PPD directory and
// the proposal in settings.ppdInstallDir (cleared first, may stay empty); copies a found
// product PPD directory into `existingPpdDir` (never clears it). Logs the summary
// block. Returns the flag word (PpdDirFlag bits). Changes nothing on disk.
int discoverPpdLocations(std::string& existingPpdDir);
