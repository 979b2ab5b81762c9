// The local name of a downloaded stretch: the video storage folder, then
// "20" and the year, month, day and hour digits, then the chosen start minute
// and second; "_0", "_1", ... when a file of that name exists with any
// extension; ".amg" last.
#pragma once

#include <string>

#include "client/sessions/file_download_record.h"

namespace sessions {

// The video storage folder (the registry's "SavePath01" of the video key),
// created with its parents if missing; empty when it is not set or cannot
// be created.
std::string VideoStorageFolder();

// `folder` + "20YYMMDDHH" from the record's BCD date and hour. A folder
// without a final separator gets one.
std::string DownloadPathStem(const std::string& folder, const FileDownloadRecord& record);

// `stem` + the record's start minute and second, made unique against any
// extension, with ".amg".
std::string UniqueDownloadName(const std::string& stem, const FileDownloadRecord& record);

// Whether the chosen stretch is a range at all: start before end.
bool IsDownloadRangeValid(const FileDownloadRecord& record);

}  // namespace sessions
