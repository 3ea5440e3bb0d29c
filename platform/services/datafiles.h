// The data folder beside the program and the small text files in it. Files are written whole and
// replaced atomically (written beside, then renamed), so a failure never leaves a truncated file.
#pragma once

#include <optional>
#include <string>

namespace kv::files {

// programFolder + "/paz/l/s/r".
std::string dataFolder(const std::string& programFolder);
// The path of one data file: dataFolder(programFolder) + "/" + name.
std::string dataFile(const std::string& programFolder, const std::string& name);

// Writes `text` unchanged followed by CR LF. False when the file cannot be written; the file is
// then left as it was.
bool writeText(const std::string& path, const std::string& text);
// Writes a whole number: a blank (a minus sign for a negative number), the digits, a blank, CR LF.
// So 1 is stored as the bytes 20 31 20 0D 0A.
bool writeNumber(const std::string& path, long value);
// Replaces the file with exactly these bytes (to put back what readAll gave).
bool writeBytes(const std::string& path, const std::string& bytes);
// The whole content of a file; nullopt when it cannot be read, is no regular file (after
// following a link) or is larger than 64 MB.
std::optional<std::string> readAll(const std::string& path);
// The bytes of a picture file, read by the same rule: nullopt when it is missing, no regular file
// (after following a link: a pipe, a device or a folder counts as missing) or larger than 4 MB.
std::optional<std::string> readPicture(const std::string& path);
// Reads the first item: leading blanks skipped; an item that begins with a double quote runs to
// the next double quote (taken without both; to the end when there is none); any other runs up to
// the first comma, CR or LF (not included). Only the item is read, at most its first 64 KB.
// nullopt when the file cannot be opened or read, or is no regular file (after following a
// link): a pipe, a device or a folder counts as missing.
std::optional<std::string> readFirstItem(const std::string& path);
// The first-item rule applied to text already in memory.
std::string firstItemOf(const std::string& content);

// The length of a file in bytes; nullopt when it cannot be read.
std::optional<long long> fileLength(const std::string& path);
bool isFile(const std::string& path);
bool isFolder(const std::string& path);
// Creates an empty file (fails when the folder is missing). False on failure; an existing file is
// left as it is and gives false.
bool createEmptyFile(const std::string& path);
// Creates one folder (not its parents). False on failure, an existing folder included.
bool createFolder(const std::string& path);
// Deletes the regular files directly inside `folder`; folders, links and anything outside stay.
void emptyFolder(const std::string& folder);

}  // namespace kv::files
