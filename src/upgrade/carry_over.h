// The carry-over of a queue's chosen defaults into the product's new PPD, as decisions
// that touch nothing (the rewritten text and the rows it plans), a check of an installed
// PPD against those decisions with the PPD library, and the carry-over report.
// The queue upgrade (queue_upgrade.cc) acts on them; a dry run can call the same
// functions and show the same rows without changing the machine.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// One chosen default of a queue's old PPD: the option keyword as the old PPD spells
// it, and the choice (a custom value "Custom.<value>" included).
struct OldDefault {
  std::string keyword;
  std::string choice;
};

// What became of one chosen default (or of a whole queue).
enum class CarryOutcome {
  Carried,           // the old choice is in effect
  ChoiceGone,        // the new option no longer offers it: the new PPD's default stays
  OptionGone,        // the new PPD has no such option
  CustomNotOffered,  // a custom value, and the new option takes none
  Mismatch,          // the installed PPD does not have the intended choice in effect
  NotUpgraded,       // the queue was left as it was (see CarryRow::reason)
};

// One row of the report.
struct CarryRow {
  std::string queue;
  std::string option;     // keyword without asterisk; "-" on a NotUpgraded row
  std::string oldChoice;  // "-" when the old PPD had no chosen default for it
  std::string nowChoice;  // the choice in effect afterwards; "-" when none
  CarryOutcome outcome = CarryOutcome::Carried;
  std::string reason;     // NotUpgraded only: no-new-ppd, save-failed, build-failed,
                          // install-failed, declined, stopped, unreadable-new-ppd
};

// The choice the new PPD is meant to have in effect for one of its options: the old
// choice where it could be carried, else the new PPD's own default.
struct IntendedDefault {
  std::string keyword;  // as the new PPD spells it
  std::string choice;
};

// The decisions for one queue.
struct CarryPlan {
  std::string queue;
  bool newPpdRead = false;                // false: the new text is no PPD; text is it unchanged
  std::string text;                       // the new PPD with the carried defaults
  std::vector<CarryRow> rows;             // one per old default, in the old PPD's order
  std::vector<IntendedDefault> intended;  // every option of the new PPD that has a default
  // Message 11 of each option carried, in the order of the new PPD's lines: the keyword
  // with its asterisk as the default line spells it, and the choice written.
  std::vector<std::pair<std::string, std::string>> settings;
};

// Reads the chosen defaults of the PPD at `path` with the PPD library: each option of
// every group and sub-group whose default names one of its choices, or is a custom
// value that the option accepts; of options with equal keywords the first. False (and
// no defaults) when the file cannot be read as a PPD. Never logs.
bool readOldDefaults(const std::string& path, std::vector<OldDefault>* defaults);

// The new PPD `newText` with the old choices carried over, and the rows planned for
// `queue` (their nowChoice is what the plan intends). Every line other than a rewritten
// default line passes byte for byte, whatever its length, ending (LF, CRLF, CR) or
// bytes; comment lines and lines inside quoted values are never rewritten. Pure: no
// file, no log.
CarryPlan planCarryOver(std::string_view queue, const std::vector<OldDefault>& old,
                        std::string_view newText);

// Opens the PPD at `ppdPath` with the PPD library, marks its defaults and compares the
// choice in effect for each option with plan->intended. Each row's nowChoice becomes the
// choice in effect; a differing option turns its row into a Mismatch (an option with no
// row gets a new one) and is also appended to *mismatches. Returns the number of
// mismatches, or -1 when the file cannot be read as a PPD. Never logs.
int verifyCarryOver(const std::string& ppdPath, CarryPlan* plan, std::vector<CarryRow>* mismatches);

// The whole text of `path`, plain or gzip-compressed; false when it cannot be read.
bool readPpdText(const std::string& path, std::string* text);

// The rows a real run produces for `queue` whose PPD is `oldPpd` when `newPpd` (plain
// or gzip-compressed) is its new PPD: reads both, plans, writes the result into
// `privateDir`, verifies it there and removes it. Changes nothing else and never logs.
// A new PPD that cannot be read gives one NotUpgraded row. *unchanged: the upgrade
// would leave the queue's PPD byte for byte as it is.
std::vector<CarryRow> previewCarryOver(const std::string& queue, const std::string& oldPpd,
                                       const std::string& newPpd, const std::string& privateDir,
                                       bool* unchanged);

// A row saying that `queue` was not upgraded, and why (see CarryRow::reason).
CarryRow notUpgradedRow(const std::string& queue, std::string_view reason);

// The outcome column of a row: carried, kept-new-default:choice-gone,
// kept-new-default:option-gone, kept-new-default:custom-not-offered, mismatch, or
// not-upgraded:<reason>.
std::string outcomeText(const CarryRow& row);

// The report: a header row, one tab-separated row per entry (queue, option, old, now,
// outcome), and a summary line with the counts. Tabs, newlines and backslashes inside
// a field are written as \t, \n and \\.
std::string formatCarryReport(const std::vector<CarryRow>& rows);

// The rows of this run's queue upgrade so far (upgradeQueues adds to them).
std::vector<CarryRow>& carryOverRows();

// Writes formatCarryReport(carryOverRows()) to the report file (kCarryOverReportPath),
// mode 0644, replacing it whole. 1 written, 0 not (logged with a line of its own).
int writeCarryOverReport();
