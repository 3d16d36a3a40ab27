#pragma once
// The downloads page routine: the downloads the user started from a result list or the LG
// page, each on its own engine (download/download.h), shown on the downloads page a few
// times a second. The window never waits on an engine: engines run on their own threads,
// and one that is let go while it may still run (removed, or the window closing) stops on
// a job named "download ADDRESS" (the program's exit waits longer for those, as a stopping
// engine syncs what it wrote). Unfinished downloads are listed in downloads.ini in the
// user's config folder and come back paused.
#include <QString>
#include <cstdint>
#include <string>
#include <string_view>

class MainWindow;

struct DownloadSettings {
    QString folder;  // where new downloads go
    int connections = 4;
};
// The user's download folder plus "Romhaul/".
QString defaultDownloadFolder();
// What new downloads use: the defaults until the settings change them.
DownloadSettings& downloadSettings();

// A size as a vendor lists it ("1.52GB", "803.49 MB", "36 K", "123456" bytes) and how far
// the file may be off it: the rounding of its last digit, and either meaning of a kilo
// (1000 or 1024), which vendors do not say. bytes == 0 when the text is not a size.
struct ListedSize {
    std::uint64_t bytes = 0;
    std::uint64_t slack = 0;
};
ListedSize parseListedSize(std::string_view text);

// Makes the list behind the window's downloads page and brings back the unfinished
// downloads of the last run, paused. bindHandlers calls it once per window.
void attachDownloads(MainWindow& window);

// Starts downloading `address` (program text) into the download folder, or resumes the
// unfinished download of the same address there; `listedSize` is the result list's size
// text. Answers an address that cannot be downloaded with a message box.
void startDownload(const std::string& address, const std::string& listedSize = {});

// The commands on the downloads page's selected rows.
void pauseSelectedDownloads();
void resumeSelectedDownloads();
// Stops them and deletes what they had fetched (NAME.part and its state).
void cancelSelectedDownloads();
// Takes them off the list; a running one is paused first, so adding it again resumes it.
void removeSelectedDownloads();
void openSelectedDownloadFolder();
void copySelectedDownloadHash();

// Where the unfinished downloads are listed.
QString downloadListPath();
