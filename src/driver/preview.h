// The dry run of setup (-n): what an install/upgrade run would do, or with -d what an
// uninstallation would remove, printed to standard output while nothing on the host
// changes. The run sequence probes the host as always, but with the Update log and
// every scratch file in a private directory that the preview removes before it ends;
// no SELinux module is loaded, nothing is labelled, copied, rewritten or restarted.
// The carry-over rows are computed by the queue upgrade's own functions on the
// product's new PPDs (those the manifest ships), so they are the rows the real run's
// report gets.
#pragma once

#include <string>

// Exit statuses of a preview: every chosen default would be carried (or the removal was
// listed); some would not (or a queue would not be upgraded); no preview could be made.
inline constexpr int kPreviewCarried = 0;
inline constexpr int kPreviewNotCarried = 1;
inline constexpr int kPreviewError = 2;

// -n was given.
bool previewing();
void setPreviewing();

// Makes the private directory (below $TMPDIR or /tmp, mode 0700) and points the
// scratch files, TMPDIR and the Update log into it. False (with a line on standard
// error) when it cannot be made.
bool beginPreview();

// The Update log's path inside the private directory.
std::string previewLogPath();

// After the probes: prints the preview of the branch that -d chooses, removes the
// private directory and returns the exit status.
int runPreview();

// Ends a preview that could not be made: prints why on standard error (with the lines
// the run logged into its private log), removes the private directory, returns
// kPreviewError.
int previewFailed(const std::string& why);
