// The CUPS version (server header, else local sources, else 1.4) and the CUPS data
// directory; and myTmpName, the maker of scratch files in a directory.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// Creates a new empty file "<dir>/ZANxxxxxx" exclusively (mkstemp) and returns its path
// with one "/" between directory and name; `dir` may end in "/". Only when no file can
// be made: writes "myTmpName(<dir>,<label>) Failed!" (label "ZAN" when null) to
// standard error and exits with 255.
std::string myTmpName(const std::string& dir, const char* label);

// The value for cupsVersion: the server header's version, normalized and logged as
// "CUPS Header Version : %d//HTTP", or else findCupsVersionLocally().
int getCupsVersion();

// The raw version in the "Server: CUPS/x.y" header of the CUPS server on localhost:631
// (2.4 gives 240), asked through zannc or nc; 0 when there is none. Logs nothing.
int queryCupsServerVersion();

// The version from cups-config, printers.conf, the documentation, the test pages, or
// 1400; always 1000..9999. Logs the source that answered (or message 53).
int findCupsVersionLocally();

// The first existing CUPS data directory ("<cupsBinDir>/share/cups", /usr/share/cups,
// ...); none when no candidate exists.
std::optional<std::string> findCupsDataDir();

// `v` scaled to four digits (14 gives 1400, 12345 gives 1234); v <= 0 stays as it is.
int normalizeVersion(int v);

// The digits of a version text up to its first character that is neither a digit nor
// a point ("2.4.7" gives 247, "" gives 0). Digits beyond what an int holds are dropped,
// so the leading ones, which name the version, are kept.
int versionDigits(const char* text);

// The texts the version is read from: the server's HTTP header, the output of
// cups-config, printers.conf, the documentation index, the PostScript test page and
// the banner test page.
enum class VersionSource { ServerHeader, CupsConfig, PrintersConf, DocIndex, TestPage, Banner };

// What one line of `source` says: none when it is not the line the source is read for
// (the next line is read); otherwise the raw number it names, which the reader takes
// when it is above 0 and not 100 ("1.0.0"), and otherwise stops with no answer.
std::optional<int> versionInLine(VersionSource source, std::string_view line);
