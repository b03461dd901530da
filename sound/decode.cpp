#include "sound/decode.h"

#include <algorithm>
#include <new>
#include <string>

#include "platform/audio.h"

namespace sound {
namespace {

using platform::AudioResult;
using platform::Path;

bool isDrive(const Path::string_type& part) {
    return part.size() == 2 && part[1] == ':';
}

// Releases the reader on every way out of the decode.
struct ReaderGuard {
    platform::MediaReader reader = nullptr;
    ~ReaderGuard() { platform::mediaReleaseReader(reader); }
};

}  // namespace

Path normalisePath(const Path& path) {
    using String = Path::string_type;
    const String& text = path.native();
    const auto separator = static_cast<Path::value_type>(platform::PreferredSeparator);

    size_t leading = 0;
    while (leading < text.size() && platform::isPathSeparator(text[leading])) ++leading;
    // One root separator, or two for a network path on Windows.
    const size_t rootSeparators = std::min(leading, platform::MaxRootSeparators);
    std::vector<String> parts;
    String part;
    auto flush = [&] {
        if (part.empty() || (part.size() == 1 && part[0] == '.')) {
        } else if (part.size() == 2 && part[0] == '.' && part[1] == '.') {
            if (!parts.empty() && !isDrive(parts.back()) && parts.back() != String(2, '.')) {
                parts.pop_back();
            } else if (rootSeparators == 0 && (parts.empty() || parts.back() == String(2, '.'))) {
                parts.push_back(part);  // a relative path cannot climb further; keep it
            }
        } else {
            parts.push_back(part);
        }
        part.clear();
    };
    for (size_t i = leading; i < text.size(); ++i) {
        if (platform::isPathSeparator(text[i])) {
            flush();
        } else {
            part += text[i];
        }
    }
    flush();

    String out(rootSeparators, separator);
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) out += separator;
        out += parts[i];
    }
    if (parts.size() == 1 && isDrive(parts[0])) out += separator;
    return Path(out);
}

DecodeOutcome decodeToPcm(const Path& normalisedPath, platform::WaveFormat& format, std::vector<uint8_t>& pcm,
                          size_t totalBudgetBytes) {
    DecodeOutcome outcome;
    const bool budgetIsTotal = totalBudgetBytes < MaxDecodedBytesPerFile;
    const size_t budget = budgetIsTotal ? totalBudgetBytes : MaxDecodedBytesPerFile;
    auto refuse = [&outcome](RefusedFormat refused) {
        outcome.refused = refused;
        outcome.result = refusalResult(refused.refusal);
        return outcome;
    };

    // Some decoders hang or bring the engine down on what a voice would refuse anyway: they never
    // see such a file.
    if (const RefusedFormat screened = screenWaveHeader(readWaveHeaderFile(normalisedPath), budget, budgetIsTotal);
        screened.refusal != Refusal::None)
        return refuse(screened);

    ReaderGuard guard;

    AudioResult r = platform::mediaCreateReader(normalisedPath, &guard.reader);
    if (platform::audioFailed(r)) {
        outcome.startedMedia = !platform::audioFailed(platform::mediaStartup(platform::MediaFoundationVersion, 0));
        r = platform::mediaCreateReader(normalisedPath, &guard.reader);
        if (platform::audioFailed(r)) {
            outcome.result = r;
            return outcome;
        }
    }

    platform::WaveFormat header{};
    uint16_t subFormatTag = 0;
    r = platform::mediaSetPcmOutput(guard.reader, &header, &subFormatTag);
    if (platform::audioFailed(r)) {
        outcome.result = r;
        return outcome;
    }
    if (header.formatTag != platform::WaveFormatPcm && header.channels != 1) {
        outcome.result = platform::AudioErrorInvalidArg;
        outcome.formatRejected = true;
        return outcome;
    }
    // Only the 18 header bytes are kept, so the header must not announce extra bytes that the
    // engine would then read past its end: an extensible mono block becomes its plain equivalent.
    if (header.formatTag == platform::WaveFormatExtensible) header.formatTag = subFormatTag;
    header.extraSize = 0;
    format = header;
    if (const RefusedFormat checked = checkVoiceFormat(header); checked.refusal != Refusal::None)
        return refuse(checked);

    try {
        pcm.clear();
        if (pcm.capacity() < PcmReserveBytes) pcm.reserve(PcmReserveBytes);

        uint32_t emptyReads = 0;
        for (;;) {
            uint32_t streamFlags = 0;
            bool gotSample = false;
            r = platform::mediaReadSample(guard.reader, pcm, &streamFlags, &gotSample);
            if (platform::audioFailed(r)) break;
            if (streamFlags & platform::MediaStreamEndOfStream) {
                r = platform::AudioOk;
                break;
            }
            if (pcm.size() > budget) {
                std::vector<uint8_t>().swap(pcm);
                return refuse({budgetIsTotal ? Refusal::TotalTooLarge : Refusal::FileTooLarge});
            }
            if (gotSample) {
                emptyReads = 0;
            } else if (++emptyReads >= MaxEmptyReads) {
                r = platform::AudioErrorFail;
                break;
            }
        }

        // A voice plays whole frames only; a part frame at the end is never heard.
        pcm.resize(pcm.size() - pcm.size() % format.blockAlign);
        if (pcm.empty()) {
            std::vector<uint8_t>().swap(pcm);
            // A voice without sound would be logged as made and then fail every play.
            if (!platform::audioFailed(r)) return refuse({Refusal::Empty});
        } else {
            pcm.shrink_to_fit();
        }
    } catch (const std::bad_alloc&) {
        std::vector<uint8_t>().swap(pcm);
        r = platform::AudioErrorOutOfMemory;
    }
    outcome.result = r;
    return outcome;
}

}  // namespace sound
