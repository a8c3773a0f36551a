// The tolerant INI reader and the atomic whole-file writer under launcher.ini
// and video.ini. Nothing here knows any key.
#pragma once
#include <map>
#include <string>

using IniMap = std::map<std::string, std::string>;  // byte-wise key order

namespace IniFile {
bool read(const std::string& path, IniMap& map, bool stripHashComments);
// Replaces the file with exactly `text` through "<path>.tmp", flushed to disk
// before the rename. False (with `error` filled when given) leaves the old file intact.
bool writeAtomically(const std::string& path, const std::string& text, std::string* error = nullptr);
}  // namespace IniFile
