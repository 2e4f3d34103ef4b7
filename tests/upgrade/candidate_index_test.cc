// The scan of a PPD's head over lines in memory, and the candidate index against the
// search that opens every candidate in turn, over two scratch directories.
#include <unistd.h>

#include <cups/file.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/catalogue.h"
#include "base/update_log.h"
#include "upgrade/candidate_index.h"
#include "upgrade/model_table.h"
#include "upgrade/printer_scan.h"

namespace {

int idOf(const char* row) { return modelTable[findModelRow(row)].id; }

TEST(HeadScan, FirstKnownModelFirstMarkerAboveZeroAndWhereTheScanStops) {
  // "LINES-TAKEN MODEL KIND HAVE-MODEL:ID VERSION" once the scan needs nothing more.
  auto scan = [](bool wantVersion, std::vector<std::string> lines) {
    PpdHead head;
    head.wantVersion = wantVersion;
    size_t taken = 0;
    while (taken < lines.size() && !scanHeadLine(lines[taken++], &head)) {}
    return std::to_string(taken) + " " + head.model + " " + std::to_string(head.pdlKind) + " " +
           std::to_string(head.haveModel) + ":" + std::to_string(head.modelId) + " " + std::to_string(head.version);
  };
  auto known = [](const char* row) { return " 1:" + std::to_string(idOf(row)) + " "; };
  const std::string laser = "*ModelName: \"Orvex LaserPro 4200 PCL\"\n", lp = "\"Orvex LaserPro 4200 PCL\" 2";
  // The queue scan: an unknown model is passed over; markers 0 and none do not count, the first
  // digit above 0 does, even a 2; stops once model and marker are known.
  EXPECT_EQ(scan(true, {"*% Plix version: 0\n", "*ModelName: \"Zeta 9 PCL\"\n", laser, "*% Plix version:\n",
                        "*% Plix version:2\n", "*% Plix version: 1\n"}),
            "5 " + lp + known("LaserPro 4200") + "2");
  // The first known model wins even when its window gives no kind.
  EXPECT_EQ(scan(true, {"*ModelName: \"Orvex LaserPro 4200 PCL 6 Series\"\n", laser}),
            "2 \"Orvex LaserPro 4200 PCL 6 Series\" 0" + known("LaserPro 4200") + "-1");
  // A candidate needs no marker; its reader gives lines without "\n" (a "\r" may stay).
  EXPECT_EQ(scan(false, {"*PPD-Adobe: \"4.3\"", "*ModelName: \"Orvex OfficeLine 2600 PXL\"\r", laser}),
            "2 \"Orvex OfficeLine 2600 PXL\" 3" + known("OfficeLine 2600") + "-1");
  EXPECT_EQ(scan(false, {"*% Plix version: 1\n", "*NickName: \"Orvex LaserPro 4200 PS\"\n"}), "2  0 0:0 -1");
}

// A small product PPD of `model` (gzip-compressed when the name ends in ".gz").
void ppd(const std::string& path, const std::string& model) {
  cups_file_t* out = cupsFileOpen(path.c_str(), path.ends_with(".gz") ? "w9" : "w");
  ASSERT_NE(out, nullptr);
  cupsFilePrintf(out, "*PPD-Adobe: \"4.3\"\n*%% Plix version: 1\n*ModelName: \"Orvex %s\"\n", model.c_str());
  cupsFileClose(out);
}

// The search as it was before the index: every entry opened in directory order until the match.
int literalSearch(const std::string& directory, const PListEntry& entry, std::string* path) {
  logMessage(Msg::PpdDirectory, directory.c_str());
  for (const auto& e : std::filesystem::directory_iterator(directory)) {
    std::string model;
    int kind = 0, id = 0;
    if (readPpdModel(e.path(), &kind, &id, &model) && model.starts_with(entry.modelName) && id == entry.modelId &&
        kind == entry.pdlKind)
      return *path = e.path(), 1;
  }
  return 0;
}

using Search = int (*)(const std::string&, const PListEntry&, std::string*);

TEST(CandidateIndex, GivesTheResultAndTheLinesOfTheSearchThatOpensEveryCandidate) {
  std::string root = std::string(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") + "/index_test.XXXXXX";
  ASSERT_NE(mkdtemp(root.data()), nullptr);
  const std::string a = root + "/a", b = root + "/b";
  for (const std::string& dir : {a + "/sub", b}) std::filesystem::create_directories(dir);
  // Searches the two directories in turn, as the lookup and the build do; the result, the
  // path found and everything logged (the log is not open, so all goes to standard error).
  auto searchBoth = [&](Search search, const PListEntry& entry) {
    std::string path;
    testing::internal::CaptureStderr();
    int found = search(a, entry, &path) || search(b, entry, &path);
    return std::to_string(found) + " " + path + "\n" + testing::internal::GetCapturedStderr();
  };
  std::vector<std::string> models;
  for (const char* row : {"LaserPro 4200", "ColorPage 7350", "OfficeLine 2600", "LaserPro 1100", "LaserPro 2100",
                          "LaserPro 1400", "LaserPro 2200", "LaserPro 1250"})
    for (const char* kind : {" PCL", " PS", " PXL"}) models.push_back(std::string(row) + kind);
  for (size_t i = 0; i < models.size(); ++i) ppd(a + "/m" + std::to_string(i) + ".ppd", models[i]);
  // Duplicates (plain and compressed), a model only in a compressed file, a file
  // without a model, a directory, links that cannot be opened; the second directory
  // has a model of its own, a duplicate of the first one's and a link of its own.
  for (int i : {0, 4, 8, 1}) ppd(a + "/dup" + std::to_string(i) + (i == 1 ? ".ppd.gz" : ".ppd"), models[i]);
  ppd(a + "/only.ppd.gz", "LaserPro 4200 DN PCL");
  std::ofstream(a + "/readme.txt") << "no model here\n";
  for (std::string link : {a + "/gone.ppd", a + "/gone2.ppd", b + "/gone.ppd"}) symlink("/nowhere", link.c_str());
  ppd(b + "/second.ppd", "LaserPro 1200 PS");
  ppd(b + "/dup2.ppd", models[2]);
  // The product PPDs in directory order; the last one is given a model of its own (written
  // in place, so the order stays), so that one search walks the whole first directory.
  std::vector<std::string> order;
  for (const auto& e : std::filesystem::directory_iterator(a))
    if (e.is_regular_file() && !e.is_symlink() && e.path().string().find(".ppd") != std::string::npos)
      order.push_back(e.path().filename());
  ppd(a + "/" + order.back(), "LaserPro 1200 MFP PXL");
  models.insert(models.end(),
                {"LaserPro 4200 DN PCL", "LaserPro 1200 PS", "LaserPro 1400 Plus PS", "LaserPro 1200 MFP PXL"});

  // A queue for every model (the last one found nowhere), and one named by a prefix of it.
  std::vector<PListEntry> queues;
  for (const std::string& model : models) {
    PListEntry queue;
    queue.modelId = idOf(model.c_str());
    queue.pdlKind = model.ends_with(" PCL") ? 2 : model.ends_with(" PXL") ? 3 : 1;
    const std::string name = "\"Orvex " + model + "\"";
    for (const std::string& n : {name, name.substr(0, name.size() - 5)}) queues.push_back((queue.modelName = n, queue));
  }

  resetCandidateIndex();
  Search indexed = [](auto& d, auto& e, auto* p) { return findNewPpd(d, &e, e.pdlKind, e.modelId, p); };
  std::vector<std::string> answers;
  std::string all;
  for (const PListEntry& queue : queues) {
    all += answers.emplace_back(searchBoth(indexed, queue));
    EXPECT_EQ(answers.back(), searchBoth(literalSearch, queue)) << queue.modelName;
  }
  // The cases the world was made for did occur: matches first and last in directory order,
  // in a compressed file and in the second directory; not found; unreadable heads reported.
  for (const std::string& seen : {"1 " + a + "/" + order.front() + "\n", "1 " + a + "/" + order.back() + "\n",
                                  "1 " + a + "/only.ppd.gz\n", "1 " + b + "/second.ppd\n", std::string("0 \n"),
                                  "K\366nnte '" + b + "/gone.ppd' nicht \366ffnen!\n"})
    EXPECT_NE(all.find(seen), std::string::npos) << seen;

  // Later searches answer from memory: the files are no longer read.
  std::filesystem::remove_all(a + "/m0.ppd");
  for (size_t i = 0; i < queues.size(); ++i)
    EXPECT_EQ(searchBoth(indexed, queues[i]), answers[i]) << queues[i].modelName;
  std::filesystem::remove_all(root);
}

}  // namespace
