#pragma once
// The program-wide objects that start-up creates and the exit routine releases. They live
// here, below the vendor and document modules, because those modules fill and read them.
#include <string>
#include <vector>

#include "platform/win_types.h"

// One model of the ZTE support site, in the order the model tree was filled.
struct ZteModel {
    std::string categoryId;  // element 2 of the model's series entry
    std::string modelId;     // the model's 36-character key
    std::string modelName;   // also the text of its tree item
    std::string fileList;    // cached file list, "" until fetched
};

// The ZTE page's model records. Only the window thread touches them.
std::vector<ZteModel>& zteModelTable();

// The JSON reader's last parse error text. Readers run on job threads too, hence the
// accessors (they lock).
void setLastParseErrorText(const std::string& text);
std::string lastParseErrorText();

// The data document module's initialiser: takes the process heap handle.
void initDocumentModule();
// The handle stored by initDocumentModule. Code that runs before start-up (tests, tools)
// still gets the process heap: the handle is taken on first use then.
win::HANDLE processHeap();

// Start step 1 and the exit routine's releasing: an empty model table, no parse error
// text and an error log of 32 empty slots.
void createProgramObjects();
void releaseProgramObjects();
