# The core sources of each plug-in, without its entry points, relative to the repository root:
# the plug-in builds and the fuzz targets compile the same files.
set(CORVANE_CORE_SOURCES
    config/config_file.cpp config/curve_file.cpp config/curve_table.cpp config/needle_tables.cpp
    config/notch_config.cpp config/number.cpp config/text_reader.cpp config/vehicle_check.cpp
    chain/chain.cpp
    sound/air_sounds.cpp sound/audio_state.cpp sound/audio_log.cpp sound/decode.cpp sound/motor_layers.cpp
    sound/motor_noise.cpp sound/sound_voice.cpp sound/wave_screen.cpp
    sim/brake_pressure_table.cpp sim/brakes.cpp sim/frame_step.cpp sim/instruments.cpp sim/keyboard.cpp
    sim/mode_machine.cpp sim/traction.cpp
    corvane/frame.cpp corvane/lifecycle.cpp)
set(SENTREL_CORE_SOURCES atstimer/ats_timer.cpp)
