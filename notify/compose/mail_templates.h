#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace raid {

// TemplateDirectory + "EmailSubject " / "EmailContens " + caption + ".txt";
// `kind` is 1..4.
std::string SubjectTemplatePath(const std::string& directory, std::uint8_t kind);
std::string ContentsTemplatePath(const std::string& directory, std::uint8_t kind);

// The file's lines, as CleanStoredText leaves them: only LF ends a line,
// CR and NUL are dropped, a file in the ANSI code page is read as
// Windows-1252. Empty when the file is missing or cannot be read.
std::vector<std::string> LoadTemplate(const std::string& path);
// Saves the lines with CR LF line ends, replacing the file in one step.
// Returns an error text, empty on success.
std::string SaveTemplate(const std::string& path, const std::vector<std::string>& lines);
// Deletes the file when it exists. Returns an error text.
std::string DeleteTemplate(const std::string& path);

}  // namespace raid
