// Lines of input for the host simulator.
#include "lines.h"

#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <istream>
#include <ostream>

namespace kwhost {

LineSource::Result StreamLines::read(const std::string &prompt, std::string &line) {
  line.clear();
  if (spent_) return TooLong;
  if (echo_ && !prompt.empty()) out_ << prompt << std::flush;
  std::streambuf *buffer = in_.rdbuf();
  bool any = false;
  for (;;) {
    const int c = buffer->sbumpc();
    if (c == std::char_traits<char>::eof()) {
      if (!any) {
        if (echo_ && !prompt.empty()) out_ << "\n";
        return End;
      }
      break;
    }
    any = true;
    if (c == '\n') break;
    if (line.size() == max_line_bytes) {
      number_++;
      spent_ = true;
      line.clear();
      if (echo_ && !prompt.empty()) out_ << "\n";
      return TooLong;
    }
    line.push_back(static_cast<char>(c));
  }
  number_++;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (echo_ && !prompt.empty()) out_ << line << "\n";
  return Line;
}

void LineEditor::start(const std::string &prompt) {
  prompt_ = prompt;
  line_.clear();
  typed_.clear();
  cursor_ = 0;
  state_ = Plain;
  parameters_.clear();
  recalled_ = history_.size();
}

void LineEditor::redraw(std::string &terminal) const {
  // Back to the start of the line, the whole line again, the rest of the screen line cleared,
  // then the cursor moved back to its place.
  terminal += "\r" + prompt_ + line_ + "\x1b[K";
  const std::size_t back = line_.size() - cursor_;
  if (back > 0) terminal += "\x1b[" + std::to_string(back) + "D";
}

void LineEditor::recall(std::size_t index) {
  if (index > history_.size() || index == recalled_) return;
  if (recalled_ == history_.size()) typed_ = line_;
  recalled_ = index;
  line_ = index == history_.size() ? typed_ : history_[index];
  cursor_ = line_.size();
}

// Escape sequences as terminals send them: ESC [ params final, or ESC O final.
void LineEditor::key(char final_byte, const std::string &parameters) {
  switch (final_byte) {
    case 'A': if (recalled_ > 0) recall(recalled_ - 1); break;
    case 'B': recall(recalled_ + 1); break;
    case 'C': if (cursor_ < line_.size()) cursor_++; break;
    case 'D': if (cursor_ > 0) cursor_--; break;
    case 'H': cursor_ = 0; break;
    case 'F': cursor_ = line_.size(); break;
    case '~':
      if (parameters == "1" || parameters == "7") cursor_ = 0;
      else if (parameters == "4" || parameters == "8") cursor_ = line_.size();
      else if (parameters == "3" && cursor_ < line_.size()) line_.erase(cursor_, 1);
      break;
    default: break;
  }
}

LineEditor::Step LineEditor::feed(unsigned char byte, std::string &terminal) {
  if (state_ == Escape) {
    state_ = byte == '[' || byte == 'O' ? Sequence : Plain;
    parameters_.clear();
    return Editing;
  }
  if (state_ == Sequence) {
    if (byte >= 0x40 && byte <= 0x7e) {
      state_ = Plain;
      key(static_cast<char>(byte), parameters_);
      redraw(terminal);
    } else if (parameters_.size() < 16) {
      parameters_ += static_cast<char>(byte);
    }
    return Editing;
  }
  switch (byte) {
    case '\r':
    case '\n':
      terminal += "\r\n";
      if (!line_.empty()) history_.push_back(line_);
      return Entered;
    case 0x04:  // Ctrl-D
      if (line_.empty()) {
        terminal += "\r\n";
        return EndOfInput;
      }
      if (cursor_ < line_.size()) line_.erase(cursor_, 1);
      break;
    case 0x1b: state_ = Escape; return Editing;
    case 0x7f:
    case 0x08:
      if (cursor_ > 0) line_.erase(--cursor_, 1);
      break;
    case 0x01: cursor_ = 0; break;
    case 0x05: cursor_ = line_.size(); break;
    case 0x02: if (cursor_ > 0) cursor_--; break;
    case 0x06: if (cursor_ < line_.size()) cursor_++; break;
    case 0x10: if (recalled_ > 0) recall(recalled_ - 1); break;
    case 0x0e: recall(recalled_ + 1); break;
    case 0x15: line_.erase(0, cursor_); cursor_ = 0; break;
    case 0x0b: line_.erase(cursor_); break;
    default:
      if (byte < 0x20 || line_.size() >= max_line_bytes) return Editing;
      line_.insert(cursor_++, 1, static_cast<char>(byte));
      break;
  }
  redraw(terminal);
  return Editing;
}

namespace {

// Non-canonical input without echo while a line is edited; signals (Ctrl-C) stay on.
class RawMode {
 public:
  explicit RawMode(int fd) : fd_(fd) {
    ok_ = tcgetattr(fd_, &saved_) == 0;
    if (!ok_) return;
    termios raw = saved_;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    raw.c_iflag &= ~static_cast<tcflag_t>(ICRNL);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    ok_ = tcsetattr(fd_, TCSADRAIN, &raw) == 0;
  }
  ~RawMode() {
    if (ok_) tcsetattr(fd_, TCSADRAIN, &saved_);
  }
  RawMode(const RawMode &) = delete;
  RawMode &operator=(const RawMode &) = delete;

 private:
  int fd_;
  termios saved_{};
  bool ok_ = false;
};

}  // namespace

LineSource::Result TerminalLines::read(const std::string &prompt, std::string &line) {
  line.clear();
  RawMode raw(fd_);
  editor_.start(prompt);
  out_ << prompt << std::flush;
  for (;;) {
    unsigned char byte = 0;
    const ssize_t n = ::read(fd_, &byte, 1);
    if (n < 0 && errno == EINTR) continue;
    std::string terminal;
    const LineEditor::Step step =
        n == 1 ? editor_.feed(byte, terminal) : LineEditor::EndOfInput;
    if (n != 1) terminal = "\r\n";
    out_ << terminal << std::flush;
    if (step == LineEditor::Editing) continue;
    if (step == LineEditor::EndOfInput) return End;
    number_++;
    line = editor_.line();
    return Line;
  }
}

}  // namespace kwhost
