#pragma once
// What a download still needs, saved beside NAME.part so that a later run continues it:
// the address, the length and validator the server gave, and the byte ranges not yet on
// disk. Written whole or not at all (a temporary file, fsync, rename).
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace download {

struct ResumeState {
    std::string url;
    std::uint64_t length = 0;
    std::string validator;
    bool ranges = false;  // the server answers ranges: the gaps are worth resuming
    std::vector<std::pair<std::uint64_t, std::uint64_t>> gaps;  // [from, to), sorted
};

std::string resumeStateText(const ResumeState& s);
// False for anything but a whole, consistent state (a cut or edited file included).
bool parseResumeState(const std::string& text, ResumeState& out);

bool readResumeState(const std::string& path, ResumeState& out);
bool writeResumeState(const std::string& path, const ResumeState& s);

// Writes PATH.tmp, syncs it, renames it over PATH and syncs the folder: a crash at any
// moment leaves the old PATH or the new one.
bool writeFileAtomically(const std::string& path, const std::string& text);
// Makes a rename or creation in the folder of `path` durable.
void syncFolder(const std::string& path);

}  // namespace download
