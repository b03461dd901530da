#include "host/vehicle_mirror.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/host.h"
#include "sound/audio_log.h"

namespace cabhost {

const std::string AudioLogName = platform::utf8FromCodePoints(sound::AudioLogFileName);

namespace fs = std::filesystem;

namespace {

constexpr char CopiesName[] = ".cabhost-copies";

std::string describe(const fs::path& p) {
    const std::string text = platform::pathToUtf8(p);
    return text.empty() ? "(an unnamed entry)" : text;
}

// Lets the owner write to an entry of the mirror, so that it can be removed even when a library
// made it read-only. Never called on a link: that would change what the link leads to.
void makeWritable(const fs::path& p, bool folder) {
    std::error_code ec;
    fs::permissions(p, folder ? fs::perms::owner_all : fs::perms::owner_read | fs::perms::owner_write,
                    fs::perm_options::add, ec);
}

bool isRealFolder(const fs::path& p) {
    std::error_code ec;
    return !platform::hostIsLink(p) && fs::is_directory(fs::symlink_status(p, ec));
}

std::vector<fs::path> entriesOf(const fs::path& folder) {
    std::vector<fs::path> entries;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) entries.push_back(it->path());
    return entries;
}

// Removes p and, for a real folder, everything in it; a link is removed as a link and never
// followed. What cannot be removed is added to failures as "path: reason".
void removeEntry(const fs::path& p, std::vector<std::string>& failures) {
    std::string error;
    if (platform::hostIsLink(p)) {
        if (!platform::hostRemoveLink(p, error)) failures.push_back(describe(p) + " (a link): " + error);
        return;
    }
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(p, ec);
    if (ec || !fs::exists(status)) return;
    const bool folder = fs::is_directory(status);
    makeWritable(p, folder);
    const size_t failedBefore = failures.size();
    if (folder) {
        for (const fs::path& inside : entriesOf(p)) removeEntry(inside, failures);
    }
    // A folder whose content stayed is not named again.
    if (!fs::remove(p, ec) && ec && failures.size() == failedBefore)
        failures.push_back(describe(p) + ": " + ec.message());
}

bool stampOf(const fs::path& p, MirrorEntry& e) {
    std::error_code ec;
    e.folder = false;
    e.size = fs::file_size(p, ec);
    if (!ec) e.time = fs::last_write_time(p, ec);
    return !ec;
}

bool sameCopy(const MirrorEntry& a, const MirrorEntry& b) {
    return !a.folder && !b.folder && a.size == b.size && a.time == b.time;
}

// Removes from the real folder dir whatever the mirror did not make there, or made and was changed
// since (by a library writing beside itself).
void prune(const fs::path& dir, const std::map<fs::path, MirrorEntry>& made, std::vector<std::string>& failures) {
    makeWritable(dir, true);
    for (const fs::path& p : entriesOf(dir)) {
        const auto known = made.find(p);
        std::error_code ec;
        const fs::file_status status = fs::symlink_status(p, ec);
        if (known != made.end() && !platform::hostIsLink(p)) {
            if (known->second.folder && fs::is_directory(status)) {
                prune(p, made, failures);
                continue;
            }
            MirrorEntry now;
            if (fs::is_regular_file(status) && stampOf(p, now) && sameCopy(now, known->second)) continue;
        }
        removeEntry(p, failures);
    }
}

// A real folder of the mirror at p, in place of whatever else stands there.
bool ensureFolder(const fs::path& p, VehicleMirror& m, std::string& note) {
    std::error_code ec;
    if (!isRealFolder(p)) {
        std::vector<std::string> failures;
        removeEntry(p, failures);
        if (!failures.empty()) {
            note = "cannot clear " + failures.front();
            return false;
        }
    }
    fs::create_directory(p, ec);
    if (ec) {
        note = "cannot create " + describe(p) + ": " + ec.message();
        return false;
    }
    makeWritable(p, true);
    m.made[p].folder = true;
    return true;
}

// Copies source to target, unless target is a copy of it already (same size and time).
bool copyFile(const fs::path& source, const fs::path& target, VehicleMirror& m, std::string& note) {
    MirrorEntry wanted, present;
    if (!stampOf(source, wanted)) {
        note = "cannot read " + describe(source);
        return false;
    }
    std::error_code ec;
    // A copy that shares its content with another name (a hard link to the author's file, say) is
    // never reused: what a library writes into it would reach that file.
    if (!platform::hostIsLink(target) && fs::is_regular_file(fs::symlink_status(target, ec)) &&
        platform::hostNameCount(target) == 1 && stampOf(target, present) && sameCopy(present, wanted)) {
        m.made[target] = present;
        return true;
    }
    std::vector<std::string> failures;
    removeEntry(target, failures);
    fs::copy_file(source, target, ec);
    // The copy is the run's own: writable, so that it can always be removed, and dated as the file
    // it copies, so that the next run can keep it (where the date cannot be set, it copies again).
    if (!ec) {
        makeWritable(target, false);
        std::error_code undated;
        fs::last_write_time(target, wanted.time, undated);
    }
    if (ec || !stampOf(target, present)) {
        note = "cannot copy " + describe(source) +
               " into the mirror: " + (failures.empty() ? ec.message() : "cannot clear " + failures.front());
        return false;
    }
    m.made[target] = present;
    return true;
}

struct CopyWalk {
    VehicleMirror& m;
    fs::path pluginDir;
    bool skipChainList;
    std::vector<fs::path> ancestors;  // the real folders being copied, to see a folder link leading back
    std::string& note;
};

bool leadsBack(const fs::path& folder, const std::vector<fs::path>& ancestors) {
    for (const fs::path& a : ancestors) {
        std::error_code ec;
        if (fs::equivalent(folder, a, ec)) return true;
    }
    return false;
}

// Copies realDir's tree into mirrorDir (a real folder of the mirror). pluginDir's audio log, and
// with a chain list its detailmodules.txt, are left out; so is the output folder's mirror when it
// lies inside the vehicle, and a folder link that leads back up the tree.
bool copyTree(const fs::path& realDir, const fs::path& mirrorDir, CopyWalk& w) {
    constexpr size_t MaxDepth = 32;
    if (w.ancestors.size() > MaxDepth) {
        w.note = "the folders under " + describe(realDir) + " are nested too deep to mirror";
        return false;
    }
    std::error_code ec;
    fs::directory_iterator it(realDir, ec);
    if (ec) {
        w.note = "cannot list " + describe(realDir) + ": " + ec.message();
        return false;
    }
    const fs::path logName = fs::u8path(AudioLogName);
    const bool atPlugin = realDir == w.pluginDir;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) break;
        const fs::path source = it->path();
        const fs::path name = source.filename();
        if (name == logName || (atPlugin && w.skipChainList && name == "detailmodules.txt")) continue;
        std::error_code same;
        if (source.lexically_normal() == w.m.copies || fs::equivalent(source, w.m.root, same)) continue;
        const fs::path target = mirrorDir / name;
        std::error_code typeError;
        // Through a link: what the vehicle's files reach by this name.
        const fs::file_status status = fs::status(source, typeError);
        if (fs::is_directory(status)) {
            if (leadsBack(source, w.ancestors)) continue;
            if (!ensureFolder(target, w.m, w.note)) return false;
            w.ancestors.push_back(source);
            const bool copied = copyTree(source, target, w);
            w.ancestors.pop_back();
            if (!copied) return false;
        } else if (fs::is_regular_file(status) && !copyFile(source, target, w.m, w.note)) {
            return false;
        }
        // Anything else (a broken link, a pipe, a device) has nothing to copy.
    }
    if (ec) {
        w.note = "cannot list " + describe(realDir) + ": " + ec.message();
        return false;
    }
    return true;
}

// The folder whose tree the mirror copies: the plug-in folder's parent, which Corvane reads its
// sounds from, or the vehicle folder when that lies higher; never a whole drive.
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

// Readies the mirror's place. Whatever stands there is cleared without following a link; a real
// folder left by a run that was killed serves as the copies to start from, unless the copies of a
// finished run wait beside it, which then move in.
bool readyPlace(VehicleMirror& m, std::string& note) {
    std::vector<std::string> failures;
    const bool copiesWait = isRealFolder(m.copies);
    if (!isRealFolder(m.root) || copiesWait) removeEntry(m.root, failures);
    std::error_code ec;
    if (copiesWait && failures.empty()) {
        fs::rename(m.copies, m.root, ec);
        if (ec) removeEntry(m.copies, failures);
    } else if (!copiesWait) {
        removeEntry(m.copies, failures);
    }
    if (!failures.empty()) {
        note = "cannot clear " + failures.front();
        return false;
    }
    fs::create_directories(m.root, ec);
    if (ec) {
        note = "cannot create " + describe(m.root) + ": " + ec.message();
        return false;
    }
    return true;
}

}  // namespace

bool buildMirror(const platform::Path& pluginDirectory, const platform::Path& root, VehicleMirror& m, std::string& note,
                 const std::vector<platform::Path>* chainList, const platform::Path* vehicleFolder) {
    m = {};
    std::error_code ec;
    fs::path real = fs::absolute(pluginDirectory, ec).lexically_normal();
    if (!ec) m.root = fs::absolute(root, ec).lexically_normal();
    if (ec) {
        note = ec.message();
        return false;
    }
    if (!real.has_filename()) real = real.parent_path();
    if (!m.root.has_filename()) m.root = m.root.parent_path();
    m.copies = m.root.parent_path() / CopiesName;
    m.realRootName = real.root_name();
    if (!readyPlace(m, note)) return false;
    m.active = true;

    const fs::path top = treeTopFor(real, vehicleFolder);
    fs::path mirrorLevel = m.root;
    bool made = true;
    for (const fs::path& component : top.relative_path()) {
        mirrorLevel /= component;
        if (!(made = ensureFolder(mirrorLevel, m, note))) break;
    }
    CopyWalk walk{m, real, chainList != nullptr, {top}, note};
    made = made && copyTree(top, mirrorLevel, walk);
    // What the copies of an earlier run hold that the vehicle no longer has.
    std::vector<std::string> failures;
    if (made) prune(m.root, m.made, failures);
    if (!failures.empty()) {
        note = "cannot clear " + failures.front();
        made = false;
    }
    const fs::path pluginMirror = m.root / real.relative_path();
    if (made && chainList) {
        const fs::path list = pluginMirror / "detailmodules.txt";
        {
            std::ofstream out(list, std::ios::binary | std::ios::trunc);
            for (const fs::path& library : *chainList) out << platform::pathToUtf8(fs::absolute(library, ec)) << "\n";
            out.close();
            made = !out.fail() && stampOf(list, m.made[list]);
        }
        if (!made) note = "cannot write " + describe(list);
    }
    if (!made) {
        removeMirror(m);
        return false;
    }
    m.pluginDirectory = pluginMirror / "";
    return true;
}

std::vector<std::string> removeMirror(VehicleMirror& m) {
    std::vector<std::string> failures;
    if (!m.active) return failures;
    // A file that a decoder thread still holds open is deleted only when it lets go (Windows), so
    // what is left is tried again for a while.
    constexpr int Attempts = 40;
    constexpr int64_t PauseMs = 25;
    for (int attempt = 0; attempt < Attempts; ++attempt) {
        failures.clear();
        if (isRealFolder(m.root)) prune(m.root, m.made, failures);
        if (failures.empty()) {
            // The unchanged copies wait beside the output's other files for the next run.
            std::vector<std::string> aside;
            removeEntry(m.copies, aside);
            std::error_code ec;
            if (aside.empty() && isRealFolder(m.root)) fs::rename(m.root, m.copies, ec);
            if (!aside.empty() || ec) removeEntry(m.root, failures);
            if (!isRealFolder(m.root)) removeEntry(m.root, failures);
        }
        if (failures.empty()) break;
        platform::hostSleepMs(PauseMs);
    }
    m.made.clear();
    m.active = false;
    return failures;
}

std::string unmirror(const std::string& text, const VehicleMirror& m) {
    if (m.root.empty()) return text;
    const std::string prefix = platform::pathToUtf8(m.root);
    // The mirror holds the real path without its drive (Windows): the drive comes back.
    const std::string rootName = platform::pathToUtf8(m.realRootName);
    std::string result = text;
    for (size_t at = result.find(prefix); at != std::string::npos; at = result.find(prefix, at)) {
        // Only a path inside the mirror has a real counterpart; the mirror's own place (named when
        // it cannot be cleared) stays as it is.
        const size_t after = at + prefix.size();
        if (after == result.size() || !platform::isPathSeparator(static_cast<unsigned char>(result[after]))) {
            at = after;
            continue;
        }
        result.replace(at, prefix.size(), rootName);
        at += rootName.size();
    }
    return result;
}

}  // namespace cabhost
