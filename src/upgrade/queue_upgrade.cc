#include "upgrade/queue_upgrade.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/catalogue.h"
#include "base/command_locator.h"
#include "base/files.h"
#include "base/paths.h"
#include "base/questions.h"
#include "base/settings.h"
#include "base/shell.h"
#include "base/text.h"
#include "base/update_log.h"
#include "probe/cups_restart.h"
#include "probe/cups_version.h"
#include "upgrade/printer_scan.h"

namespace {

// Block size of copyFile.
constexpr size_t kCopyBlock = 40960;

// The status logged for a save or install that failed: what the shell gives for a
// command that ended with 1, as when these steps ran cp.
constexpr int kFailedStatus = 256;

void removeFile(const std::string& path) {
  if (!path.empty()) (void)unlink(path.c_str());
}

}  // namespace

int copyFile(const std::string& source, const std::string& destination) {
  FILE* in = fopen(source.c_str(), "r");
  if (in == nullptr) return 0;
  FileReplacer out;
  bool ok = out.open(destination, kKeepMode);
  std::vector<char> block(kCopyBlock);
  while (ok) {
    size_t n = fread(block.data(), 1, block.size(), in);
    if (n > 0 && !out.write(std::string_view(block.data(), n))) ok = false;
    if (n < block.size()) break;
  }
  if (ok && ferror(in)) {
    errno = EIO;
    ok = false;
  }
  fclose(in);
  int saved = errno;
  if (ok && !out.commit()) {
    ok = false;
    saved = out.error();
  }
  if (!ok) out.abandon();
  errno = saved;
  return ok ? 1 : -1;
}

std::string savedPpdPath(const std::string& ppdPath, const std::string& queueName) {
  size_t slash = ppdPath.rfind('/');
  std::string fileName = slash == std::string::npos ? ppdPath : ppdPath.substr(slash + 1);
  std::string above;
  if (slash != std::string::npos && slash > 0) {
    size_t upper = ppdPath.rfind('/', slash - 1);
    if (upper != std::string::npos) above = ppdPath.substr(0, upper + 1);
  }
  // Every file that carries a queue's name (CUPS keeps its previous PPD as "Q.ppd.O")
  // gets its own saved copy, so "Q.ppd.rpmsave" always holds the queue's own PPD.
  if (fileName == queueName + ".ppd") return above + queueName + ".ppd.rpmsave";
  return above + fileName + ".rpmsave";
}

int savePpdCopy(const std::string& ppdPath, const std::string& queueName) {
  std::string copy = savedPpdPath(ppdPath, queueName);
  // The copy gets the PPD's own mode, as cp gives a new file; whatever stands at its
  // name (a leftover copy, a planted link) is replaced, never written through.
  struct stat st;
  std::string bytes;
  bool ok = stat(ppdPath.c_str(), &st) == 0 && readWholeFile(ppdPath, &bytes) &&
            replaceFile(copy, bytes, static_cast<int>(st.st_mode & 0777));
  int status = ok ? 0 : kFailedStatus;
  logMessage(Msg::Saved, ppdPath.c_str(), copy.c_str(), status);
  return ok ? 1 : 0;
}

int installNewPpd(const std::string& ppdPath, const std::string& newFile) {
  int copied = newFile.empty() ? 0 : copyFile(newFile, ppdPath);
  int reason = errno;
  logMessage(Msg::Copied, newFile.c_str(), ppdPath.c_str(), copied == 1 ? 0 : kFailedStatus);
  if (copied < 0) logMessage(Msg::PpdNotInstalled, newFile.c_str(), strerror(reason), ppdPath.c_str());
  return copied == 1 ? 1 : 0;
}

int buildNewPpd(const std::string& ppdDir, OptListEntry* options, int optionCount,
                PListEntry* entry, std::string* outName, CarryPlan* plan) {
  outName->clear();
  const char* queue = entry->queueName.c_str();
  logMessage(Msg::Building, queue);

  std::string newPpd;
  if (findNewPpd(ppdDir, entry, entry->pdlKind, entry->modelId, &newPpd) == 0 &&
      findNewPpd(kFixedPpdDir, entry, entry->pdlKind, entry->modelId, &newPpd) == 0) {
    logMessage(Msg::NewPpdNotFound);
    return 0;
  }
  writeLogLine(formatText("PPD = %s.\n", newPpd.c_str()));

  bool compressed = contains(newPpd, ".gz");
  std::string input = makeScratchFile(scratchDirectory(), "zanin", compressed ? ".gz" : "");
  if (input.empty()) {
    logMessage(Msg::OpenProblem, "/tmp/zaninXXXXXX", queue);
    return -1;
  }
  std::string output = makeScratchFile(scratchDirectory(), "zanot", "");
  if (output.empty()) {
    removeFile(input);
    logMessage(Msg::OpenProblem, "/tmp/zanotXXXXXX", queue);
    return -1;
  }
  // Until the rewrite is complete, a failure removes both working files: an empty or
  // partial output must never reach the queue.
  auto giveUp = [&]() {
    removeFile(input);
    removeFile(output);
    return -1;
  };

  int copied = copyFile(newPpd, input);
  if (copied == 0) {
    logMessage(Msg::OpenProblem, newPpd.c_str(), queue);
    return giveUp();
  }
  if (copied < 0) {
    logMessage(Msg::WriteProblem, input.c_str(), queue);
    return giveUp();
  }

  if (compressed) {
    int status = runShell(formatText("%s -d %s", commands.gzip.c_str(), shellWord(input).c_str()));
    if (status != 0) {
      logMessage(Msg::GunzipProblem, input.c_str(), queue);
      return giveUp();
    }
    input.resize(input.rfind(".gz"));
  }

  std::string text;
  if (!readWholeFile(input, &text)) {
    logMessage(Msg::OpenProblem, input.c_str(), queue);
    return giveUp();
  }
  FILE* out = fopen(output.c_str(), "w");
  if (out == nullptr) {
    logMessage(Msg::OpenProblem, output.c_str(), queue);
    return giveUp();
  }

  *plan = processNewPPD(entry->queueName, text, options, optionCount);

  bool complete = fwrite(plan->text.data(), 1, plan->text.size(), out) == plan->text.size();
  if (fclose(out) != 0) complete = false;
  if (!complete) {
    logMessage(Msg::WriteProblem, output.c_str(), queue);
    return giveUp();
  }
  removeFile(input);
  *outName = output;
  logMessage(Msg::NewPpdMade, queue, output.c_str());
  return 1;
}

int processPrinterConfig(const std::string& queueName) {
  // A queue whose name is no plain file name ("..", "a/b") has no configuration
  // directory of its own below /opt/zed.
  if (!queueNameIsFileName(queueName)) return 0;
  std::string path = formatText("%s/%s/root/plixConfig", kDefaultInstallDir, queueName.c_str());
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return 0;
  FILE* in = fopen(path.c_str(), "r");
  if (in == nullptr) return 0;

  std::string temp = myTmpName(scratchDirectory(), "ZAN");
  FILE* out = fopen(temp.c_str(), "w");
  if (out == nullptr) {
    fclose(in);
    return 0;
  }
  std::string line;
  while (readLine(in, &line)) {
    if (contains(line, "%%PLIX_VERSION_1.0")) line = "%%PLIX_VERSION_3.0\n";
    fwrite(line.data(), 1, line.size(), out);  // NUL bytes included
  }
  bool written = !ferror(in) && !ferror(out);
  fclose(in);
  if (fclose(out) != 0) written = false;
  // A working copy that could not be written completely is dropped; the configuration
  // file is then left exactly as it was.
  if (!written) {
    removeFile(temp);
    return 0;
  }

  if (copyFile(temp, path) != 1) {
    logMessage(Msg::ConfigKept, queueName.c_str(), path.c_str(), temp.c_str());
    return 0;
  }
  removeFile(temp);
  logMessage(Msg::ConfigUpdated, queueName.c_str());
  return 1;
}

namespace {

// Checks the installed PPD of `queue` against the plan; each mismatch gets a line.
void verifyInstalledPpd(const std::string& queue, const std::string& ppdPath, CarryPlan* plan) {
  std::vector<CarryRow> mismatches;
  if (verifyCarryOver(ppdPath, plan, &mismatches) < 0) {
    logMessage(Msg::CarryUnverified, queue.c_str(), ppdPath.c_str());
    return;
  }
  for (const CarryRow& row : mismatches) {
    std::string intended;
    for (const IntendedDefault& want : plan->intended)
      if (want.keyword == row.option) intended = want.choice;
    logMessage(Msg::CarryMismatch, queue.c_str(), row.option.c_str(), row.nowChoice.c_str(), intended.c_str());
  }
}

}  // namespace

int upgradeQueues(const std::string& ppdDir, PListEntry* head, int count, int ask) {
  OptListEntry* options = newOptListEntry();
  if (options == nullptr) {
    logMessage(Msg::NoMemory);
    return 0;
  }
  options->next = options->prev = options;
  std::vector<CarryRow>& rows = carryOverRows();

  PListEntry* entry = head;
  for (int i = 0; i < count && entry != nullptr; ++i, entry = entry->next) {
    if (ask) {
      int answer = askYesNoAllBreak(formatMessage(Msg::AskUpgradeQueue, entry->queueName.c_str()));
      if (answer == ANSWER_NO) {
        rows.push_back(notUpgradedRow(entry->queueName, "declined"));
        continue;
      }
      if (answer == ANSWER_BREAK) {
        for (; i < count && entry != nullptr; ++i, entry = entry->next)
          rows.push_back(notUpgradedRow(entry->queueName, "stopped"));
        delete options;
        return 1;
      }
      if (answer == ANSWER_ALL) ask = 0;
    }

    writeLogLine(std::string(58, '='));
    logMessage(Msg::Queue, entry->queueName.c_str(), entry->ppdPath.c_str());
    int optionCount = 0;
    collectDefaults(entry->ppdPath, options, &optionCount);
    int saved = savePpdCopy(entry->ppdPath, entry->queueName);
    std::string newPpd;
    CarryPlan plan;
    int built = buildNewPpd(ppdDir, options, optionCount, entry, &newPpd, &plan);
    // The saved copy is the only other copy of the queue's settings: without it the
    // queue's PPD is not overwritten.
    int installed = 0;
    if (saved) {
      installed = installNewPpd(entry->ppdPath, newPpd);
    } else {
      logMessage(Msg::NotInstalledUnsaved, entry->queueName.c_str(), entry->ppdPath.c_str(),
                 savedPpdPath(entry->ppdPath, entry->queueName).c_str());
    }
    removeFile(newPpd);
    if (built == 0) {
      rows.push_back(notUpgradedRow(entry->queueName, "no-new-ppd"));
    } else if (built < 0) {
      rows.push_back(notUpgradedRow(entry->queueName, "build-failed"));
    } else if (!saved) {
      rows.push_back(notUpgradedRow(entry->queueName, "save-failed"));
    } else if (!installed) {
      rows.push_back(notUpgradedRow(entry->queueName, "install-failed"));
    } else {
      verifyInstalledPpd(entry->queueName, entry->ppdPath, &plan);
      rows.insert(rows.end(), plan.rows.begin(), plan.rows.end());
    }
    processPrinterConfig(entry->queueName);
    freeOptList(options);
  }

  delete options;
  restartCups();
  return 1;
}
