#include "host/DemoSignal.h"

#include <algorithm>
#include <cmath>

namespace kestrune {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kBeat = 0.5;           // seconds at 120 beats per minute
constexpr double kNote = kBeat / 2.0;   // arpeggio step: eighth notes
constexpr double kHatStep = kBeat / 4;  // sixteenths

// Four MIDI notes per chord, one chord per two beats.
constexpr int kChords[6][4] = {
    {57, 60, 64, 69},  // A minor
    {53, 57, 60, 65},  // F
    {60, 64, 67, 72},  // C
    {55, 59, 62, 67},  // G
    {53, 57, 60, 65},  // F
    {57, 60, 64, 69},  // A minor
};
constexpr int kNotesPerChord = 4;
constexpr int kNoteCount = 6 * kNotesPerChord;

double midiToHz(int note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0); }

// White noise in -1..1 as a pure function of the frame number (a 64-bit mixing hash).
double noiseAt(std::int64_t n) {
  std::uint64_t z = static_cast<std::uint64_t>(n) * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  z ^= z >> 31;
  return static_cast<double>(z >> 11) / static_cast<double>(1ull << 52) - 1.0;
}

// A plucked tone: a few harmonics under a fast attack and an exponential decay.
double pluck(double frequency, double age) {
  if (age < 0.0) return 0.0;
  const double envelope = std::min(1.0, age / 0.004) * std::exp(-age * 4.5);
  double v = 0.0;
  for (int h = 1; h <= 4; ++h) v += std::sin(2.0 * kPi * frequency * h * age) * std::exp(-age * 2.0 * h) / h;
  return envelope * v;
}

}  // namespace

void DemoSignal::frame(std::int64_t n, float& left, float& right) {
  left = right = 0.0f;
  if (n < 0 || n >= kFrames) return;
  const double t = static_cast<double>(n) / kSampleRate;
  double l = 0.0;
  double r = 0.0;

  // Arpeggio: the sounding note and the three before it, each panned by its place in the chord.
  const int current = std::min(kNoteCount - 1, static_cast<int>(t / kNote));
  for (int k = std::max(0, current - 3); k <= current; ++k) {
    const double v = 0.22 * pluck(midiToHz(kChords[k / kNotesPerChord][k % kNotesPerChord]), t - k * kNote);
    const double pan = 0.15 + 0.7 * (k % kNotesPerChord) / (kNotesPerChord - 1.0);  // 0 left .. 1 right
    l += v * std::cos(pan * kPi / 2);
    r += v * std::sin(pan * kPi / 2);
  }

  // Noise hat: first difference of white noise (a bright high-pass), short decay, off-beats louder.
  const int hat = static_cast<int>(t / kHatStep);
  const double hatAge = t - hat * kHatStep;
  const double hatLevel = (hat % 2 == 1) ? 0.09 : 0.05;
  const double h = hatLevel * std::exp(-hatAge * 70.0) * (noiseAt(n) - noiseAt(n - 1)) * 0.5;
  l += h * 0.55;
  r += h * 0.85;

  // Kick on beats one and three: a falling sine.
  const double kickAge = std::fmod(t, 2.0 * kBeat);
  const double kickPhase = 2.0 * kPi * (45.0 * kickAge + 75.0 * (1.0 - std::exp(-kickAge * 25.0)) / 25.0);
  const double kick = 0.3 * std::exp(-kickAge * 9.0) * std::sin(kickPhase);
  l += kick;
  r += kick;

  // Fade the last 50 ms so the signal ends without a click.
  const double fade = std::min(1.0, (static_cast<double>(kFrames - n)) / (0.05 * kSampleRate));
  left = static_cast<float>(l * fade);
  right = static_cast<float>(r * fade);
}

std::int64_t DemoSignal::read(float* interleaved, std::int64_t frames) {
  const std::int64_t count = std::clamp<std::int64_t>(kFrames - position_, 0, frames);
  for (std::int64_t i = 0; i < count; ++i) frame(position_ + i, interleaved[2 * i], interleaved[2 * i + 1]);
  position_ += count;
  return count;
}

}  // namespace kestrune
