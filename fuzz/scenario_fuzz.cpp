// The host simulator's scenario steps, read and run as kelvarin-host runs a scenario file,
// against a stub plug-in that asks for a file whenever it is executed. Checks: every line
// handed on is within the line bound and numbered one past the previous (the number is the
// "file:line" of an error message); a line over the bound is reported as too long, at the
// right number, and ends the input; every failed step has a message and every other step none;
// what a scenario queues and stores grows at most by one entry per line.
//
// A byte 0xff followed by a count c stands for c * 512 bytes 'x', so that lines beyond the
// 64 KiB bound are within reach of short inputs; a scenario is cut at 160 KiB to keep runs
// fast.
#include <cstdint>
#include <sstream>
#include <string>

#include "fuzz_input.h"
#include "host.h"
#include "lines.h"
#include "session.h"

namespace {

// Does what our plug-in does with the host for a known command: reads "Command", asks for a
// file and stores the answer.
class StubPlugin : public THZTPluginInterface {
 public:
  bool execute() override {
    kwhost::Host *host = kwhost::Host::active();
    char command[kwhost::parameter_buffer_size];
    host->get_string_parameter("Command", command);
    if (std::string(command) != "GetFileName") return false;
    char path[kwhost::path_buffer_size] = "";
    const int chosen = host->get_open_file_name("Source file", "", "*.*", path);
    host->set_string_parameter("Filename", chosen == 1 ? path : "");
    return chosen == 1;
  }
  bool initPlugin() override { return true; }
};

std::string expand(const std::uint8_t *data, std::size_t size) {
  constexpr std::size_t limit = 160 * 1024;
  std::string text;
  for (std::size_t i = 0; i < size && text.size() < limit; i++) {
    if (data[i] == 0xff && i + 1 < size) {
      text.append(static_cast<std::size_t>(data[++i]) * 512, 'x');
    } else {
      text.push_back(static_cast<char>(data[i]));
    }
  }
  if (text.size() > limit) text.resize(limit);
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string text = expand(data, size);
  std::istringstream file(text);
  std::ostringstream out;
  kwhost::StreamLines steps(file, out, false);

  kwhost::Host host;
  kwhost::QueuedAnswers answers;
  host.dialogs = &answers;
  host.activate();
  StubPlugin plugin;
  kwhost::Scenario scenario(host, answers, out, true);

  std::size_t start = 0;  // where the next line begins in text
  std::size_t lines = 0;
  std::string line;
  for (;;) {
    const kwhost::LineSource::Result read = steps.read("", line);
    if (read == kwhost::LineSource::End) {
      KWFUZZ_REQUIRE(start >= text.size());
      break;
    }
    KWFUZZ_REQUIRE(start < text.size());
    lines++;
    KWFUZZ_REQUIRE(steps.line_number() == lines);
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::size_t length = end - start;
    if (read == kwhost::LineSource::TooLong) {
      KWFUZZ_REQUIRE(length > kwhost::max_line_bytes);
      // The source is spent: the next read says so again, at the same number.
      KWFUZZ_REQUIRE(steps.read("", line) == kwhost::LineSource::TooLong);
      KWFUZZ_REQUIRE(steps.line_number() == lines);
      break;
    }
    KWFUZZ_REQUIRE(length <= kwhost::max_line_bytes);
    KWFUZZ_REQUIRE(line.size() <= kwhost::max_line_bytes);
    // The line as read: its bytes, less one carriage return before the line end.
    std::string raw = text.substr(start, length);
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    KWFUZZ_REQUIRE(line == raw);
    start = end + 1;

    std::string error;
    const kwhost::Scenario::Step step = scenario.run_line(line, plugin, error);
    KWFUZZ_REQUIRE((step == kwhost::Scenario::Failed) == !error.empty());
    KWFUZZ_REQUIRE(answers.pending() <= lines);
    KWFUZZ_REQUIRE(host.parameters().size() <= 2 * lines);
    if (step != kwhost::Scenario::Next) break;
    // A transcript of a long scenario need not be kept whole.
    if (out.tellp() > (1 << 20)) out.str("");
  }
  return 0;
}
