// The text and bytes of what --peaks and --silences write: the overview as a
// waveform data file (binary version 2, or JSON), and the speech stretches as
// lines, JSON or WebVTT cues for a transcriber to fill.
#pragma once

#include <string>
#include <vector>

#include "calendo/speech_stretches.h"
#include "calendo/waveform_peaks.h"

namespace calendo::tool {

// The binary file: a header of six little-endian 32-bit fields (version 2,
// flags 0 for 16-bit values, sample rate, samples per pixel, the count of
// min/max pairs, 1 channel), then the pairs as little-endian int16.
std::string WaveformDat(const WaveformPeaks& peaks);

// The same as one JSON object, with "bits": 16 and "data" the pairs in turn.
std::string WaveformJson(const WaveformPeaks& peaks);

// "START END" in seconds (three decimals), one stretch a line.
std::string SpeechLines(const std::vector<SampleStretch>& speech, uint32_t sample_rate);
// [{"start": S, "end": E}, ...]
std::string SpeechJson(const std::vector<SampleStretch>& speech, uint32_t sample_rate);
// A WebVTT file with one empty cue for each stretch.
std::string SpeechVtt(const std::vector<SampleStretch>& speech, uint32_t sample_rate);

}  // namespace calendo::tool
