// Every fixed path and version text of the product, once.
#pragma once

// The product's version, as the archive name and the usage text give it.
inline constexpr const char* kProductVersion = "4.0-8";

// The installation base directory unless -u says otherwise, and its bin directory
// (from which setup may also be run).
inline constexpr const char* kDefaultInstallDir = "/opt/zed";
inline constexpr const char* kInstalledBinDir = "/opt/zed/bin";

// The product's second, fixed PPD directory, searched after ppdInstallDir.
inline constexpr const char* kFixedPpdDir = "/opt/zed/ppd";
// The product's PPD directory below the system PPD tree.
inline constexpr const char* kSharePpdZed = "/usr/share/ppd/zed";
inline constexpr const char* kOptPpdZed = "/usr/opt/ppd/zed";

// The product's relay and SELinux policy module in the default installation.
inline constexpr const char* kInstalledNetcat = "/opt/zed/bin/zannc";
inline constexpr const char* kPolicyModule = "/opt/zed/etc/plix.pp";
inline constexpr const char* kInstalledFilter = "/opt/zed/bin/zangsfilter";

// The filter link in the system's command directory.
inline constexpr const char* kFilterLink = "/usr/bin/zangsfilter";

// The Update log (a non-root run appends "_<uid>") and the carry-over report.
inline constexpr const char* kUpdateLogPath = "/var/log/Plix4.0_UpdateLog";
inline constexpr const char* kCarryOverReportPath = "/var/log/Plix4.0_CarryOver";

// The archive of the earlier release's PPDs.
inline constexpr const char* kPpdArchivePath = "/var/tmp/PlixPPDFiles4.0-8.tar";

// The scheduler's copies of the queues' PPDs (below cupsBaseDir when that is set).
inline constexpr const char* kCupsPpdDir = "/etc/cups/ppd";
