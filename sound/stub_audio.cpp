// Placeholder until the sound engine lands: no engine, nothing to commit.
#include "sound/audio.h"

namespace sound {

void audioStartup(const platform::Path&) {}
void audioShutdown() {}
void beginAudioFrame() {}
bool endAudioFrame(uint32_t) {
    return true;
}

}  // namespace sound
