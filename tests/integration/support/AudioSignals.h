#pragma once

#include <QString>

#include <cstdint>
#include <vector>

// Test signals as float samples of one channel, and measurements of them.
namespace sayloom::AudioSignals {

std::vector<float> sine(double frequency, int rate, std::size_t frames, float amplitude = 0.5f);
// Alternates between +amplitude and -amplitude every half period (rms = amplitude).
std::vector<float> square(double frequency, int rate, std::size_t frames, float amplitude);
// Uniform white noise in [-amplitude, amplitude], the same for the same seed.
std::vector<float> noise(std::size_t frames, float amplitude, std::uint32_t seed);

std::vector<std::int16_t> toInt16(const std::vector<float>& samples);

// `sentence` spoken by flite's voice "slt" as a 16 kHz mono microphone delivers it, with half a second of silence on
// either side, as when someone draws breath before speaking. Made with flite and sox in `folder`; empty when either
// fails, and `error` says why.
std::vector<float> spokenSentence(const QString& sentence, const QString& folder, QString* error = nullptr);

// Sign changes from negative to non-negative; frequency ≈ crossings × rate / frames.
int risingZeroCrossings(const std::vector<float>& samples, std::size_t from = 0);
// Amplitude of the component at `frequency` (a single DFT bin), relative to a full-scale sine = 1.
double toneAmplitude(const std::vector<float>& samples, double frequency, int rate, std::size_t from = 0);

} // namespace sayloom::AudioSignals
