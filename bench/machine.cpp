#include "bench/machine.h"

#include <sys/utsname.h>

#include <ctime>
#include <fstream>
#include <sstream>
#include <thread>

namespace bench {
namespace {

std::string firstValue(const char* file, const std::string& key) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, key.size(), key) != 0) continue;
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        size_t start = line.find_first_not_of(" \t", colon + 1);
        return start == std::string::npos ? std::string() : line.substr(start);
    }
    return {};
}

}  // namespace

std::string loadAverage() {
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one.empty() ? "unknown" : one + " " + five + " " + fifteen;
}

std::vector<std::string> machineLines(const std::string& build) {
    std::vector<std::string> lines;
    const std::string cpu = firstValue("/proc/cpuinfo", "model name");
    std::ostringstream m;
    m << "machine: " << (cpu.empty() ? "unknown processor" : cpu) << ", " << std::thread::hardware_concurrency()
      << " logical CPUs";
    const std::string hypervisor =
        firstValue("/proc/cpuinfo", "flags").find("hypervisor") != std::string::npos ? " (virtual machine)" : "";
    m << hypervisor;
    const std::string memory = firstValue("/proc/meminfo", "MemTotal");
    if (!memory.empty()) m << ", " << memory << " memory";
    lines.push_back(m.str());
    utsname name{};
    if (::uname(&name) == 0)
        lines.push_back(std::string("system: ") + name.sysname + " " + name.release + " " + name.machine);
    lines.push_back("build: " + build);
    const std::time_t now = std::time(nullptr);
    char when[64];
    std::strftime(when, sizeof when, "%Y-%m-%d %H:%M %Z", std::localtime(&now));
    lines.push_back(std::string("taken: ") + when);
    return lines;
}

}  // namespace bench
