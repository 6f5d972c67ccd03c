#pragma once

// What kestra-cli writes to its standard output and error, on its way to a
// terminal. Text from files, the instrument and the command line is written
// there too (a file name, a tonewheel's name, a mistyped argument), and a
// terminal takes control characters as commands: every byte written through
// std::cout and std::cerr is escaped where it is not plain text
// (model/SafeText.h: control characters but line feed and tab, invalid
// UTF-8, bidirectional controls), whichever part of the program writes it.
//
// A write that fails (a closed pipe, a full disk, a closed descriptor) is
// noticed, so that the program can end with an error instead of success.

#include <iosfwd>
#include <string>

namespace kestra::cli
{

// Puts the filter between std::cout, std::cerr and their streams.
void installTerminalOutput();

// Writes text as it is, the filter's escaping left out (the progress bar's
// carriage return).
void writeUnescaped(std::ostream& stream, const std::string& text);

// Whether a write to the standard output or error has failed, and why
// ("standard output: No space left on device"). Flushes both first.
bool outputFailed();
bool errorOutputFailed();
std::string outputFailure();

} // namespace kestra::cli
