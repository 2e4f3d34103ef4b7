// The measuring tool of bench/carry_over, on the CUPS PPD library:
//   score choose PPD SEED          lpadmin options choosing a random non-default choice
//                                  for each option of PPD, one "-o KW=CHOICE" a line
//   score mutate PPD SEED          PPD as a plausible next release on standard output:
//                                  one choice line gone from a few options, a choice
//                                  added to one, a default line moved before its block
//   score check OLD NEW INSTALLED  one line "eligible in-effect invalid changed": chosen
//                                  defaults of the queue PPD OLD whose option and choice
//                                  NEW offers, how many of them INSTALLED has in effect,
//                                  options of INSTALLED naming no choice they offer, and
//                                  lines other than default lines that differ from NEW
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <cups/ppd.h>
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string readAll(const char* path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Lines with their endings.
std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string::npos) end = text.size() - 1;
    else if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
    out.push_back(text.substr(pos, end + 1 - pos));
    pos = end + 1;
  }
  return out;
}

bool isDefaultLine(const std::string& line) { return line.rfind("*Default", 0) == 0; }

std::string effective(ppd_file_t* ppd, ppd_option_t* o) {
  ppd_choice_t* m = ppdFindMarkedChoice(ppd, o->keyword);
  if (m != nullptr) return strcasecmp(m->choice, "Custom") == 0 ? o->defchoice : m->choice;
  ppd_choice_t* own = ppdFindChoice(o, o->defchoice);
  return own ? own->choice : "";
}

int choose(const char* path, int seed) {
  ppd_file_t* ppd = ppdOpenFile(path);
  if (ppd == nullptr) return 1;
  srand(static_cast<unsigned>(seed));
  for (ppd_option_t* o = ppdFirstOption(ppd); o; o = ppdNextOption(ppd)) {
    if (o->num_choices < 2 || strcasecmp(o->keyword, "PageRegion") == 0) continue;
    const char* c = o->choices[rand() % o->num_choices].choice;
    if (strcmp(c, o->defchoice) != 0 && strcmp(c, "Custom") != 0) printf("-o %s=%s\n", o->keyword, c);
  }
  ppdClose(ppd);
  return 0;
}

int mutate(const char* path, int seed) {
  ppd_file_t* ppd = ppdOpenFile(path);
  if (ppd == nullptr) return 1;
  srand(static_cast<unsigned>(seed));
  // Choice lines to drop ("*KW CHOICE"), one option to gain a choice, one default to move.
  std::map<std::string, bool> drop;
  std::string gain, move;
  for (ppd_option_t* o = ppdFirstOption(ppd); o; o = ppdNextOption(ppd)) {
    if (strcasecmp(o->keyword, "PageRegion") == 0 || strcasecmp(o->keyword, "PageSize") == 0) continue;
    const char* c = o->choices[rand() % o->num_choices].choice;
    if (o->num_choices > 2 && rand() % 4 == 0 && strcmp(c, o->defchoice) != 0)
      drop["*" + std::string(o->keyword) + " " + c] = true;
    else if (gain.empty() && rand() % 3 == 0) gain = o->keyword;
    else if (move.empty() && rand() % 3 == 0) move = o->keyword;
  }
  ppdClose(ppd);
  std::vector<std::string> in = lines(readAll(path));
  std::string moved;
  std::vector<std::string> out;
  for (const std::string& line : in) {
    size_t cut = line.find_first_of("/:");
    std::string head = cut == std::string::npos ? line : line.substr(0, cut);
    // Only single-line choice statements are dropped, so no quoted value is cut open.
    if (drop.count(head) && std::count(line.begin(), line.end(), '"') != 1) continue;
    if (!move.empty() && line.rfind("*Default" + move + ":", 0) == 0 && moved.empty()) {
      moved = line;
      continue;
    }
    out.push_back(line);
    if (!gain.empty() && line.rfind("*OpenUI *" + gain, 0) == 0) {
      std::string ending = line.substr(line.find_last_not_of("\r\n") + 1);
      out.push_back("*" + gain + " NextRelease/Next release: \"\"" + ending);
    }
  }
  for (const std::string& line : out) {
    if (!moved.empty() && (line.rfind("*OpenUI *" + move, 0) == 0 || line.rfind("*JCLOpenUI *" + move, 0) == 0))
      std::cout << moved;
    std::cout << line;
  }
  return 0;
}

int check(const char* oldPath, const char* newPath, const char* installedPath) {
  ppd_file_t* old = ppdOpenFile(oldPath);
  ppd_file_t* shipped = ppdOpenFile(newPath);
  ppd_file_t* now = ppdOpenFile(installedPath);
  if (!old || !shipped || !now) {
    printf("0 0 0 0 unreadable\n");
    return 0;
  }
  ppdMarkDefaults(now);
  int eligible = 0, inEffect = 0, invalid = 0, changed = 0;
  for (ppd_option_t* o = ppdFirstOption(old); o; o = ppdNextOption(old)) {
    ppd_choice_t* c = ppdFindChoice(o, o->defchoice);
    ppd_option_t* n = ppdFindOption(shipped, o->keyword);
    if (!c || !n || !ppdFindChoice(n, c->choice)) continue;
    ++eligible;
    ppd_option_t* i = ppdFindOption(now, o->keyword);
    if (i && strcasecmp(effective(now, i).c_str(), c->choice) == 0) ++inEffect;
  }
  for (ppd_option_t* o = ppdFirstOption(now); o; o = ppdNextOption(now))
    if (o->defchoice[0] && effective(now, o).empty()) ++invalid;
  std::vector<std::string> a, b;
  for (const std::string& l : lines(readAll(newPath))) if (!isDefaultLine(l)) a.push_back(l);
  for (const std::string& l : lines(readAll(installedPath))) if (!isDefaultLine(l)) b.push_back(l);
  // Lines of either side without a partner on the other (a line-ending change counts).
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  std::vector<std::string> only;
  std::set_symmetric_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(only));
  changed = static_cast<int>(only.size());
  printf("%d %d %d %d\n", eligible, inEffect, invalid, changed);
  ppdClose(old);
  ppdClose(shipped);
  ppdClose(now);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string verb = argc > 1 ? argv[1] : "";
  if (verb == "choose" && argc == 4) return choose(argv[2], atoi(argv[3]));
  if (verb == "mutate" && argc == 4) return mutate(argv[2], atoi(argv[3]));
  if (verb == "check" && argc == 5) return check(argv[2], argv[3], argv[4]);
  fprintf(stderr, "usage: score choose PPD SEED | mutate PPD SEED | check OLD NEW INSTALLED\n");
  return 2;
}
