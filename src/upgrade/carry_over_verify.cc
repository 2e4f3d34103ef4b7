// The carry-over against the PPD library: the old PPD's chosen defaults, the check of
// an installed PPD, and the dry computation of a queue's rows.
#include "upgrade/carry_over.h"

// The CUPS PPD library is deprecated upstream but is what the scheduler still uses.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <cups/cups.h>
#include <cups/ppd.h>
#include <strings.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <set>

#include "base/files.h"

namespace {

struct NoCase {
  bool operator()(const std::string& a, const std::string& b) const {
    return strcasecmp(a.c_str(), b.c_str()) < 0;
  }
};

void collectGroup(ppd_group_t* group, std::set<std::string, NoCase>* seen,
                  std::vector<OldDefault>* defaults) {
  for (int o = 0; o < group->num_options; ++o) {
    ppd_option_t* option = &group->options[o];
    std::string choice = option->defchoice;
    bool custom = choice.size() > 7 && strncasecmp(choice.c_str(), "Custom.", 7) == 0;
    if (choice.empty() || ppdFindChoice(option, custom ? "Custom" : choice.c_str()) == nullptr) continue;
    if (seen->insert(option->keyword).second) defaults->push_back({option->keyword, choice});
  }
  for (int g = 0; g < group->num_subgroups; ++g) collectGroup(&group->subgroups[g], seen, defaults);
}

// The choice in effect for `option` after ppdMarkDefaults: the marked one (a custom
// value as the default line gives it); for an option the library never marks
// (PageRegion) or one another option unmarked, its default when that names a choice.
std::string choiceInEffect(ppd_file_t* ppd, ppd_option_t* option) {
  ppd_choice_t* marked = ppdFindMarkedChoice(ppd, option->keyword);
  if (marked != nullptr) return strcasecmp(marked->choice, "Custom") == 0 ? option->defchoice : marked->choice;
  ppd_choice_t* own = option->defchoice[0] ? ppdFindChoice(option, option->defchoice) : nullptr;
  return own != nullptr ? own->choice : "";
}

// Reads a whole file (plain or gzip-compressed) with the CUPS file routines.

}  // namespace

bool readOldDefaults(const std::string& path, std::vector<OldDefault>* defaults) {
  defaults->clear();
  ppd_file_t* ppd = ppdOpenFile(path.c_str());
  if (ppd == nullptr) return false;
  std::set<std::string, NoCase> seen;
  for (int g = 0; g < ppd->num_groups; ++g) collectGroup(&ppd->groups[g], &seen, defaults);
  ppdClose(ppd);
  return true;
}

int verifyCarryOver(const std::string& ppdPath, CarryPlan* plan, std::vector<CarryRow>* mismatches) {
  ppd_file_t* ppd = ppdOpenFile(ppdPath.c_str());
  if (ppd == nullptr) return -1;
  ppdMarkDefaults(ppd);
  int count = 0;
  for (const IntendedDefault& want : plan->intended) {
    ppd_option_t* option = ppdFindOption(ppd, want.keyword.c_str());
    std::string now = option != nullptr ? choiceInEffect(ppd, option) : "";
    CarryRow* row = nullptr;
    for (CarryRow& r : plan->rows)
      if (strcasecmp(r.option.c_str(), want.keyword.c_str()) == 0 && r.outcome != CarryOutcome::OptionGone) row = &r;
    if (row != nullptr) row->nowChoice = now.empty() ? "-" : now;
    if (strcasecmp(now.c_str(), want.choice.c_str()) == 0) continue;
    if (row == nullptr) {
      plan->rows.push_back({plan->queue, want.keyword, "-", "-", CarryOutcome::Mismatch, {}});
      row = &plan->rows.back();
      row->nowChoice = now.empty() ? "-" : now;
    }
    row->outcome = CarryOutcome::Mismatch;
    mismatches->push_back(*row);
    ++count;
  }
  ppdClose(ppd);
  return count;
}

bool readPpdText(const std::string& path, std::string* text) {
  cups_file_t* file = cupsFileOpen(path.c_str(), "r");
  if (file == nullptr) return false;
  char block[16384];
  ssize_t n;
  text->clear();
  while ((n = cupsFileRead(file, block, sizeof block)) > 0) text->append(block, static_cast<size_t>(n));
  // cupsFileRead gives -1 at the end of the file as on an error; only the end counts.
  bool whole = cupsFileEOF(file) != 0;
  cupsFileClose(file);
  return whole;
}

std::vector<CarryRow> previewCarryOver(const std::string& queue, const std::string& oldPpd,
                                       const std::string& newPpd, const std::string& privateDir,
                                       bool* unchanged) {
  std::string text, current;
  *unchanged = false;
  if (!readPpdText(newPpd, &text)) return {notUpgradedRow(queue, "unreadable-new-ppd")};
  std::vector<OldDefault> old;
  (void)readOldDefaults(oldPpd, &old);
  CarryPlan plan = planCarryOver(queue, old, text);
  *unchanged = readPpdText(oldPpd, &current) && current == plan.text;
  std::string file = privateDir + "/planned.ppd";
  std::vector<CarryRow> mismatches;
  if (replaceFile(file, plan.text, 0600)) (void)verifyCarryOver(file, &plan, &mismatches);
  (void)unlink(file.c_str());
  return plan.rows;
}
