#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Running the oracle tools (icat, unzip, python3) from tests.

// The text in single quotes for /bin/sh, quotes inside it escaped.
std::string ShellQuote(std::string_view text);

// What a shell command prints on its standard output; nullopt when it cannot run or exits
// with a nonzero status.
std::optional<std::vector<uint8_t>> CommandOutput(const std::string& command);

// The command's exit status (-1 when it cannot run or is killed); its standard output goes to
// `output` when given.
int RunCommand(const std::string& command, std::string* output = nullptr);
