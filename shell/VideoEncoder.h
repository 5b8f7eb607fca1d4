// VideoEncoder: turns a recording folder (frame_00000.png, frame_00001.png,
// ..., soundtrack.wav) into one MP4 file with the ffmpeg program.
//
// ffmpeg is started directly with an argument vector, never through a
// shell, so folder and file names reach it exactly as they are, whatever
// characters they hold. POSIX only.
#pragma once

#include <string>

namespace kvx::shell {

// True when an executable named "ffmpeg" is on the PATH.
bool ffmpegAvailable();

// Encodes frameDir's frames at fps frames per second with its soundtrack
// (H.264 and AAC, ending with the shorter of the two) into output,
// replacing any file there. Waits for ffmpeg; false, with a reason in
// error, when it cannot be started or does not succeed.
bool encodeVideo(const std::string& frameDir, int fps, const std::string& output,
                 std::string* error);

}  // namespace kvx::shell
