// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestFolder.h"

#include <algorithm>
#include <csignal>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace brenvik::test {

TestFolder::TestFolder() {
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate = std::filesystem::temp_directory_path() / ("brenvik-test-" + std::to_string(rd()));
        if (std::filesystem::create_directory(candidate)) {
            m_path = candidate;
            return;
        }
    }
    throw std::runtime_error("no temporary folder");
}

TestFolder::~TestFolder() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::filesystem::path& file, std::string_view content) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

std::vector<std::string> folderContents(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

FileSizeLimit::FileSizeLimit(long long bytes) {
    // The kernel signals a write past the limit; ignored, the write fails with EFBIG instead.
    m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    m_oldLimit = limit.rlim_cur;
    limit.rlim_cur = static_cast<rlim_t>(bytes);
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
        throw std::runtime_error("cannot limit the file size");
}

FileSizeLimit::~FileSizeLimit() {
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = static_cast<rlim_t>(m_oldLimit);
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, m_oldHandler);
}

bool runningAsRoot() {
    return geteuid() == 0;
}

namespace {

// The capabilities in force of the calling thread: get them, or set them.
bool capabilities(__user_cap_data_struct (&data)[2], bool set) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return ::syscall(set ? SYS_capset : SYS_capget, &header, data) == 0;
}

} // namespace

PermissionBitsHere::PermissionBitsHere() {
    __user_cap_data_struct data[2]{};
    if (!capabilities(data, false))
        throw std::runtime_error("cannot read the capabilities");
    m_effective = data[0].effective;
    data[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    if (!capabilities(data, true))
        throw std::runtime_error("cannot drop the capabilities");
}

PermissionBitsHere::~PermissionBitsHere() {
    __user_cap_data_struct data[2]{};
    capabilities(data, false);
    data[0].effective = m_effective;
    capabilities(data, true);
}

std::vector<std::string> heldToPermissionBits(std::vector<std::string> argv) {
    if (!runningAsRoot())
        return argv;
    // A program started by root gets every capability back unless its bounding set lacks them.
    argv.insert(argv.begin(), {"/usr/bin/setpriv", "--bounding-set=-dac_override,-dac_read_search", "--"});
    return argv;
}

} // namespace brenvik::test
