// Writes chime.wav, the completion sound: a soft two-note chime (A5, then E6 a moment
// later), 8-bit unsigned mono PCM at 22050 samples per second, 24593 samples.
//
//   g++ -std=c++20 -O2 -o /tmp/make_chime make_chime.cpp && /tmp/make_chime chime.wav
//
// The output is the same on every run: the samples are computed, not recorded.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr int sampleRate = 22050;
constexpr int sampleCount = 24593;
constexpr double pi = 3.14159265358979323846;

// One struck note: a fundamental with two soft overtones, a 6 ms attack and an
// exponential decay.
double note(double t, double frequency) {
    if (t < 0) {
        return 0;
    }
    const double attack = std::min(1.0, t / 0.006);
    const double decay = std::exp(-t / 0.32);
    const double tone = std::sin(2 * pi * frequency * t) +
                        0.30 * std::sin(2 * pi * 2 * frequency * t) * std::exp(-t / 0.12) +
                        0.12 * std::sin(2 * pi * 3 * frequency * t) * std::exp(-t / 0.06);
    return attack * decay * tone;
}

void put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    put16(out, static_cast<std::uint16_t>(v & 0xFFFF));
    put16(out, static_cast<std::uint16_t>(v >> 16));
}

void putTag(std::vector<std::uint8_t>& out, const char* tag) {
    out.insert(out.end(), tag, tag + 4);
}

} // namespace

int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : "chime.wav";
    std::vector<double> wave(sampleCount);
    double peak = 0;
    for (int i = 0; i < sampleCount; ++i) {
        const double t = static_cast<double>(i) / sampleRate;
        wave[i] = note(t, 880.0) + 0.8 * note(t - 0.18, 1318.51);
        peak = std::max(peak, std::abs(wave[i]));
    }
    std::vector<std::uint8_t> file;
    putTag(file, "RIFF");
    put32(file, 36 + sampleCount);
    putTag(file, "WAVE");
    putTag(file, "fmt ");
    put32(file, 16);
    put16(file, 1);          // PCM
    put16(file, 1);          // one channel
    put32(file, sampleRate); // samples per second
    put32(file, sampleRate); // bytes per second
    put16(file, 1);          // block alignment
    put16(file, 8);          // bits per sample
    putTag(file, "data");
    put32(file, sampleCount);
    const int fadeOut = sampleRate / 50; // the last 20 ms end in silence
    for (int i = 0; i < sampleCount; ++i) {
        const double fade = std::min(1.0, static_cast<double>(sampleCount - 1 - i) / fadeOut);
        const double value = 0.55 * wave[i] / peak * fade;
        file.push_back(static_cast<std::uint8_t>(std::lround(128 + 127 * value)));
    }
    std::FILE* out = std::fopen(path, "wb");
    if (out == nullptr || std::fwrite(file.data(), 1, file.size(), out) != file.size()) {
        std::perror(path);
        return 1;
    }
    std::fclose(out);
    return 0;
}
