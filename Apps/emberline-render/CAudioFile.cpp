#include "CAudioFile.h"

#include <sndfile.h>

#include <cmath>

namespace qel {

bool CAudioFile::read(const std::string& path, SAudioData& audio, std::string& error) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) {
        error = "cannot read '" + path + "': " + sf_strerror(nullptr);
        return false;
    }
    std::vector<double> interleaved(size_t(info.frames) * size_t(info.channels));
    sf_count_t got = sf_readf_double(file, interleaved.data(), info.frames);
    sf_close(file);
    if (got != info.frames) {
        error = "cannot read '" + path + "': the file ends early";
        return false;
    }
    audio.rate = info.samplerate;
    audio.channels.assign(size_t(info.channels), std::vector<double>(size_t(info.frames)));
    for (size_t i = 0; i < size_t(info.frames); ++i)
        for (size_t c = 0; c < size_t(info.channels); ++c)
            audio.channels[c][i] = interleaved[i * size_t(info.channels) + c];
    return true;
}

bool CAudioFile::write(const std::string& path, const SAudioData& audio, std::string& error) {
    SF_INFO info{};
    info.samplerate = int(std::lround(audio.rate));
    info.channels = int(audio.channels.size());
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) {
        error = "cannot write '" + path + "': " + sf_strerror(nullptr);
        return false;
    }
    const size_t frames = audio.frames(), channels = audio.channels.size();
    std::vector<double> interleaved(frames * channels);
    for (size_t i = 0; i < frames; ++i)
        for (size_t c = 0; c < channels; ++c)
            interleaved[i * channels + c] = audio.channels[c][i];
    sf_count_t written = sf_writef_double(file, interleaved.data(), sf_count_t(frames));
    std::string reason = sf_strerror(file);
    sf_close(file);
    if (written != sf_count_t(frames)) {
        error = "cannot write '" + path + "': " + reason;
        return false;
    }
    return true;
}

} // namespace qel
