#include "host/vehicle_mirror.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/host.h"

namespace cabhost {

const char AudioLogName[] = "XAudio2\xE5\x88\x9D\xE6\x9C\x9F\xE5\x8C\x96\xE3\x83\xAD\xE3\x82\xB0.txt";

namespace fs = std::filesystem;

namespace {

// Links every entry of realDir except skip (and the audio log) into mirrorDir.
bool linkEntries(const fs::path& realDir, const fs::path& mirrorDir, const fs::path& skip, VehicleMirror& m,
                 std::string& note, bool skipChainList = false) {
    std::error_code ec;
    fs::directory_iterator it(realDir, ec);
    if (ec) return true;  // a folder we may not list: only the chain through it is needed
    const fs::path logName = fs::u8path(AudioLogName);
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) break;
        const fs::path name = it->path().filename();
        if (name == skip || name == logName || (skipChainList && name == "detailmodules.txt")) continue;
        const fs::path link = mirrorDir / name;
        std::error_code linkError;
        std::error_code typeError;
        if (it->is_directory(typeError)) {
            fs::create_directory_symlink(it->path(), link, linkError);
        } else {
            fs::create_symlink(it->path(), link, linkError);
        }
        if (linkError) {
            note = "cannot link " + platform::pathToUtf8(link) + ": " + linkError.message();
            return false;
        }
        m.created.push_back(link);
    }
    return true;
}

// Where folders cannot be linked: replicates realDir into mirrorDir (which exists) as real folders
// holding links (or copies) of the files. pluginDir's audio log, and with a chain list its
// detailmodules.txt, are left out; so is the mirror itself when it lies inside the vehicle.
bool replicateTree(const fs::path& realDir, const fs::path& mirrorDir, const fs::path& pluginDir, int depth,
                   VehicleMirror& m, std::string& note, bool skipChainList) {
    // A folder link that leads back up the tree would otherwise never end.
    constexpr int MaxDepth = 32;
    if (depth > MaxDepth) {
        note = "the folders under " + platform::pathToUtf8(realDir) + " are nested too deep to mirror";
        return false;
    }
    std::error_code ec;
    fs::directory_iterator it(realDir, ec);
    if (ec) {
        note = "cannot list " + platform::pathToUtf8(realDir) + ": " + ec.message();
        return false;
    }
    const fs::path logName = fs::u8path(AudioLogName);
    const bool atPlugin = realDir == pluginDir;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) break;
        const fs::path name = it->path().filename();
        if (name == logName || (atPlugin && skipChainList && name == "detailmodules.txt")) continue;
        if (it->path().lexically_normal() == m.root) continue;
        const fs::path target = mirrorDir / name;
        std::error_code typeError;
        if (it->is_directory(typeError)) {
            if (!fs::create_directory(target, ec) || ec) {
                note = "cannot create " + platform::pathToUtf8(target) + ": " + ec.message();
                return false;
            }
            m.created.push_back(target);
            if (!replicateTree(it->path(), target, pluginDir, depth + 1, m, note, skipChainList)) return false;
        } else {
            std::string linkError;
            if (!platform::hostLinkFile(it->path(), target, linkError)) {
                note = "cannot link " + platform::pathToUtf8(target) + ": " + linkError;
                return false;
            }
            m.created.push_back(target);
        }
    }
    return true;
}

// The folder whose tree a mirror without folder links replicates: the plug-in folder's parent,
// which Corvane reads its sounds from, or the vehicle folder when that lies higher; never a whole
// drive.
fs::path treeTopFor(const fs::path& real, const platform::Path* vehicleFolder) {
    fs::path top = real.parent_path();
    if (top.empty() || top == top.root_path()) return real;
    if (!vehicleFolder) return top;
    std::error_code ec;
    fs::path vehicle = fs::absolute(*vehicleFolder, ec).lexically_normal();
    if (ec) return top;
    if (!vehicle.has_filename()) vehicle = vehicle.parent_path();
    if (vehicle == vehicle.root_path()) return top;
    const fs::path inside = top.lexically_relative(vehicle);
    if (inside.empty() || inside == "." || *inside.begin() == "..") return top;
    return vehicle;
}

}  // namespace

bool buildMirror(const platform::Path& pluginDirectory, const platform::Path& root, VehicleMirror& m, std::string& note,
                 const std::vector<platform::Path>* chainList, const platform::Path* vehicleFolder) {
    m = {};
    std::error_code ec;
    fs::path real = fs::absolute(pluginDirectory, ec).lexically_normal();
    if (ec) {
        note = ec.message();
        return false;
    }
    if (real.has_filename() == false) real = real.parent_path();
    m.root = fs::absolute(root, ec).lexically_normal();
    if (fs::exists(fs::symlink_status(m.root))) {
        // Left from a run that was killed: clear it without following its links.
        VehicleMirror stale;
        stale.root = m.root;
        for (auto it = fs::recursive_directory_iterator(m.root, ec); !ec && it != fs::recursive_directory_iterator();
             it.increment(ec)) {
            stale.created.push_back(it->path());
        }
        stale.created.insert(stale.created.begin(), m.root);
        removeMirror(stale);
        if (fs::exists(fs::symlink_status(m.root))) {
            note = "cannot clear " + platform::pathToUtf8(m.root);
            return false;
        }
    }
    if (!fs::create_directories(m.root, ec) || ec) {
        note = "cannot create " + platform::pathToUtf8(m.root) + ": " + ec.message();
        return false;
    }
    m.created.push_back(m.root);

    const bool linkFolders = platform::hostLinksFolders();
    // Without folder links, the levels above the replicated tree stay empty.
    const fs::path top = linkFolders ? real : treeTopFor(real, vehicleFolder);
    fs::path realLevel = real.root_path();
    fs::path mirrorLevel = m.root;
    for (const fs::path& component : linkFolders ? real.relative_path() : top.relative_path()) {
        if (linkFolders && !linkEntries(realLevel, mirrorLevel, component, m, note)) {
            removeMirror(m);
            return false;
        }
        realLevel /= component;
        mirrorLevel /= component;
        if (!fs::create_directory(mirrorLevel, ec) || ec) {
            note = "cannot create " + platform::pathToUtf8(mirrorLevel) + ": " + ec.message();
            removeMirror(m);
            return false;
        }
        m.created.push_back(mirrorLevel);
    }
    if (linkFolders) {
        if (!linkEntries(realLevel, mirrorLevel, fs::path(), m, note, chainList != nullptr)) {
            removeMirror(m);
            return false;
        }
    } else {
        if (!replicateTree(top, mirrorLevel, real, 0, m, note, chainList != nullptr)) {
            removeMirror(m);
            return false;
        }
        mirrorLevel = m.root / real.relative_path();
    }
    if (chainList) {
        const fs::path list = mirrorLevel / "detailmodules.txt";
        std::ofstream out(list, std::ios::binary | std::ios::trunc);
        for (const fs::path& library : *chainList) out << platform::pathToUtf8(fs::absolute(library, ec)) << "\n";
        out.flush();
        if (!out) {
            note = "cannot write " + platform::pathToUtf8(list);
            removeMirror(m);
            return false;
        }
        m.created.push_back(list);
    }
    m.pluginDirectory = mirrorLevel / "";
    m.realRootName = real.root_name();
    m.active = true;
    return true;
}

void removeMirror(VehicleMirror& m) {
    // A file that a decoder thread still holds open is deleted only when it lets go (Windows), so
    // its folder may not be empty yet: the folders left are tried again for a while.
    constexpr int Attempts = 40;
    constexpr int64_t PauseMs = 25;
    for (int attempt = 0; attempt < Attempts; ++attempt) {
        bool left = false;
        for (auto it = m.created.rbegin(); it != m.created.rend(); ++it) {
            std::error_code ec;
            const fs::file_status status = fs::symlink_status(*it, ec);
            if (ec || !fs::exists(status)) continue;
            // remove() deletes a link itself, never its target, and only empty folders.
            if (fs::is_symlink(status) || fs::is_directory(status) || fs::is_regular_file(status)) {
                fs::remove(*it, ec);
                left = left || ec;
            }
        }
        if (!left) break;
        platform::hostSleepMs(PauseMs);
    }
    m.created.clear();
    m.active = false;
}

std::string unmirror(const std::string& text, const VehicleMirror& m) {
    if (m.root.empty()) return text;
    const std::string prefix = platform::pathToUtf8(m.root);
    // The mirror holds the real path without its drive (Windows): the drive comes back.
    const std::string rootName = platform::pathToUtf8(m.realRootName);
    std::string result = text;
    for (size_t at = result.find(prefix); at != std::string::npos; at = result.find(prefix, at)) {
        result.replace(at, prefix.size(), rootName);
        at += rootName.size();
    }
    return result;
}

}  // namespace cabhost
