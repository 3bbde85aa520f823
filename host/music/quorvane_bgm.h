#pragma once
// Quorvane_BGM: the background music operations. They speak the multimedia command-string
// language through the installed devices (host/music/music_devices.h) and keep every reply and
// error to themselves. One user-interface thread calls them.

#include <cstdint>
#include <string>
#include <string_view>

namespace pellarin::Quorvane_BGM {

// True (-1) while CD polling should go on; the run-mode form copies it into its poll timer.
inline std::int16_t cdPollActive = 0;
// Reply text or error text of the last command sent by queryMci and playMciDevice.
inline std::string mciReply;

// Sends one command; 0 on success, -1 for an empty command, otherwise the error code. The reply
// is the device's answer or the readable error text.
std::int32_t sendMciCommand(std::string_view command, std::string& reply);

// Sends a status command; its reply, or "Error:" and the code when it failed.
std::string queryMci(std::string_view command);

// Sends "play <device>[ from <from>][ to <to>]"; the reply goes to mciReply.
std::int32_t playMciDevice(std::string_view device, std::string_view from, std::string_view to);

void openCdAudio();
// One CD poll: keeps the disc or the chosen track playing; clears cdPollActive when the CD
// cannot be used.
void pollCdAudio();
void stopCdAudio();

// Opens Quorvane_B::musicFile under the alias MP3Play and plays it.
void startMp3();
bool isMp3Playing();
// Restarts the MP3 from its beginning when it is no longer playing.
void repeatMp3();
void stopMp3();

// Loops Quorvane_B::musicFile through the sound player when an audio output exists.
void startWav();
void stopWav();

}  // namespace pellarin::Quorvane_BGM
