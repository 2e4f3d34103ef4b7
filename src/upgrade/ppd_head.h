// What the first lines of a PPD say about it: the product's version marker, the model
// of its "*ModelName:" line and the PDL kind. Pure functions over lines that a caller
// has read; the queue scan and the candidate index feed them from their own readers.
#pragma once

#include <string>

// The model text of a "*ModelName:" line (none -> false); sets pdlKind, and modelId
// when a table row matches.
bool parseModelNameLine(const std::string& line, int* pdlKind, int* modelId, std::string* model);

// The digit after "*% Plix version:", or -1.
int ppdVersionDigit(const std::string& line);

// The facts of one PPD's head. The first line that names a known model gives model,
// pdlKind and modelId; version is the first marker digit above 0 (-1 while none).
struct PpdHead {
  bool wantVersion = false;  // the queue scan needs the marker; a candidate search does not
  bool haveModel = false;
  std::string model;
  int pdlKind = 0;
  int modelId = 0;
  int version = -1;
};

// Examines the next line of a head for whatever `head` still lacks. Returns true once
// nothing more is needed: the model, and the marker when wanted.
bool scanHeadLine(const std::string& line, PpdHead* head);
