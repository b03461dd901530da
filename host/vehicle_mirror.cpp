#include "host/vehicle_mirror.h"

#include <filesystem>
#include <fstream>
#include <system_error>

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

}  // namespace

bool buildMirror(const platform::Path& pluginDirectory, const platform::Path& root, VehicleMirror& m, std::string& note,
                 const std::vector<platform::Path>* chainList) {
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

    fs::path realLevel = real.root_path();
    fs::path mirrorLevel = m.root;
    for (const fs::path& component : real.relative_path()) {
        if (!linkEntries(realLevel, mirrorLevel, component, m, note)) {
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
    if (!linkEntries(realLevel, mirrorLevel, fs::path(), m, note, chainList != nullptr)) {
        removeMirror(m);
        return false;
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
    m.active = true;
    return true;
}

void removeMirror(VehicleMirror& m) {
    for (auto it = m.created.rbegin(); it != m.created.rend(); ++it) {
        std::error_code ec;
        const fs::file_status status = fs::symlink_status(*it, ec);
        if (ec) continue;
        // remove() deletes a link itself, never its target, and only empty folders.
        if (fs::is_symlink(status) || fs::is_directory(status) || fs::is_regular_file(status)) fs::remove(*it, ec);
    }
    m.created.clear();
    m.active = false;
}

std::string unmirror(const std::string& text, const VehicleMirror& m) {
    if (m.root.empty()) return text;
    const std::string prefix = platform::pathToUtf8(m.root);
    std::string result = text;
    for (size_t at = result.find(prefix); at != std::string::npos; at = result.find(prefix, at)) {
        result.erase(at, prefix.size());
    }
    return result;
}

}  // namespace cabhost
