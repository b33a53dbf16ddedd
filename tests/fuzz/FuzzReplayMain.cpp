// Replays a fuzz corpus through LLVMFuzzerTestOneInput without libFuzzer, so
// the ordinary build checks every checked-in input. A failed check aborts;
// an input that takes longer than the limit is reported and fails the run.
// Time is the process's processor time, so a busy machine does not count.
//
//   quillon_fuzz_replay CORPUS_FOLDER_OR_FILE...

#include <algorithm>
#include <ctime>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

#ifdef QUILLON_REPLAY_LIMIT_SECONDS
constexpr double kSecondsPerInputLimit = QUILLON_REPLAY_LIMIT_SECONDS;
#else
constexpr double kSecondsPerInputLimit = 1.0;
#endif

double ProcessorSeconds() {
  timespec now{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

std::vector<std::filesystem::path> Inputs(int argc, char** argv) {
  std::vector<std::filesystem::path> inputs;
  for (int i = 1; i < argc; ++i) {
    if (std::filesystem::is_directory(argv[i])) {
      for (const auto& entry : std::filesystem::directory_iterator(argv[i]))
        if (entry.is_regular_file()) inputs.push_back(entry.path());
    } else {
      inputs.emplace_back(argv[i]);
    }
  }
  std::sort(inputs.begin(), inputs.end());
  return inputs;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::filesystem::path> inputs = Inputs(argc, argv);
  if (inputs.empty()) {
    std::cerr << "quillon_fuzz_replay: no inputs given\n";
    return 2;
  }
  int slow = 0;
  double slowest = 0;
  for (const auto& path : inputs) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
      std::cerr << "cannot read " << path << "\n";
      return 2;
    }
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const double start = ProcessorSeconds();
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    const double seconds = ProcessorSeconds() - start;
    slowest = std::max(slowest, seconds);
    if (seconds > kSecondsPerInputLimit) {
      std::cerr << "slow input: " << path << " took " << seconds << " s\n";
      ++slow;
    }
  }
  std::cout << inputs.size() << " inputs replayed, slowest " << slowest << " s\n";
  return slow == 0 ? 0 : 1;
}
