// The floor of bench/scale: the least work an upgrade of the same queues must do, with
// nothing else. One read of every input (each candidate's head up to its *ModelName line,
// each queue's PPD and configuration file whole, the new PPD while it is copied), and per
// queue the processes and files the upgrade mandates: sh+cp for the saved copy, a working
// copy of the new PPD and sh+gzip when it is compressed, its rewrite into a second file,
// sh+cp over the queue's PPD, and the configuration file rewritten.
//
// Usage: scale_floor CANDIDATE_DIR JOBS [files]
//   JOBS: one queue a line, tab-separated: queue name, its PPD, its new PPD, its
//   configuration file. With "files" the saved copy and the copy back are written by
//   this process instead of sh+cp (as setup does them since they replace files whole).
//   Run as root inside the sandbox only (it writes /etc/cups).
#include <dirent.h>
#include <unistd.h>

#include <cups/file.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string readWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeWhole(const std::string& path, const std::string& text) {
  FILE* out = fopen(path.c_str(), "w");
  if (out == nullptr || fwrite(text.data(), 1, text.size(), out) != text.size() || fclose(out) != 0) {
    fprintf(stderr, "scale_floor: cannot write %s\n", path.c_str());
    exit(1);
  }
}

void run(const std::string& command) {
  if (system(command.c_str()) != 0) {
    fprintf(stderr, "scale_floor: failed: %s\n", command.c_str());
    exit(1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    fprintf(stderr, "usage: scale_floor CANDIDATE_DIR JOBS [files]\n");
    return 2;
  }
  bool inProcess = argc == 4 && strcmp(argv[3], "files") == 0;
  std::string dirPath = argv[1];
  if (DIR* dir = opendir(dirPath.c_str())) {
    while (struct dirent* d = readdir(dir)) {
      if (d->d_name[0] == '.') continue;
      cups_file_t* file = cupsFileOpen((dirPath + "/" + d->d_name).c_str(), "r");
      if (file == nullptr) continue;
      char line[256];
      while (cupsFileGets(file, line, sizeof line) != nullptr && strncmp(line, "*ModelName:", 11) != 0) {}
      cupsFileClose(file);
    }
    closedir(dir);
  }

  std::ifstream jobs(argv[2]);
  std::string queue, ppd, newPpd, config;
  while (std::getline(jobs, queue, '\t') && std::getline(jobs, ppd, '\t') && std::getline(jobs, newPpd, '\t') &&
         std::getline(jobs, config)) {
    std::string old = readWhole(ppd);  // the old defaults are read from it
    std::string saved = "/etc/cups/" + queue + ".ppd.rpmsave";
    if (inProcess) writeWhole(saved, old);
    else run("cp -f " + ppd + " " + saved);
    bool compressed = newPpd.find(".gz") != std::string::npos;
    std::string input = "/tmp/floorin";
    writeWhole(input + (compressed ? ".gz" : ""), readWhole(newPpd));
    if (compressed) run("gzip -d " + input + ".gz");
    writeWhole("/tmp/floorout", readWhole(input));
    unlink(input.c_str());
    if (inProcess) writeWhole(ppd, readWhole("/tmp/floorout"));
    else run("cp -f /tmp/floorout " + ppd);
    unlink("/tmp/floorout");
    writeWhole("/tmp/floorconf", readWhole(config));
    writeWhole(config, readWhole("/tmp/floorconf"));
    unlink("/tmp/floorconf");
  }
  return 0;
}
