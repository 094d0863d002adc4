#include "tests/support/fake_sysfs.h"

#include "tests/support/scoped_env.h"

#include <fstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace fs = std::filesystem;

namespace {

std::string Number(dev_t device) {
    return std::to_string(major(device)) + ":" + std::to_string(minor(device));
}

} // namespace

void FakeSysfs::AddDevice(const fs::path& folder, dev_t device, bool partition) {
    const fs::path root = Root();
    fs::create_directories(root / folder);
    std::ofstream(root / folder / "dev") << Number(device) << "\n";
    if (partition)
        std::ofstream(root / folder / "partition") << "1\n";
    fs::create_directories(root / "dev" / "block");
    fs::create_directory_symlink(fs::path("../..") / folder,
                                 root / "dev" / "block" / Number(device));
}

void FakeSysfs::AddDisk(const std::string& name, dev_t disk, const std::vector<dev_t>& partitions) {
    const fs::path folder = fs::path("devices/fake/block") / name;
    AddDevice(folder, disk, false);
    for (size_t i = 0; i < partitions.size(); ++i)
        AddDevice(folder / (name + std::to_string(i + 1)), partitions[i], true);
}

void FakeSysfs::AddDiskHolding(const std::string& name, dev_t disk,
                               const std::vector<fs::path>& paths) {
    std::vector<dev_t> partitions;
    for (const fs::path& path : paths)
        partitions.push_back(FileSystemDevice(path));
    AddDisk(name, disk, partitions);
}

OneDiskOrTwo::OneDiskOrTwo(const fs::path& source, const fs::path& destination) {
    m_oneDisk.AddDiskHolding("sdx", makedev(250, 0), {source, destination});
    m_twoDisks.AddDiskHolding("sdx", makedev(250, 0), {source});
    m_twoDisks.AddDiskHolding("sdy", makedev(250, 16), {destination});
}

std::vector<OneDiskOrTwo::Case> OneDiskOrTwo::Cases() const {
    return {
        {"the system's own tree", "/sys", false},
        {"partitions of one disk", m_oneDisk.Root(), true},
        {"partitions of two disks", m_twoDisks.Root(), false},
    };
}

dev_t FileSystemDevice(const fs::path& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 ? status.st_dev : 0;
}

std::unique_ptr<TempDir> TempDirOnAnotherFileSystem() {
    const TempDir usual;
    std::unique_ptr<TempDir> other;
    {
        ScopedEnv place("TMPDIR", "/dev/shm");
        std::error_code error;
        if (!fs::is_directory("/dev/shm", error))
            return nullptr;
        other = std::make_unique<TempDir>();
    }
    if (other->Path().empty() || FileSystemDevice(other->Path()) == FileSystemDevice(usual.Path()))
        return nullptr;
    return other;
}
