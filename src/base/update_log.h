// The Update log: one text file per run (/var/log/Plix4.0_UpdateLog, or with "_<uid>"
// for a non-root user), rewritten each run. Lines go to standard error while no log
// is open. Every line is flushed at once, so the file is complete up to the last step.
#pragma once

#include <string>

#include "base/catalogue.h"

// Opens settings.logPath for writing (truncating) and, when chcon is located, labels
// it and writes the three header lines. Returns 1 when the log is open, 0 otherwise.
int openUpdateLog(int userId);

// Writes `text` to the log (or standard error while none is open), adding a newline
// when it does not end in one, and flushes. An empty text writes nothing. Returns 1.
int writeLogLine(const std::string& text);

// Writes the closing line with the current date and time and closes the log.
void closeUpdateLog();

// True while the log file is open.
bool updateLogIsOpen();

// Formats catalogue entry `number` with the values that follow and logs the result
// when it is not empty.
void logMessage(Msg message, ...);

// A trace line (fixed English text) on standard error when debugLevel is above 0.
void trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
