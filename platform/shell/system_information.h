#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// What the about box tells of the machine: its memory, and the system's name and version, read
// from Linux (/proc/meminfo, /etc/os-release and the kernel's release) where the Windows
// program asked for its memory status and version record.
struct SystemInformation {
    // Total memory in MiB; none when it could not be read.
    std::optional<uint64_t> memoryMiB;
    // The distribution's name, "PRETTY_NAME" of os-release (else its "NAME" and "VERSION"),
    // or "Linux" when none is known.
    std::string systemName;
    // The kernel's name and release, such as "Linux 6.1.0-18-amd64"; empty when unknown.
    std::string kernel;

    // Reads the running machine; `root` replaces "/" for tests.
    static SystemInformation Read(const std::filesystem::path& root = "/");

    // "MemTotal:  16318508 kB" of a /proc/meminfo text, in MiB.
    static std::optional<uint64_t> MemoryFromMeminfo(std::string_view text);
    // The name os-release gives: PRETTY_NAME, else NAME with VERSION; empty when neither is
    // there. Values may be quoted with " or ' and use backslash escapes.
    static std::string NameFromOsRelease(std::string_view text);

    // Longest file read, and longest value kept.
    static constexpr uint64_t kMaxFileBytes = 64 * 1024;
    static constexpr size_t kMaxValueBytes = 256;
};
