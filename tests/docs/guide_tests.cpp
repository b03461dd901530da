// The author's guide against the code: the plug-ins write exactly the panel and sound indices of
// interface/indices.h and act on exactly its keys, and the guide's tables list exactly those, so
// neither the code nor the guide can drift without a failing test. The beacon distances and the
// file names the guide gives are checked against the code that uses them.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "atstimer/ats_timer.h"
#include "chain/chain.h"
#include "config/needle_tables.h"
#include "config/notch_config.h"
#include "corvane/lifecycle.h"
#include "interface/indices.h"
#include "sound/audio_log.h"
#include "sound/motor_layers.h"

namespace {

using IndexSet = std::set<int>;
constexpr int ArraySize = 1024;  // larger than the host's arrays, to see a write past them

IndexSet expand(std::span<const host::IndexUse> table) {
    IndexSet out;
    for (const host::IndexUse& use : table) {
        for (int i = use.first; i <= use.last; ++i) out.insert(i);
    }
    return out;
}

struct Arrays {
    std::vector<int32_t> panel = std::vector<int32_t>(ArraySize);
    std::vector<int32_t> sound = std::vector<int32_t>(ArraySize);
};

void fill(Arrays& a, int32_t value) {
    std::fill(a.panel.begin(), a.panel.end(), value);
    std::fill(a.sound.begin(), a.sound.end(), value);
}

void collectWritten(const Arrays& a, int32_t sentinel, IndexSet& panel, IndexSet& sound) {
    for (int i = 0; i < ArraySize; ++i) {
        if (a.panel[i] != sentinel) panel.insert(i);
        if (a.sound[i] != sentinel) sound.insert(i);
    }
}

// ---- Corvane ----------------------------------------------------------------------------------

class CorvaneRun : public ::testing::Test {
protected:
    static std::unique_ptr<corvane::Plugin> freshPlugin() {
        auto p = std::make_unique<corvane::Plugin>();
        corvane::setVehicleSpec(*p, host::VehicleSpec{8, 0, 0, 0, 4});
        p->input.panelModifyMode = true;
        p->input.powerLimitMode = 1;  // so that both power-limit keys act
        return p;
    }

    static void runFrame(corvane::Plugin& p, Arrays& a, int32_t timeMs) {
        host::VehicleState state{};
        state.time = timeMs;
        corvane::elapse(p, state, a.panel.data(), a.sound.data(), sim::FrameKeys{});
    }
};

TEST_F(CorvaneRun, WritesExactlyTheListedPanelAndSoundIndicesInEveryAdjustmentState) {
    IndexSet panel, sound;
    // Two sentinels, so that a write of the sentinel's own value is still seen.
    for (int32_t sentinel : {-777, 1}) {
        for (int target = 0; target <= 7; ++target) {
            auto p = freshPlugin();
            p->input.adjustTarget = target;
            p->input.adjustValue = 123;
            Arrays a;
            fill(a, sentinel);
            runFrame(*p, a, 20);
            fill(a, sentinel);
            runFrame(*p, a, 40);
            collectWritten(a, sentinel, panel, sound);
        }
    }
    EXPECT_EQ(panel, expand(host::CorvanePanelIndices));
    EXPECT_EQ(sound, expand(host::CorvaneSoundIndices));
    EXPECT_LT(*panel.rbegin(), 256);
    EXPECT_LT(*sound.rbegin(), 256);
}

TEST_F(CorvaneRun, ListedKeysChangeWhatTheCabShowsOrPlaysAndNoOtherKeyDoes) {
    auto outputsAfterKey = [](int key) {
        auto p = freshPlugin();
        Arrays a;
        runFrame(*p, a, 20);
        if (key >= 0) {
            corvane::keyDown(*p, key, false);
            corvane::keyUp(*p, key);
        }
        runFrame(*p, a, 40);
        return std::make_pair(a.panel, a.sound);
    };
    const auto untouched = outputsAfterKey(-1000);
    const IndexSet listed = expand(host::CorvaneKeys);
    for (int key = -1; key <= 40; ++key) {
        const bool acted = outputsAfterKey(key) != untouched;
        EXPECT_EQ(acted, listed.count(key) == 1) << "key " << key;
    }
}

// ---- Sentrel ----------------------------------------------------------------------------------

TEST(SentrelRun, WritesExactlyTheListedIndicesInEveryFrameKind) {
    IndexSet panel, sound;
    for (int32_t sentinel : {-777, 1, 2}) {
        atstimer::AtsState s{};
        Arrays a;
        auto frameWith = [&](int32_t timeMs) {
            fill(a, sentinel);
            host::VehicleState state{};
            state.time = timeMs;
            atstimer::elapse(s, state, a.panel.data(), a.sound.data());
            collectWritten(a, sentinel, panel, sound);
        };
        frameWith(20);  // nothing pending
        atstimer::keyDown(s, atstimer::ResetKey, false);
        frameWith(40);  // press
        atstimer::keyUp(s, atstimer::ResetKey);
        frameWith(60);  // release
        atstimer::keyDown(s, atstimer::ResetKey, false);
        frameWith(80);  // press right after a release
        atstimer::keyDown(s, atstimer::ResetKey, true);
        frameWith(100);  // tripped
    }
    EXPECT_EQ(panel, expand(host::SentrelPanelIndices));
    EXPECT_EQ(sound, expand(host::SentrelSoundIndices));
}

TEST(SentrelRun, OnlyTheResetKeyActs) {
    auto outputsAfterKey = [](int key, bool shift) {
        atstimer::AtsState s{};
        Arrays a;
        host::VehicleState state{};
        state.time = 20;
        atstimer::elapse(s, state, a.panel.data(), a.sound.data());
        atstimer::keyDown(s, key, shift);
        atstimer::keyUp(s, key);
        state.time = 40;
        atstimer::elapse(s, state, a.panel.data(), a.sound.data());
        return std::make_pair(a.panel, a.sound);
    };
    const auto untouched = outputsAfterKey(-1000, false);
    const IndexSet listed = expand(host::SentrelKeys);
    for (int key = -1; key <= 40; ++key) {
        for (bool shift : {false, true}) {
            const bool acted = outputsAfterKey(key, shift) != untouched;
            EXPECT_EQ(acted, listed.count(key) == 1) << "key " << key << " shift " << shift;
        }
    }
}

// A vehicle chains Sentrel under Corvane: Corvane writes after its chained plug-ins, so a shared
// index would silently hide Sentrel's lamp or sound.
TEST(BothPlugins, ShareNoPanelIndexNoSoundIndexAndNoKey) {
    auto disjoint = [](const IndexSet& a, const IndexSet& b) {
        for (int i : a) {
            if (b.count(i)) return false;
        }
        return true;
    };
    EXPECT_TRUE(disjoint(expand(host::CorvanePanelIndices), expand(host::SentrelPanelIndices)));
    EXPECT_TRUE(disjoint(expand(host::CorvaneSoundIndices), expand(host::SentrelSoundIndices)));
    EXPECT_TRUE(disjoint(expand(host::CorvaneKeys), expand(host::SentrelKeys)));
}

// ---- The guide --------------------------------------------------------------------------------

std::vector<std::string> guideLines() {
    std::ifstream in(AUTHORING_GUIDE);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string guideText() {
    std::ostringstream all;
    for (const std::string& line : guideLines()) all << line << '\n';
    return all.str();
}

std::string trimmed(const std::string& text) {
    const size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return "";
    return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

std::vector<std::string> cells(const std::string& row) {
    std::vector<std::string> out;
    std::string cell;
    std::istringstream in(row.substr(row.find('|') + 1));
    while (std::getline(in, cell, '|')) out.push_back(trimmed(cell));
    if (!out.empty() && out.back().empty()) out.pop_back();
    return out;
}

// The body rows of the first table under the heading with this title (header and rule dropped).
std::vector<std::vector<std::string>> tableUnder(const std::string& title) {
    const std::vector<std::string> lines = guideLines();
    std::vector<std::vector<std::string>> rows;
    bool inSection = false;
    int tableRow = 0;
    for (const std::string& line : lines) {
        if (line.starts_with("#")) {
            if (inSection) break;
            inSection = trimmed(line.substr(line.find_first_not_of('#'))) == title;
            continue;
        }
        if (!inSection) continue;
        if (!line.starts_with("|")) {
            if (tableRow > 0) break;
            continue;
        }
        if (++tableRow > 2) rows.push_back(cells(line));
    }
    return rows;
}

// "22", "220 to 223" or "220–223".
bool parseIndexCell(const std::string& cell, IndexSet& out) {
    int first = 0, last = 0;
    size_t used = 0;
    try {
        first = std::stoi(cell, &used);
    } catch (...) {
        return false;
    }
    std::string rest = trimmed(cell.substr(used));
    if (rest.empty()) {
        last = first;
    } else {
        for (const std::string separator : {"to", "\u2013", "-"}) {
            if (rest.starts_with(separator)) {
                rest = trimmed(rest.substr(separator.size()));
                break;
            }
        }
        try {
            last = std::stoi(rest, &used);
        } catch (...) {
            return false;
        }
        if (used != rest.size() || last < first) return false;
    }
    for (int i = first; i <= last; ++i) out.insert(i);
    return true;
}

IndexSet guideIndices(const std::string& title) {
    const auto rows = tableUnder(title);
    EXPECT_FALSE(rows.empty()) << "no table under \"" << title << "\" in the guide";
    IndexSet out;
    for (const auto& row : rows) {
        EXPECT_TRUE(!row.empty() && parseIndexCell(row[0], out))
            << "\"" << title << "\": the first cell of a row is not an index: " << (row.empty() ? "" : row[0]);
    }
    return out;
}

TEST(Guide, IndexAndKeyTablesListExactlyWhatThePlugInsUse) {
    EXPECT_EQ(guideIndices("Panel indices Corvane writes"), expand(host::CorvanePanelIndices));
    EXPECT_EQ(guideIndices("Sound indices Corvane writes"), expand(host::CorvaneSoundIndices));
    EXPECT_EQ(guideIndices("Panel indices Sentrel writes"), expand(host::SentrelPanelIndices));
    EXPECT_EQ(guideIndices("Sound indices Sentrel writes"), expand(host::SentrelSoundIndices));
    EXPECT_EQ(guideIndices("Keys Corvane handles"), expand(host::CorvaneKeys));
    EXPECT_EQ(guideIndices("Keys Sentrel handles"), expand(host::SentrelKeys));
}

TEST(Guide, ModeTablesListEveryModeCorvaneKnows) {
    std::set<int32_t> listed;
    bool inSection = false;
    for (const std::string& line : guideLines()) {
        if (line.starts_with("#")) {
            if (inSection) break;
            inSection = trimmed(line.substr(line.find_first_not_of('#'))) == "The main circuit's modes";
        } else if (inSection && line.starts_with("| ") && line.size() > 2 && std::isdigit(line[2])) {
            listed.insert(std::stoi(cells(line)[0]));
        }
    }
    EXPECT_EQ(listed, std::set<int32_t>(sound::PulseModes.begin(), sound::PulseModes.end()));
}

TEST(Guide, BeaconDistancesAreTheCheckSpeedsOverSevenPointTwoAndPickTheirOwnCheckSpeed) {
    const auto rows = tableUnder("Placing a beacon pair");
    ASSERT_EQ(rows.size(), atstimer::CheckSpeedTable.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        ASSERT_GE(rows[i].size(), 2u);
        const int speed = std::stoi(rows[i][0]);
        const double distanceM = std::stod(rows[i][1]);
        EXPECT_EQ(speed, atstimer::CheckSpeedTable[i]);
        EXPECT_NEAR(distanceM, speed / atstimer::PairDistanceDivisor, 0.0005) << speed;
        // A pair laid out at the printed distance is checked against the speed it is listed for.
        EXPECT_EQ(atstimer::checkSpeedForDistance(distanceM), speed);
    }
}

TEST(Guide, NamesEveryFileCorvaneReadsAndWrites) {
    const std::string text = guideText();
    std::vector<std::string> names = {"Notch.txt",       chain::ListFileName,
                                      "PanelModify.txt", "NeedleTable",
                                      "atsmotornoise",   "0.wav",
                                      "40.wav",          platform::utf8FromCodePoints(sound::AudioLogFileName)};
    for (std::string_view file : config::NeedleTableFiles) names.emplace_back(file.substr(file.rfind('\\') + 1));
    for (std::string_view file : host::AirSoundFiles) names.emplace_back(file);
    for (const std::string& name : names) EXPECT_NE(text.find(name), std::string::npos) << name;
}

}  // namespace
