// linkvigil-gensounds: synthesizes the sounds the program ships (Carbrake.wav,
// Chimes.wav, Alert.wav) into the folder given as the only argument.
// 16-bit PCM mono at 22050 Hz; the same bytes on every run.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 22050;
constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;

using Samples = std::vector<double>;

// A small fixed-seed generator, so that the noise is the same everywhere
// (the distributions of <random> differ between standard libraries).
class Noise {
public:
    explicit Noise(std::uint64_t seed) : m_state(seed) {}
    // Uniform in [-1, 1).
    double next() {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 7;
        m_state ^= m_state << 17;
        return static_cast<double>(m_state >> 11) / 4503599627370496.0 - 1.0;
    }

private:
    std::uint64_t m_state;
};

int sampleCount(double seconds) {
    return static_cast<int>(std::lround(seconds * kRate));
}

// Linear fade in over the first and out over the last samples, so the sound
// starts and ends at zero without a click.
void fade(Samples& s, double inSeconds, double outSeconds) {
    const int in = std::min<int>(sampleCount(inSeconds), static_cast<int>(s.size()));
    const int out = std::min<int>(sampleCount(outSeconds), static_cast<int>(s.size()));
    for (int i = 0; i < in; ++i)
        s[i] *= static_cast<double>(i) / in;
    for (int i = 0; i < out; ++i)
        s[s.size() - 1 - i] *= static_cast<double>(i) / out;
}

// Scales the loudest sample to peak (below 1, so rounding cannot clip).
void normalize(Samples& s, double peak) {
    double loudest = 0.0;
    for (double v : s)
        loudest = std::max(loudest, std::fabs(v));
    if (loudest > 0.0)
        for (double& v : s)
            v *= peak / loudest;
}

Samples alert() {
    Samples s(sampleCount(0.25));
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        s[i] = std::sin(kTwoPi * 880.0 * t) + 0.2 * std::sin(kTwoPi * 1760.0 * t);
    }
    normalize(s, 0.6);
    fade(s, 0.008, 0.06);
    return s;
}

// Three struck bells, falling G5 E5 C5; upper partials die away faster and
// the slightly stretched fourth one gives the metallic colour.
Samples chimes() {
    struct Partial {
        double ratio, level, decay;
    };
    const Partial partials[] = {{1.0, 1.0, 0.45}, {2.0, 0.45, 0.25}, {3.0, 0.2, 0.15}, {4.17, 0.12, 0.08}};
    const double notes[][2] = {{0.0, 783.99}, {0.3, 659.25}, {0.6, 523.25}};

    Samples s(sampleCount(1.5), 0.0);
    for (const auto& note : notes) {
        const int start = sampleCount(note[0]);
        for (int i = start; i < static_cast<int>(s.size()); ++i) {
            const double t = static_cast<double>(i - start) / kRate;
            const double strike = std::min(1.0, t / 0.004);
            double v = 0.0;
            for (const Partial& p : partials)
                v += p.level * std::exp(-t / p.decay) * std::sin(kTwoPi * note[1] * p.ratio * t);
            s[i] += strike * v;
        }
    }
    normalize(s, 0.75);
    fade(s, 0.002, 0.15);
    return s;
}

// A tyre squeal: a harsh tone sliding down from 2.4 kHz to 1.3 kHz with a
// wandering pitch and a fast shudder, over a band of road noise.
Samples carbrake() {
    Noise noise(0x4C696E6B76696731ULL);
    Samples s(sampleCount(1.2));
    const double length = static_cast<double>(s.size()) / kRate;
    double phase = 0.0;
    double wander = 0.0;
    double low = 0.0;
    double band = 0.0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double progress = t / length;

        // Smoothed random walk of the pitch, a few percent either way.
        wander = 0.999 * wander + 0.0015 * noise.next();
        const double frequency =
            (2400.0 - 1100.0 * progress * progress) * (1.0 + wander + 0.01 * std::sin(kTwoPi * 7.0 * t));
        phase += kTwoPi * frequency / kRate;
        if (phase > kTwoPi)
            phase -= kTwoPi;

        const double tone = std::tanh(2.5 * (std::sin(phase) + 0.35 * std::sin(2.0 * phase)));
        const double shudder = 0.65 + 0.35 * std::sin(kTwoPi * 17.0 * t);

        // Two one-pole filters make band-limited grinding noise.
        const double white = noise.next();
        low += 0.25 * (white - low);
        band += 0.02 * (low - band);
        const double grind = low - band;

        const double swell = 0.8 + 0.2 * std::sin(kPi * progress);
        s[i] = swell * (shudder * tone * 0.8 + grind * 0.6);
    }
    normalize(s, 0.85);
    fade(s, 0.02, 0.2);
    return s;
}

void put16(std::string& out, std::uint16_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}

void put32(std::string& out, std::uint32_t v) {
    put16(out, static_cast<std::uint16_t>(v & 0xFFFF));
    put16(out, static_cast<std::uint16_t>(v >> 16));
}

bool writeWav(const std::string& path, const Samples& s) {
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(s.size() * 2);
    std::string out;
    out.reserve(44 + dataBytes);
    out += "RIFF";
    put32(out, 36 + dataBytes);
    out += "WAVEfmt ";
    put32(out, 16);
    put16(out, 1); // PCM
    put16(out, 1); // mono
    put32(out, kRate);
    put32(out, kRate * 2);
    put16(out, 2);
    put16(out, 16);
    out += "data";
    put32(out, dataBytes);
    for (double v : s) {
        const long q = std::clamp(std::lround(v * 32767.0), -32767L, 32767L);
        put16(out, static_cast<std::uint16_t>(static_cast<std::int16_t>(q)));
    }

    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    return std::fclose(file) == 0 && written;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fputs("usage: linkvigil-gensounds FOLDER\n", stderr);
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    const struct {
        const char* name;
        Samples samples;
    } sounds[] = {{"Carbrake.wav", carbrake()}, {"Chimes.wav", chimes()}, {"Alert.wav", alert()}};
    for (const auto& sound : sounds) {
        if (!writeWav(folder + sound.name, sound.samples)) {
            std::fprintf(stderr, "linkvigil-gensounds: cannot write %s%s\n", folder.c_str(), sound.name);
            return 1;
        }
    }
    return 0;
}
