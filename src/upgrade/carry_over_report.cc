// The carry-over report: what became of each queue's chosen defaults in this run, one
// tab-separated row each, kept apart from the Update log.
#include <cerrno>
#include <cstring>

#include "base/catalogue.h"
#include "base/files.h"
#include "base/paths.h"
#include "base/update_log.h"
#include "upgrade/carry_over.h"

namespace {

constexpr CarryOutcome kOutcomes[] = {CarryOutcome::Carried, CarryOutcome::ChoiceGone,
                                      CarryOutcome::OptionGone, CarryOutcome::CustomNotOffered,
                                      CarryOutcome::Mismatch, CarryOutcome::NotUpgraded};

const char* outcomeName(CarryOutcome outcome) {
  switch (outcome) {
    case CarryOutcome::Carried: return "carried";
    case CarryOutcome::ChoiceGone: return "kept-new-default:choice-gone";
    case CarryOutcome::OptionGone: return "kept-new-default:option-gone";
    case CarryOutcome::CustomNotOffered: return "kept-new-default:custom-not-offered";
    case CarryOutcome::Mismatch: return "mismatch";
    case CarryOutcome::NotUpgraded: return "not-upgraded";
  }
  return "";
}

// A field as the report writes it: tab, newline, carriage return and backslash escaped.
std::string field(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\\': out += "\\\\"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace

CarryRow notUpgradedRow(const std::string& queue, std::string_view reason) {
  return {queue, "-", "-", "-", CarryOutcome::NotUpgraded, std::string(reason)};
}

std::string outcomeText(const CarryRow& row) {
  std::string text = outcomeName(row.outcome);
  if (row.outcome == CarryOutcome::NotUpgraded) text += ":" + row.reason;
  return text;
}

std::string formatCarryReport(const std::vector<CarryRow>& rows) {
  std::string text = "queue\toption\told\tnow\toutcome\n";
  for (const CarryRow& row : rows)
    text += field(row.queue) + "\t" + field(row.option) + "\t" + field(row.oldChoice) + "\t" +
            field(row.nowChoice) + "\t" + field(outcomeText(row)) + "\n";
  text += "summary\trows=" + std::to_string(rows.size());
  for (CarryOutcome outcome : kOutcomes) {
    size_t n = 0;
    for (const CarryRow& row : rows) n += row.outcome == outcome;
    text += std::string("\t") + outcomeName(outcome) + "=" + std::to_string(n);
  }
  return text + "\n";
}

std::vector<CarryRow>& carryOverRows() {
  static std::vector<CarryRow> rows;
  return rows;
}

int writeCarryOverReport() {
  if (replaceFile(kCarryOverReportPath, formatCarryReport(carryOverRows()), 0644)) return 1;
  logMessage(Msg::ReportNotWritten, kCarryOverReportPath, strerror(errno));
  return 0;
}
