// Windows backend: the Media Foundation source reader, with mfplat.dll, mfreadwrite.dll and
// CoTaskMemFree taken at run time from the system directory; and the log file.
// windows.h comes first: the Media Foundation headers rely on it.
// clang-format off
#include <windows.h>
#include <mfapi.h>
#include <mfidl.h>
#include <mfreadwrite.h>
#include <mmreg.h>
// clang-format on

#include <cstdio>
#include <cstring>
#include <new>

#include "platform/audio.h"
#include "platform/platform.h"
#include "platform/win32/audio_system_libraries.h"

namespace platform {
namespace {

using win32audio::systemFunction;

using StartupFunction = HRESULT(WINAPI*)(ULONG, DWORD);
using ShutdownFunction = HRESULT(WINAPI*)();
using CreateMediaTypeFunction = HRESULT(WINAPI*)(IMFMediaType**);
using WaveFormatFunction = HRESULT(WINAPI*)(IMFMediaType*, WAVEFORMATEX**, UINT32*, UINT32);
using CreateReaderFunction = HRESULT(WINAPI*)(LPCWSTR, IMFAttributes*, IMFSourceReader**);
using FreeFunction = void(WINAPI*)(LPVOID);

// The attribute keys and types used, defined here so that no import library is needed.
constexpr GUID MajorTypeKey = {0x48eba18e, 0xf8c9, 0x4687, {0xbf, 0x11, 0x0a, 0x74, 0xc9, 0xf9, 0x6a, 0x8f}};
constexpr GUID SubtypeKey = {0xf7e34c9a, 0x42e8, 0x4714, {0xb7, 0x4b, 0xcb, 0x29, 0xd7, 0x2c, 0x35, 0xe5}};
constexpr GUID AudioMajorType = {0x73647561, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
constexpr GUID PcmSubtype = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

constexpr DWORD FirstAudioStream = 0xFFFFFFFD;  // MF_SOURCE_READER_FIRST_AUDIO_STREAM
constexpr DWORD AllStreams = 0xFFFFFFFE;        // MF_SOURCE_READER_ALL_STREAMS

IMFSourceReader* asReader(MediaReader reader) {
    return reinterpret_cast<IMFSourceReader*>(reader);
}

template <class Interface>
void release(Interface*& object) {
    if (object) object->Release();
    object = nullptr;
}

}  // namespace

AudioResult mediaStartup(uint32_t version, uint32_t flags) {
    auto startup = systemFunction<StartupFunction>(L"mfplat.dll", "MFStartup");
    return startup ? startup(version, flags) : AudioErrorModuleNotFound;
}

AudioResult mediaShutdown() {
    auto shutdown = systemFunction<ShutdownFunction>(L"mfplat.dll", "MFShutdown");
    return shutdown ? shutdown() : AudioErrorModuleNotFound;
}

AudioResult mediaCreateReader(const Path& path, MediaReader* reader) {
    if (!reader) return AudioErrorInvalidArg;
    *reader = nullptr;
    auto create = systemFunction<CreateReaderFunction>(L"mfreadwrite.dll", "MFCreateSourceReaderFromURL");
    if (!create) return AudioErrorModuleNotFound;
    IMFSourceReader* created = nullptr;
    const HRESULT hr = create(path.c_str(), nullptr, &created);
    if (SUCCEEDED(hr)) {
        *reader = reinterpret_cast<MediaReader>(created);
    } else {
        release(created);
    }
    return hr;
}

AudioResult mediaSetPcmOutput(MediaReader reader, WaveFormat* header, uint16_t* subFormatTag) {
    if (!reader || !header || !subFormatTag) return AudioErrorInvalidArg;
    auto createType = systemFunction<CreateMediaTypeFunction>(L"mfplat.dll", "MFCreateMediaType");
    auto toWaveFormat = systemFunction<WaveFormatFunction>(L"mfplat.dll", "MFCreateWaveFormatExFromMFMediaType");
    auto freeBlock = systemFunction<FreeFunction>(L"ole32.dll", "CoTaskMemFree");
    if (!createType || !toWaveFormat || !freeBlock) return AudioErrorModuleNotFound;

    IMFSourceReader* r = asReader(reader);
    IMFMediaType* partial = nullptr;
    IMFMediaType* actual = nullptr;
    HRESULT hr = r->SetStreamSelection(AllStreams, FALSE);
    if (SUCCEEDED(hr)) hr = r->SetStreamSelection(FirstAudioStream, TRUE);
    if (SUCCEEDED(hr)) hr = createType(&partial);
    if (SUCCEEDED(hr)) hr = partial->SetGUID(MajorTypeKey, AudioMajorType);
    if (SUCCEEDED(hr)) hr = partial->SetGUID(SubtypeKey, PcmSubtype);
    if (SUCCEEDED(hr)) hr = r->SetCurrentMediaType(FirstAudioStream, nullptr, partial);
    if (SUCCEEDED(hr)) hr = r->GetCurrentMediaType(FirstAudioStream, &actual);
    if (SUCCEEDED(hr)) hr = r->SetStreamSelection(FirstAudioStream, TRUE);
    if (SUCCEEDED(hr)) {
        WAVEFORMATEX* block = nullptr;
        // A size output is passed although nothing needs it: some implementations write it
        // unconditionally.
        UINT32 blockSize = 0;
        hr = toWaveFormat(actual, &block, &blockSize, 0);
        if (SUCCEEDED(hr) && block) {
            std::memcpy(header, block, sizeof(WaveFormat));
            *subFormatTag = block->wFormatTag;
            if (block->wFormatTag == WAVE_FORMAT_EXTENSIBLE && blockSize >= sizeof(WAVEFORMATEXTENSIBLE)) {
                const auto* extensible = reinterpret_cast<const WAVEFORMATEXTENSIBLE*>(block);
                *subFormatTag = static_cast<uint16_t>(extensible->SubFormat.Data1);
            }
        } else if (SUCCEEDED(hr)) {
            hr = AudioErrorFail;
        }
        if (block) freeBlock(block);
    }
    release(actual);
    release(partial);
    return hr;
}

AudioResult mediaReadSample(MediaReader reader, std::vector<uint8_t>& pcm, uint32_t* streamFlags, bool* gotSample) {
    if (!reader || !streamFlags || !gotSample) return AudioErrorInvalidArg;
    *streamFlags = 0;
    *gotSample = false;
    DWORD flags = 0;
    IMFSample* sample = nullptr;
    HRESULT hr = asReader(reader)->ReadSample(FirstAudioStream, 0, nullptr, &flags, nullptr, &sample);
    *streamFlags = flags;
    if (FAILED(hr) || (flags & MediaStreamEndOfStream) || !sample) {
        release(sample);
        return hr;
    }
    *gotSample = true;
    IMFMediaBuffer* buffer = nullptr;
    hr = sample->ConvertToContiguousBuffer(&buffer);
    if (SUCCEEDED(hr)) {
        BYTE* data = nullptr;
        DWORD maxLength = 0, currentLength = 0;
        hr = buffer->Lock(&data, &maxLength, &currentLength);
        if (SUCCEEDED(hr)) {
            try {
                pcm.insert(pcm.end(), data, data + currentLength);
            } catch (const std::bad_alloc&) {
                hr = AudioErrorOutOfMemory;
            } catch (const std::length_error&) {
                hr = AudioErrorOutOfMemory;
            }
            const HRESULT unlocked = buffer->Unlock();
            if (SUCCEEDED(hr)) hr = unlocked;
        }
    }
    release(buffer);
    release(sample);
    return hr;
}

void mediaReleaseReader(MediaReader reader) {
    if (reader) asReader(reader)->Release();
}

std::FILE* openTextFileForWriting(const Path& path) {
    return ::_wfopen(path.c_str(), L"w");
}

}  // namespace platform
