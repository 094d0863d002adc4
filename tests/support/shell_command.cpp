#include "tests/support/shell_command.h"

#include <sys/wait.h>

#include <cstdio>

std::string ShellQuote(std::string_view text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

int RunCommand(const std::string& command, std::string* output) {
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return -1;
    std::string text;
    char block[65536];
    size_t got = 0;
    while ((got = std::fread(block, 1, sizeof block, pipe)) > 0)
        text.append(block, got);
    const int status = ::pclose(pipe);
    if (output != nullptr)
        *output = std::move(text);
    return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::optional<std::vector<uint8_t>> CommandOutput(const std::string& command) {
    std::string text;
    if (RunCommand(command, &text) != 0)
        return std::nullopt;
    return std::vector<uint8_t>(text.begin(), text.end());
}
