// Linux backend: the source reader's steps over libsndfile, and the log file.
// The reader hands out the file's own PCM layout where it is integer PCM (8, 16, 24 or 32 bits, as
// a WAV source does) and 16-bit PCM for everything else it can decode. Like the platform's
// conversion, a type with more than two channels comes out as WAVE_FORMAT_EXTENSIBLE.
#include <errno.h>
#include <sndfile.h>
#include <sys/stat.h>

#include <algorithm>
#include <bit>
#include <new>

#include "platform/audio.h"
#include "platform/software/audio_internal.h"

namespace platform {

struct MediaReaderObject {
    SNDFILE* file = nullptr;
    SF_INFO info{};
    uint32_t bitsPerSample = 16;
    bool reserved = false;  // the first read reserved room for the whole stream
};

namespace {

constexpr sf_count_t FramesPerSample = 4096;
// A stream longer than this is not reserved for at once: its reads grow the buffer, and the caller,
// which bounds the decoded size, stops them well before memory runs short.
constexpr uint64_t MaxReservedBytes = uint64_t{64} << 20;
int32_t startupDepth = 0;

uint32_t nativeBits(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8: return 8;
        case SF_FORMAT_PCM_24: return 24;
        case SF_FORMAT_PCM_32: return 32;
        default: return 16;
    }
}

AudioResult fileError(const Path& path) {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) {
        switch (errno) {
            case ENOENT: return AudioErrorFileNotFound;
            case ENOTDIR: return AudioErrorPathNotFound;
            case EACCES: return AudioErrorAccessDenied;
            default: return AudioErrorFail;
        }
    }
    // Opening a folder as a file is refused with "access denied" on Windows.
    if (S_ISDIR(info.st_mode)) return AudioErrorAccessDenied;
    return AudioOk;
}

// The stream's length is known before the first read: room for all of it at once, so the buffer
// never moves while it fills and ends up exactly its size. A length the file cannot back is not
// reserved; the reads then grow the buffer as they go.
void reserveStream(MediaReaderObject& r, std::vector<uint8_t>& pcm) {
    r.reserved = true;
    const uint64_t frameBytes = static_cast<uint64_t>(r.info.channels) * (r.bitsPerSample / 8);
    if (r.info.frames <= 0 || static_cast<uint64_t>(r.info.frames) > MaxReservedBytes / frameBytes) return;
    try {
        pcm.reserve(pcm.size() + static_cast<size_t>(r.info.frames) * frameBytes);
    } catch (const std::bad_alloc&) {
    }
}

// Appends frames read from the file in the reader's output layout.
bool appendFrames(MediaReaderObject& r, std::vector<uint8_t>& pcm, sf_count_t* framesRead) {
    const int channels = r.info.channels;
    const size_t samples = static_cast<size_t>(FramesPerSample) * channels;
    if (!r.reserved) reserveStream(r, pcm);
    const size_t frameBytes = static_cast<size_t>(channels) * (r.bitsPerSample / 8);
    const size_t room = (pcm.capacity() - pcm.size()) / frameBytes;
    if (r.bitsPerSample == 16 && std::endian::native == std::endian::little && room > 0 &&
        pcm.size() % sizeof(short) == 0) {
        // Native 16-bit samples already have the little-endian layout of the output: read in place.
        const sf_count_t wanted = std::min<sf_count_t>(FramesPerSample, static_cast<sf_count_t>(room));
        const size_t start = pcm.size();
        pcm.resize(start + static_cast<size_t>(wanted) * frameBytes);
        *framesRead = sf_readf_short(r.file, reinterpret_cast<short*>(pcm.data() + start), wanted);
        pcm.resize(start + static_cast<size_t>(std::max<sf_count_t>(*framesRead, 0)) * frameBytes);
        return true;
    }
    if (r.bitsPerSample == 16) {
        std::vector<short> buffer(samples);
        *framesRead = sf_readf_short(r.file, buffer.data(), FramesPerSample);
        const size_t count = static_cast<size_t>(*framesRead) * channels;
        const size_t start = pcm.size();
        pcm.resize(start + count * 2);
        for (size_t i = 0; i < count; ++i) {
            const uint16_t v = static_cast<uint16_t>(buffer[i]);
            pcm[start + 2 * i] = static_cast<uint8_t>(v);
            pcm[start + 2 * i + 1] = static_cast<uint8_t>(v >> 8);
        }
        return true;
    }
    std::vector<int> buffer(samples);
    *framesRead = sf_readf_int(r.file, buffer.data(), FramesPerSample);
    const size_t count = static_cast<size_t>(*framesRead) * channels;
    const size_t bytes = r.bitsPerSample / 8;
    const size_t start = pcm.size();
    pcm.resize(start + count * bytes);
    for (size_t i = 0; i < count; ++i) {
        const uint32_t v = static_cast<uint32_t>(buffer[i]);
        uint8_t* out = &pcm[start + i * bytes];
        switch (bytes) {
            case 1: out[0] = static_cast<uint8_t>((v >> 24) ^ 0x80); break;  // 8-bit PCM is unsigned
            case 3:
                out[0] = static_cast<uint8_t>(v >> 8);
                out[1] = static_cast<uint8_t>(v >> 16);
                out[2] = static_cast<uint8_t>(v >> 24);
                break;
            default:
                out[0] = static_cast<uint8_t>(v);
                out[1] = static_cast<uint8_t>(v >> 8);
                out[2] = static_cast<uint8_t>(v >> 16);
                out[3] = static_cast<uint8_t>(v >> 24);
                break;
        }
    }
    return true;
}

}  // namespace

AudioResult mediaStartup(uint32_t version, uint32_t) {
    AudioResult fault;
    if (audioTakeFault(AudioCall::MediaStartup, &fault)) return fault;
    if (version != MediaFoundationVersion) return AudioErrorInvalidArg;
    ++startupDepth;
    audioCountLive(AudioLiveObject::MediaStartup, 1);
    return AudioOk;
}

AudioResult mediaShutdown() {
    if (startupDepth == 0) return MediaErrorNotInitialized;
    --startupDepth;
    audioCountLive(AudioLiveObject::MediaStartup, -1);
    return AudioOk;
}

AudioResult mediaCreateReader(const Path& path, MediaReader* reader) {
    if (!reader) return AudioErrorInvalidArg;
    *reader = nullptr;
    if (startupDepth == 0) return MediaErrorNotInitialized;
    AudioResult fault;
    if (audioTakeFault(AudioCall::MediaCreateReader, &fault)) return fault;
    if (AudioResult error = fileError(path); audioFailed(error)) return error;
    auto* r = new (std::nothrow) MediaReaderObject();
    if (!r) return AudioErrorOutOfMemory;
    r->file = sf_open(path.c_str(), SFM_READ, &r->info);
    if (!r->file || r->info.channels < 1 || r->info.samplerate < 1) {
        if (r->file) sf_close(r->file);
        delete r;
        return MediaErrorUnsupportedFile;
    }
    *reader = r;
    return AudioOk;
}

AudioResult mediaSetPcmOutput(MediaReader reader, WaveFormat* header, uint16_t* subFormatTag) {
    if (!reader || !header || !subFormatTag) return AudioErrorInvalidArg;
    AudioResult fault;
    if (audioTakeFault(AudioCall::MediaSetPcmOutput, &fault)) return fault;
    const uint32_t channels = static_cast<uint32_t>(reader->info.channels);
    const uint32_t bits = nativeBits(reader->info.format);
    const uint32_t blockAlign = channels * (bits / 8);
    if (channels > 0xFFFF || blockAlign > 0xFFFF) return MediaErrorInvalidMediaType;
    reader->bitsPerSample = bits;
    const bool extensible = channels > 2 || (audioTestHooks && audioTestHooks->reportExtensible());
    header->formatTag = extensible ? WaveFormatExtensible : WaveFormatPcm;
    header->channels = static_cast<uint16_t>(channels);
    header->samplesPerSec = static_cast<uint32_t>(reader->info.samplerate);
    header->avgBytesPerSec = header->samplesPerSec * blockAlign;
    header->blockAlign = static_cast<uint16_t>(blockAlign);
    header->bitsPerSample = static_cast<uint16_t>(bits);
    header->extraSize = extensible ? 22 : 0;
    *subFormatTag = WaveFormatPcm;
    return AudioOk;
}

AudioResult mediaReadSample(MediaReader reader, std::vector<uint8_t>& pcm, uint32_t* streamFlags, bool* gotSample) {
    if (!reader || !streamFlags || !gotSample) return AudioErrorInvalidArg;
    *streamFlags = 0;
    *gotSample = false;
    AudioResult fault;
    if (audioTakeFault(AudioCall::MediaReadSample, &fault)) return fault;
    sf_count_t frames = 0;
    try {
        appendFrames(*reader, pcm, &frames);
    } catch (const std::bad_alloc&) {
        return AudioErrorOutOfMemory;
    }
    if (frames > 0) {
        *gotSample = true;
        return AudioOk;
    }
    if (sf_error(reader->file) != SF_ERR_NO_ERROR) return AudioErrorFail;
    *streamFlags = MediaStreamEndOfStream;
    return AudioOk;
}

void mediaReleaseReader(MediaReader reader) {
    if (!reader) return;
    if (reader->file) sf_close(reader->file);
    delete reader;
}

std::FILE* openTextFileForWriting(const Path& path) {
    return std::fopen(path.c_str(), "w");
}

}  // namespace platform
