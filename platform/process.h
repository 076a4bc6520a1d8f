// What a command-line process needs from the system beyond files and directories: its standard
// streams, path lists, the terminal, processors, descriptors, environment and error texts.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

namespace kindprobe::platform {

// The separator appended when joining a directory and a name.
char16_t PreferredSeparator();
bool IsPathSeparator(char16_t c);

struct FileCloser {
  void operator()(std::FILE* file) const;
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Opens a path list for binary reading; null with errno's value in `error`.
FilePtr OpenListFile(const std::u16string& path, int* error);
// Standard input, switched to binary so that NULs and line ends arrive as written.
std::FILE* BinaryStandardInput();
// Standard output, switched to binary: results are written as UTF-8 bytes whatever the locale.
std::FILE* BinaryStandardOutput();

// Keeps a closed standard stream closed in effect: a placeholder that refuses the stream's use
// takes its number, so that files opened later do not become standard output or input by
// accident and writes to a closed standard output fail as they should.
void HoldClosedStandardStreams();

// Reads what `stream`'s file has for us now, up to `size` bytes, without waiting for more once
// something has arrived (unlike fread, which waits until the request is full). Bypasses the
// stream's own buffer, so the stream must not also be read through stdio. Returns the count,
// 0 at the end, -1 on an error (errno tells which).
long ReadAvailable(std::FILE* stream, void* buffer, size_t size);

bool IsTerminal(std::FILE* stream);
uint32_t ProcessorCount();
// How many files this process may have open at once; none when there is no such limit.
std::optional<uint64_t> OpenFileLimit();

// The value of an environment variable, if it is set.
std::optional<std::u16string> EnvironmentVariable(const char* name);

// The system's text for an error number of OpenStatus or List, as UTF-8.
std::string ErrorText(int code);

}  // namespace kindprobe::platform
