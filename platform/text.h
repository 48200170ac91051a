// Small text helpers shared by the platform's readers of settings files,
// command output and typed answers.
#pragma once

#include <string_view>

namespace vz::text {

// Spaces and tabs: what INI-style files and typed answers trim.
inline constexpr std::string_view kBlanks = " \t";
// Blanks and line ends: what line-oriented tool output and descriptor files trim.
inline constexpr std::string_view kWhitespace = " \t\r\n";

// s without its leading and trailing characters from chars (the view of
// what is left, empty when every character is one of them).
std::string_view trim(std::string_view s, std::string_view chars);

}  // namespace vz::text
