// Lines of input for the host simulator: scenario steps and typed dialog answers.
//
// Every line is bounded (max_line_bytes, the newline excluded), so that input without line
// ends, such as /dev/zero, ends the run with an error instead of filling memory. A terminal
// gets basic line editing; files and pipes are read as they are.
//
// Thread rule: single-threaded.
#ifndef KELVARIN_HOST_LINES_H
#define KELVARIN_HOST_LINES_H

#include <cstddef>
#include <iosfwd>
#include <string>
#include <vector>

namespace kwhost {

constexpr std::size_t max_line_bytes = 64 * 1024;

class LineSource {
 public:
  enum Result { Line, End, TooLong };
  virtual ~LineSource() = default;
  // Shows the prompt (if any) and reads one line without its line end. After TooLong the
  // source is spent: every later read returns TooLong as well, at the same line number.
  virtual Result read(const std::string &prompt, std::string &line) = 0;
  // The number of the line last read, from 1.
  std::size_t line_number() const { return number_; }

 protected:
  std::size_t number_ = 0;
};

// A file or pipe. With echo, the prompt and the line read are written to out, so that a
// transcript shows what was typed.
class StreamLines : public LineSource {
 public:
  StreamLines(std::istream &in, std::ostream &out, bool echo) : in_(in), out_(out), echo_(echo) {}
  Result read(const std::string &prompt, std::string &line) override;

 private:
  std::istream &in_;
  std::ostream &out_;
  bool echo_;
  bool spent_ = false;
};

// The editing state of one line at a terminal, fed one byte at a time. Keys: printable bytes
// insert; Backspace and Delete; Left/Right, Home/End (also Ctrl-B/F, Ctrl-A/E); Up/Down walk
// the history of lines entered (also Ctrl-P/N); Ctrl-U and Ctrl-K cut before and after the
// cursor; Enter ends the line; Ctrl-D on an empty line ends the input. Other control bytes and
// unknown escape sequences are ignored, never inserted.
class LineEditor {
 public:
  enum Step { Editing, Entered, EndOfInput };
  void start(const std::string &prompt);
  // Feeds one byte; terminal holds the bytes that bring the screen up to date.
  Step feed(unsigned char byte, std::string &terminal);
  const std::string &line() const { return line_; }
  std::size_t cursor() const { return cursor_; }

 private:
  void redraw(std::string &terminal) const;
  void key(char final_byte, const std::string &parameters);
  void recall(std::size_t index);

  std::string prompt_, line_;
  std::size_t cursor_ = 0;
  enum { Plain, Escape, Sequence } state_ = Plain;
  std::string parameters_;
  std::vector<std::string> history_;
  std::size_t recalled_ = 0;  // history_.size(): the line being typed
  std::string typed_;         // the line being typed, kept while the history is walked
};

// A terminal on file descriptor fd, with line editing while a line is read.
class TerminalLines : public LineSource {
 public:
  TerminalLines(int fd, std::ostream &out) : fd_(fd), out_(out) {}
  Result read(const std::string &prompt, std::string &line) override;

 private:
  int fd_;
  std::ostream &out_;
  LineEditor editor_;
};

}  // namespace kwhost

#endif  // KELVARIN_HOST_LINES_H
