// Feeds arbitrary bytes to the core's reading of a whole recording (header,
// directory and page flags); for a file it accepts, decodes every page,
// seeks to pages taken from the input and checks the sample accounting, and
// decodes the pages again in short chunks (the parallel decoder's way, its
// verification included) and from checkpoints computed ahead, which must give
// the same samples. Traps when a result breaks the decoder's contracts.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "calendo/byte_source.h"
#include "calendo/recording_decoder.h"

namespace {

using namespace calendo;

void check(bool holds) {
  if (!holds) __builtin_trap();
}

void exercise(const RecordingPages& recording, std::span<const uint8_t> input) {
  RecordingDecoder decoder(recording);
  check(decoder.sample_rate() == 8000 || decoder.sample_rate() == 11025);
  uint64_t samples = 0;
  std::vector<int16_t> straight;
  while (decoder.next_page() < decoder.page_count()) {
    const uint32_t page = decoder.next_page();
    check(decoder.page_start(page) == samples);
    const auto out = decoder.decode_next();
    check(out.size() <= kMaxPageSamples);
    samples += out.size();
    straight.insert(straight.end(), out.begin(), out.end());
  }
  check(samples == decoder.total_samples());

  // Chunks far shorter than a page, warm-ups too short to converge.
  ParallelOptions options;
  options.chunk_codes = 700;
  options.warmup_codes = 300;
  options.probe_codes = 200;
  static ParallelDecoder parallel(1, options);
  RecordingDecoder chunked(recording);
  std::vector<int16_t> in_chunks;
  chunked.decode_pages(chunked.page_count(), parallel, [&](std::span<const int16_t> some) {
    in_chunks.insert(in_chunks.end(), some.begin(), some.end());
  });
  check(in_chunks == straight);
  decoder.adopt_checkpoints(checkpoint_states(recording, parallel));
  check(decoder.checkpoint_count() == decoder.page_count() / kCheckpointPages + 1);
  // Seeks to pages named by the input's last bytes.
  for (std::size_t i = input.size() > 4 ? input.size() - 4 : 0; i < input.size(); ++i) {
    const uint32_t page = input[i] % (decoder.page_count() + 1);
    decoder.seek(page);
    check(decoder.next_page() == page);
    if (page < decoder.page_count()) {
      // Pages that give no samples (a descriptor of 0 codes) share their start
      // with the next page; a sample belongs to the last page that starts there.
      const uint64_t start = decoder.page_start(page);
      check(decoder.page_start(decoder.page_of_sample(start)) == start);
      const auto out = decoder.decode_next();
      check(std::equal(out.begin(), out.end(),
                       straight.begin() + static_cast<std::ptrdiff_t>(start)));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> input(data, size);
  const SpanSource file(input);
  const Result<RecordingPages> read = RecordingPages::read(file);
  if (read.ok()) {
    check(read->page_count() > 0);
    check(read->pages_of(kSp) + read->pages_of(kLp) == read->page_count());
    exercise(*read, input);
  } else {
    check(!read.fault().message.empty());
  }
  return 0;
}
